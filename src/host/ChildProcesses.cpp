#include "ChildProcesses.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ChildProcesses {

bool becomeSubreaper()
{
#ifdef PR_SET_CHILD_SUBREAPER
    return ::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
#else
    return false;
#endif
}

namespace {
pid_t parentOf(const QByteArray& pidText)
{
    QFile stat(QStringLiteral("/proc/") + QString::fromLatin1(pidText) + QStringLiteral("/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // "pid (name) state ppid ...": the name may hold blanks and parentheses, so read after the last ')'.
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    return fields.size() > 1 ? static_cast<pid_t>(fields[1].toLong()) : 0;
}
} // namespace

QList<Found> carrying(const QByteArray& prefix)
{
    QList<Found> found;
    const pid_t self = ::getpid();
    const uid_t user = ::getuid();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool number = false;
        const pid_t pid = static_cast<pid_t>(entry.toLong(&number));
        if (!number || pid == self)
            continue;
        const QByteArray path = QFile::encodeName(QStringLiteral("/proc/") + entry);
        struct stat info{};
        if (::stat(path.constData(), &info) != 0 || info.st_uid != user)
            continue;
        QFile environ(QStringLiteral("/proc/") + entry + QStringLiteral("/environ"));
        if (!environ.open(QIODevice::ReadOnly))
            continue;
        const QByteArray variables = environ.readAll();
        if (variables.startsWith(prefix) || variables.contains(QByteArray(1, '\0') + prefix))
            found.push_back({pid, parentOf(entry.toLatin1())});
    }
    return found;
}

void signalAll(const QList<Found>& processes, pid_t group, int signal)
{
    if (group > 0)
        ::kill(-group, signal);
    for (const Found& process : processes)
        ::kill(process.pid, signal);
}

void reap(QList<pid_t>& pids)
{
    for (qsizetype i = pids.size() - 1; i >= 0; --i) {
        const pid_t done = ::waitpid(pids[i], nullptr, WNOHANG);
        if (done == pids[i] || (done < 0 && errno == ECHILD))
            pids.removeAt(i);
    }
}

} // namespace ChildProcesses
