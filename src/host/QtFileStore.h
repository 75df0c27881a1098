#pragma once

#include "FileStore.h"

#include <sys/stat.h>
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
// through (the link stays, its target gets the new contents), and the target keeps its permissions,
// its extended attributes and, where allowed, its owner. Any failure — a short write on a full disk
// included — removes the temporary file and leaves the target exactly as it was.
//
// A rename would make a new file, though, which is wrong for a file with more than one hard link
// (the other names would keep the old text) and impossible in a folder the user may not write. Such
// a file is written in place, after a safety copy of it in the state folder; a failure part way puts
// the old contents back from that copy, and the copy is removed once the save is complete.
//
// The temporary file's name is short whatever the target's length, and carries the number of the
// process that made it: one that a killed save left behind is removed by the next save in the folder
// once that process no longer runs.
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

    // Where the program keeps what it must find again after a crash: $XDG_STATE_HOME/tolvane, by
    // default ~/.local/state/tolvane. Safety copies go to its "safety-copies" folder.
    static QString stateFolder();

private:
    int writeFully(int fd, const QByteArray& bytes); // 0 or errno
    void writeInPlace(const QString& path, const QByteArray& targetName, const struct stat& targetInfo,
                      const QByteArray& bytes);
    static int copyContents(int from, int to, qint64 size); // 0 or errno
    static void copyExtendedAttributes(const QByteArray& from, int to);
    static void removeStaleTemporaries(const QByteArray& folder);

    WriteFunction write_;
};
