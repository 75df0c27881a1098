#pragma once

#include "RecordStore.h"

// RecordStore on the local file system. Appends to the same file reuse one open descriptor, so a
// flush costs a write and a data sync.
class QtRecordStore : public RecordStore {
public:
    QtRecordStore() = default;
    QtRecordStore(const QtRecordStore&) = delete;
    QtRecordStore& operator=(const QtRecordStore&) = delete;
    ~QtRecordStore() override;

    void makeFolder(const QString& path) override;
    void replace(const QString& path, const QByteArray& bytes) override;
    void append(const QString& path, qint64 size, const QByteArray& bytes) override;
    void remove(const QString& path) override;

private:
    void closeAppending();
    QString appendingPath_;
    int appendingFd_ = -1;
};
