#include "QtFileStore.h"

#include "ContentHash.h"
#include "HostError.h"
#include "LocalFileName.h"

#include <QDir>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/xattr.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
QString systemReason(int error)
{
    return qt_error_string(error);
}

[[noreturn]] void failOpen(const QString& path, const QString& reason)
{
    throw HostError(QStringLiteral("Cannot open %1:\n%2").arg(path, reason));
}

[[noreturn]] void failSave(const QString& path, const QString& reason)
{
    throw HostError(QStringLiteral("Cannot save %1:\n%2").arg(path, reason));
}

// Closes the descriptor and removes the temporary file unless the save went through.
class TemporaryFile {
public:
    TemporaryFile(int fd, QByteArray name) : fd_(fd), name_(std::move(name)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!name_.isEmpty())
            ::unlink(name_.constData());
    }
    int fd() const { return fd_; }
    const QByteArray& name() const { return name_; }
    // Returns close(2)'s result; the descriptor is gone either way.
    int close()
    {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }
    void keep() { name_.clear(); }

private:
    int fd_;
    QByteArray name_;
};

// A big buffer would otherwise take one page fault per 4 KiB as read() fills it: have the kernel map
// it ahead, in huge pages where it can, which halves the time a big read takes. Only hints; an older
// kernel faults. A huge page at a time: the kernel keeps the program's other threads from mapping
// anything (loading a library, taking a big block) for as long as one such call lasts.
void prepareBuffer(QByteArray& buffer)
{
    constexpr quintptr Step = quintptr(2) << 20;
    const auto pageSize = static_cast<quintptr>(::sysconf(_SC_PAGESIZE));
    const auto begin = (reinterpret_cast<quintptr>(buffer.data()) + pageSize - 1) & ~(pageSize - 1);
    const auto end = (reinterpret_cast<quintptr>(buffer.data()) + static_cast<quintptr>(buffer.size())) & ~(pageSize - 1);
    if (end <= begin || end - begin < (quintptr(4) << 20))
        return;
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    for (quintptr at = begin; at < end; at += Step) {
        if (::madvise(reinterpret_cast<void*>(at), std::min(Step, end - at), MADV_POPULATE_WRITE) != 0)
            break;
    }
}

QString folderOf(const QString& absolutePath)
{
    const qsizetype slash = absolutePath.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : absolutePath.left(slash);
}

// Short, whatever the target's name: a name of NAME_MAX bytes still has room for its temporary.
constexpr char TemporaryPrefix[] = ".tolvane-save-";

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}
} // namespace

QtFileStore::QtFileStore() : QtFileStore(WriteFunction(::write)) {}

QtFileStore::QtFileStore(WriteFunction write) : write_(std::move(write)) {}

QByteArray QtFileStore::readAll(const QString& path, qint64 maxBytes)
{
    const QByteArray name = localFileName(path);
    // O_NONBLOCK keeps a named pipe from hanging the open; it is refused below anyway.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT && hasLostBytes(path))
        failOpen(path, QStringLiteral("No file has this name. If the file's real name is not valid UTF-8, Qt cannot "
                                      "represent it: it puts \uFFFD in place of each byte that is not, and its file dialog "
                                      "does not list such files. Rename the file, or name it on the command line, which keeps every "
                                      "byte."));
    if (fd < 0)
        failOpen(path, systemReason(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat info {};
    if (::fstat(fd, &info) != 0)
        failOpen(path, systemReason(errno));
    if (S_ISDIR(info.st_mode))
        failOpen(path, systemReason(EISDIR));
    if (!S_ISREG(info.st_mode))
        failOpen(path, QStringLiteral("It is not a regular file."));
    const auto tooLarge = [&] {
        failOpen(path, QStringLiteral("The file is larger than %1 MiB, the most this editor opens.").arg(maxBytes >> 20));
    };
    if (info.st_size > maxBytes)
        tooLarge();

    // A byte more than the file holds, so the end shows without growing (and copying) the buffer.
    QByteArray data(static_cast<qsizetype>(info.st_size) + 1, Qt::Uninitialized);
    prepareBuffer(data);
    qsizetype got = 0;
    for (;;) {
        if (got == data.size()) {
            // The file may have grown since fstat: keep reading until the end really comes.
            if (data.size() >= maxBytes)
                data.resize(data.size() + 1); // one byte is enough to tell that it is too large
            else
                data.resize(std::min<qsizetype>(maxBytes + 1, data.size() + 65536));
        }
        const ssize_t n = ::read(fd, data.data() + got, static_cast<size_t>(data.size() - got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            failOpen(path, systemReason(errno));
        }
        if (n == 0)
            break;
        got += n;
        if (got > maxBytes)
            tooLarge();
    }
    data.resize(got);
    return data;
}

QString QtFileStore::stateFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    // XDG takes only an absolute path there and ignores a relative one.
    if (base.isEmpty() || !base.startsWith(u'/'))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/tolvane");
}

QString QtFileStore::resolveWriteTarget(const QString& path)
{
    QString target = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    // The same bound the kernel puts on a chain of links.
    for (int hops = 0; hops < 40; ++hops) {
        const QByteArray name = localFileName(target);
        struct stat info {};
        if (::lstat(name.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            return target;
        QByteArray link(PATH_MAX, Qt::Uninitialized);
        const ssize_t length = ::readlink(name.constData(), link.data(), std::size_t(link.size()));
        if (length < 0 || length == link.size())
            return QString();
        link.resize(length);
        const QString linkTarget = fileNameFromLocal(link);
        target = QDir::cleanPath(linkTarget.startsWith(u'/') ? linkTarget : folderOf(target) + u'/' + linkTarget);
    }
    return QString();
}

void QtFileStore::writeAll(const QString& path, const QByteArray& bytes)
{
    const QString target = resolveWriteTarget(path);
    if (target.isEmpty())
        failSave(path, systemReason(ELOOP));
    const QByteArray targetName = localFileName(target);
    const QByteArray folderName = localFileName(folderOf(target));

    struct stat targetInfo {};
    const bool exists = ::stat(targetName.constData(), &targetInfo) == 0;
    if (!exists && errno != ENOENT)
        failSave(path, systemReason(errno));
    if (exists && S_ISDIR(targetInfo.st_mode))
        failSave(path, systemReason(EISDIR));
    if (exists && !S_ISREG(targetInfo.st_mode))
        failSave(path, QStringLiteral("It is not a regular file."));
    // The rename below would replace a read-only file all the same; a read-only file is not ours to change.
    if (exists && ::access(targetName.constData(), W_OK) != 0)
        failSave(path, systemReason(errno));

    removeStaleTemporaries(folderName);

    // Other names of the file would keep the old text if a new file took this one's place.
    if (exists && targetInfo.st_nlink > 1) {
        writeInPlace(path, targetName, targetInfo, bytes);
        return;
    }

    QByteArray temporaryName = folderName + "/" + TemporaryPrefix + QByteArray::number(::getpid()) + "-XXXXXX";
    const int fd = ::mkostemp(temporaryName.data(), O_CLOEXEC);
    if (fd < 0) {
        // A folder the user may not write still lets a writable file in it be written.
        if (exists && (errno == EACCES || errno == EPERM)) {
            writeInPlace(path, targetName, targetInfo, bytes);
            return;
        }
        failSave(path, systemReason(errno));
    }
    TemporaryFile temporary(fd, temporaryName);

    if (const int error = writeFully(fd, bytes))
        failSave(path, systemReason(error));

    if (exists) {
        // The owner first: changing it may clear the set-id bits that fchmod then puts back.
        if (::fchown(fd, targetInfo.st_uid, targetInfo.st_gid) != 0) {
            // Only root may give a file away; a file of another owner becomes ours, as with any editor.
        }
        if (::fchmod(fd, targetInfo.st_mode & 07777) != 0)
            failSave(path, systemReason(errno));
        copyExtendedAttributes(targetName, fd);
    } else if (::fchmod(fd, 0666 & ~currentUmask()) != 0) {
        failSave(path, systemReason(errno));
    }

    if (::fsync(fd) != 0)
        failSave(path, systemReason(errno));
    if (temporary.close() != 0)
        failSave(path, systemReason(errno));
    if (::rename(temporary.name().constData(), targetName.constData()) != 0)
        failSave(path, systemReason(errno));
    temporary.keep();

    // Make the rename itself durable; the new contents are already safe, so a failure here is not one.
    const int folder = ::open(folderName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

int QtFileStore::writeFully(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        // Large chunks, but below the 2 GiB that Linux writes at most in one call.
        const auto chunk = static_cast<std::size_t>(std::min<qsizetype>(left, qsizetype(1) << 30));
        const ssize_t n = write_(fd, data, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0) // no progress and no error: the disk takes no more
            return ENOSPC;
        data += n;
        left -= n;
    }
    return 0;
}

void QtFileStore::writeInPlace(const QString& path, const QByteArray& targetName, const struct stat& targetInfo,
                               const QByteArray& bytes)
{
    const int fd = ::open(targetName.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        failSave(path, systemReason(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    const QString copyFolder = stateFolder() + QStringLiteral("/safety-copies");
    if (!QDir().mkpath(copyFolder))
        failSave(path, QStringLiteral("No safety copy could be made in %1, so the file was left as it was.").arg(copyFolder));
    QByteArray copyName = localFileName(copyFolder) + "/copy-" + QByteArray::number(::getpid()) + "-XXXXXX";
    const int copyFd = ::mkostemp(copyName.data(), O_CLOEXEC);
    if (copyFd < 0)
        failSave(path, QStringLiteral("No safety copy could be made in %1 (%2), so the file was left as it was.")
                           .arg(copyFolder, systemReason(errno)));
    TemporaryFile copy(copyFd, copyName);
    if (const int error = copyContents(fd, copyFd, targetInfo.st_size); error != 0 || ::fsync(copyFd) != 0)
        failSave(path, QStringLiteral("No safety copy could be made in %1 (%2), so the file was left as it was.")
                           .arg(copyFolder, systemReason(error != 0 ? error : errno)));

    // Room for the longer text is claimed before the first byte changes, so that a full disk stops
    // the save while the file is still whole. File systems without preallocation skip this.
    if (bytes.size() > targetInfo.st_size) {
        const int error = ::posix_fallocate(fd, 0, bytes.size());
        if (error == ENOSPC || error == EDQUOT || error == EFBIG)
            failSave(path, systemReason(error));
    }

    int error = ::lseek(fd, 0, SEEK_SET) == 0 ? writeFully(fd, bytes) : errno;
    if (error == 0 && ::ftruncate(fd, bytes.size()) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (error == 0)
        return; // the copy goes with `copy`

    // Put the old contents back; only if that fails too does the copy stay, and the user learns where.
    const bool restored = ::lseek(copyFd, 0, SEEK_SET) == 0 && ::lseek(fd, 0, SEEK_SET) == 0
        && copyContents(copyFd, fd, targetInfo.st_size) == 0 && ::ftruncate(fd, targetInfo.st_size) == 0
        && ::fsync(fd) == 0;
    if (restored)
        failSave(path, systemReason(error));
    copy.keep();
    failSave(path, QStringLiteral("%1\nThe file may be incomplete; its contents before this save are in %2.")
                       .arg(systemReason(error), fileNameFromLocal(copyName)));
}

int QtFileStore::copyContents(int from, int to, qint64 size)
{
    QByteArray buffer(qsizetype(1) << 20, Qt::Uninitialized);
    qint64 left = size;
    while (left > 0) {
        const ssize_t n = ::read(from, buffer.data(), std::size_t(std::min<qint64>(left, buffer.size())));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO; // shorter than it was a moment ago
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(to, buffer.constData() + done, std::size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return w < 0 ? errno : ENOSPC;
            done += w;
        }
        left -= n;
    }
    return 0;
}

void QtFileStore::copyExtendedAttributes(const QByteArray& from, int to)
{
    // Best effort: a name space the user may not set (security.*, trusted.*) is left out rather than
    // keeping the save from happening.
    ssize_t size = ::listxattr(from.constData(), nullptr, 0);
    if (size <= 0)
        return;
    QByteArray names(size, Qt::Uninitialized);
    size = ::listxattr(from.constData(), names.data(), std::size_t(names.size()));
    if (size <= 0)
        return;
    names.resize(size);
    for (const QByteArray& name : names.split('\0')) {
        if (name.isEmpty())
            continue;
        const ssize_t valueSize = ::getxattr(from.constData(), name.constData(), nullptr, 0);
        if (valueSize < 0)
            continue;
        QByteArray value(valueSize, Qt::Uninitialized);
        const ssize_t got = ::getxattr(from.constData(), name.constData(), value.data(), std::size_t(value.size()));
        if (got >= 0)
            ::fsetxattr(to, name.constData(), value.constData(), std::size_t(got), 0);
    }
}

void QtFileStore::removeStaleTemporaries(const QByteArray& folder)
{
    DIR* listing = ::opendir(folder.constData());
    if (!listing)
        return;
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArrayView name(entry->d_name);
        if (!name.startsWith(TemporaryPrefix))
            continue;
        const QByteArrayView rest = name.sliced(qsizetype(std::strlen(TemporaryPrefix)));
        const qsizetype dash = rest.indexOf('-');
        bool ok = false;
        const pid_t pid = dash > 0 ? pid_t(rest.first(dash).toLongLong(&ok)) : 0;
        // A process that still runs may be saving this moment; only the dead leave litter.
        if (!ok || pid <= 0 || rest.size() - dash - 1 != 6 || pid == ::getpid())
            continue;
        if (::kill(pid, 0) != 0 && errno == ESRCH)
            ::unlinkat(::dirfd(listing), entry->d_name, 0);
    }
    ::closedir(listing);
}

FileStat QtFileStore::stat(const QString& path)
{
    struct stat info {};
    if (::stat(localFileName(path).constData(), &info) != 0)
        return {};
    const auto ns = [](const timespec& time) { return qint64(time.tv_sec) * 1000000000 + time.tv_nsec; };
    return {true, qint64(info.st_size), ns(info.st_mtim), ns(info.st_ctim), quint64(info.st_ino), quint64(info.st_dev)};
}

quint64 QtFileStore::hashFile(const QString& path)
{
    const int fd = ::open(localFileName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        failOpen(path, systemReason(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    ContentHasher hasher;
    QByteArray buffer(ContentHasher::BlockSize, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), static_cast<size_t>(buffer.size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            failOpen(path, systemReason(errno));
        }
        if (n == 0)
            break;
        hasher.add(QByteArrayView(buffer.constData(), n));
    }
    return hasher.result();
}
