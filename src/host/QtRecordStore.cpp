#include "QtRecordStore.h"

#include "HostError.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
[[noreturn]] void fail(int error)
{
    throw HostError(qt_error_string(error));
}

QByteArray nameOf(const QString& path)
{
    return QFile::encodeName(path);
}

// 0, or the errno of the write that failed; a write that makes no progress is a full disk.
int writeFully(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const auto chunk = static_cast<std::size_t>(std::min<qsizetype>(left, qsizetype(1) << 30));
        const ssize_t n = ::write(fd, data, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC;
        data += n;
        left -= n;
    }
    return 0;
}
} // namespace

QtRecordStore::~QtRecordStore()
{
    closeAppending();
}

void QtRecordStore::closeAppending()
{
    if (appendingFd_ >= 0)
        ::close(appendingFd_);
    appendingFd_ = -1;
    appendingPath_.clear();
}

void QtRecordStore::makeFolder(const QString& path)
{
    const QByteArray name = nameOf(path);
    // Each missing parent in turn, the way mkdir -p does.
    for (qsizetype slash = name.indexOf('/', 1); slash > 0; slash = name.indexOf('/', slash + 1))
        ::mkdir(name.left(slash).constData(), 0700);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        fail(errno);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0)
        fail(errno);
    if (!S_ISDIR(info.st_mode))
        fail(ENOTDIR);
    ::chmod(name.constData(), 0700);
    if (::access(name.constData(), W_OK | X_OK) != 0)
        fail(errno);
}

void QtRecordStore::replace(const QString& path, const QByteArray& bytes)
{
    if (appendingPath_ == path)
        closeAppending();
    const QByteArray target = nameOf(path);
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        fail(errno);
    int error = writeFully(fd, bytes);
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error) {
        ::unlink(temporary.constData());
        fail(error);
    }
    // The rename itself lives in the folder: sync it too, or a power cut may bring the old file back.
    const qsizetype slash = target.lastIndexOf('/');
    const int folder = ::open(slash > 0 ? target.left(slash).constData() : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

void QtRecordStore::append(const QString& path, qint64 size, const QByteArray& bytes)
{
    if (appendingPath_ != path) {
        closeAppending();
        const int fd = ::open(nameOf(path).constData(), O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            fail(errno);
        appendingFd_ = fd;
        appendingPath_ = path;
    }
    int error = 0;
    if (::lseek(appendingFd_, size, SEEK_SET) != size)
        error = errno ? errno : EIO;
    if (!error)
        error = writeFully(appendingFd_, bytes);
    if (!error && ::fdatasync(appendingFd_) != 0)
        error = errno;
    if (error) {
        if (::ftruncate(appendingFd_, size) != 0 || ::fdatasync(appendingFd_) != 0)
            closeAppending(); // the caller rewrites the file whole before appending again
        fail(error);
    }
}

void QtRecordStore::remove(const QString& path)
{
    if (appendingPath_ == path)
        closeAppending();
    if (::unlink(nameOf(path).constData()) != 0 && errno != ENOENT)
        fail(errno);
}
