#pragma once

#include <QByteArray>
#include <QString>

// Reading and writing whole document files. Both throw HostError naming the path and the system's
// reason; a failed write leaves the file on disk as it was.
class FileStore {
public:
    virtual ~FileStore() = default;
    // A file of more than maxBytes bytes is refused (HostError) before it is read.
    virtual QByteArray readAll(const QString& path, qint64 maxBytes) = 0;
    virtual void writeAll(const QString& path, const QByteArray& bytes) = 0;
};
