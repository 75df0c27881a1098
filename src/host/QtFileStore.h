#pragma once

#include "FileStore.h"

#include <sys/types.h>

#include <cstddef>
#include <functional>

// Document files on the local disk.
//
// Reading refuses folders and other non-regular files, refuses files over the limit before reading
// a byte, and reads the whole file or fails.
//
// Writing never leaves a half-written file behind: the bytes go to a temporary file beside the
// target, are flushed to the disk, and only then renamed over the target. A symbolic link is written
// through (the link stays, its target gets the new contents), and the target keeps its permissions
// and, where allowed, its owner. Any failure — a short write on a full disk included — removes the
// temporary file and leaves the target exactly as it was.
class QtFileStore : public FileStore {
public:
    // The one system call that puts bytes into the temporary file, with write(2)'s contract. Tests
    // replace it to make the disk run full at a chosen point.
    using WriteFunction = std::function<ssize_t(int fd, const void* data, std::size_t size)>;

    QtFileStore();
    explicit QtFileStore(WriteFunction write);

    QByteArray readAll(const QString& path, qint64 maxBytes) override;
    void writeAll(const QString& path, const QByteArray& bytes) override;
    FileStat stat(const QString& path) override;
    quint64 hashFile(const QString& path) override;

    // The file a write to path really changes: path itself, or the end of its chain of symbolic links.
    static QString resolveWriteTarget(const QString& path);

private:
    WriteFunction write_;
};
