#include "QtFileStore.h"

#include "ContentHash.h"
#include "HostError.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

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
// all of it in one go, which halves the time a big read takes. Only a hint; an older kernel faults.
void prepareBuffer(QByteArray& buffer)
{
    const auto pageSize = static_cast<quintptr>(::sysconf(_SC_PAGESIZE));
    const auto begin = (reinterpret_cast<quintptr>(buffer.data()) + pageSize - 1) & ~(pageSize - 1);
    const auto end = (reinterpret_cast<quintptr>(buffer.data()) + static_cast<quintptr>(buffer.size())) & ~(pageSize - 1);
    if (end <= begin || end - begin < (quintptr(4) << 20))
        return;
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
}

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
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK keeps a named pipe from hanging the open; it is refused below anyway.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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

    QByteArray data(static_cast<qsizetype>(info.st_size), Qt::Uninitialized);
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

QString QtFileStore::resolveWriteTarget(const QString& path)
{
    QString target = QFileInfo(path).absoluteFilePath();
    // The same bound the kernel puts on a chain of links.
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(target);
        if (!info.isSymLink())
            return target;
        target = info.symLinkTarget();
    }
    return QString();
}

void QtFileStore::writeAll(const QString& path, const QByteArray& bytes)
{
    const QString target = resolveWriteTarget(path);
    if (target.isEmpty())
        failSave(path, systemReason(ELOOP));
    const QByteArray targetName = QFile::encodeName(target);

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

    const QFileInfo targetFile(target);
    QByteArray temporaryName = QFile::encodeName(targetFile.absolutePath() + QStringLiteral("/.")
                                                 + targetFile.fileName() + QStringLiteral(".save-XXXXXX"));
    const int fd = ::mkostemp(temporaryName.data(), O_CLOEXEC);
    if (fd < 0)
        failSave(path, systemReason(errno));
    TemporaryFile temporary(fd, temporaryName);

    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        // Large chunks, but below the 2 GiB that Linux writes at most in one call.
        const auto chunk = static_cast<std::size_t>(std::min<qsizetype>(left, qsizetype(1) << 30));
        const ssize_t n = write_(fd, data, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            failSave(path, systemReason(errno));
        }
        if (n == 0) // no progress and no error: the disk takes no more
            failSave(path, systemReason(ENOSPC));
        data += n;
        left -= n;
    }

    if (exists) {
        // The owner first: changing it may clear the set-id bits that fchmod then puts back.
        if (::fchown(fd, targetInfo.st_uid, targetInfo.st_gid) != 0) {
            // Only root may give a file away; a file of another owner becomes ours, as with any editor.
        }
        if (::fchmod(fd, targetInfo.st_mode & 07777) != 0)
            failSave(path, systemReason(errno));
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
    const int folder = ::open(QFile::encodeName(targetFile.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

FileStat QtFileStore::stat(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    const auto ns = [](const timespec& time) { return qint64(time.tv_sec) * 1000000000 + time.tv_nsec; };
    return {true, qint64(info.st_size), ns(info.st_mtim), ns(info.st_ctim), quint64(info.st_ino), quint64(info.st_dev)};
}

quint64 QtFileStore::hashFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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
