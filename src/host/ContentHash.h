#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

// A fast 64-bit hash of a file's bytes, to tell whether a file whose size and times did not change
// still holds what was loaded. The same within one run of the program, whether the bytes are hashed
// at once (in memory after a load or before a save) or piece by piece as they are read from disk.
class ContentHasher {
public:
    static constexpr qsizetype BlockSize = qsizetype(1) << 20;

    void add(QByteArrayView bytes);
    quint64 result() const;

private:
    void hashBlock(QByteArrayView block);

    quint64 state_ = 0x9e3779b97f4a7c15ULL;
    qint64 total_ = 0;
    QByteArray pending_; // the start of a block that has not come in whole yet
};

quint64 contentHash(QByteArrayView bytes);
