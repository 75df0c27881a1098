#pragma once

#include <QByteArray>
#include <QString>

// What a file is on disk, as far as telling whether another program changed it goes. Times are in
// nanoseconds; ctime moves with every change of the file, even one that puts mtime back.
struct FileStat {
    bool exists = false;
    qint64 size = 0;
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    friend bool operator==(const FileStat&, const FileStat&) = default;
};

// Reading and writing whole document files. Both throw HostError naming the path and the system's
// reason; a failed write leaves the file on disk as it was.
class FileStore {
public:
    virtual ~FileStore() = default;
    // A file of more than maxBytes bytes is refused (HostError) before it is read.
    virtual QByteArray readAll(const QString& path, qint64 maxBytes) = 0;
    virtual void writeAll(const QString& path, const QByteArray& bytes) = 0;
    // The file at path (links followed); exists is false when there is none or it cannot be reached.
    virtual FileStat stat(const QString& path) = 0;
    // contentHash (ContentHash.h) of the file's bytes, read in pieces. Throws HostError.
    virtual quint64 hashFile(const QString& path) = 0;
};
