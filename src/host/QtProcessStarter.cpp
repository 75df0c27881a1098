#include "QtProcessStarter.h"

#include "ChildProcesses.h"
#include "CommandLine.h"
#include "ConsoleOutput.h"
#include "HostError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/prctl.h>
#include <sys/types.h>
#include <unistd.h>

struct QtProcessStarter::Shared {
    ConsoleOutput* output = nullptr;
    // Interactive runs still going, with their process groups (the group id is the program's pid).
    struct Interactive {
        QPointer<QProcess> process;
        pid_t group = 0;
    };
    QHash<qint64, Interactive> interactive;
    // Orphans taken in (ChildProcesses::becomeSubreaper) and detached programs: this process
    // collects their exit status, or they would stay as zombies.
    QList<pid_t> toReap;
    QList<pid_t> started; // console programs QProcess waits for itself
    QTimer reaper;

    // Every process of a run carries TOLVANE_RUN=<editor pid>.<starter>.<task id> in its
    // environment; task id 0 stands for every run of this starter.
    const int serial = nextSerial();
    static int nextSerial()
    {
        static std::atomic<int> last{0};
        return ++last;
    }
    QByteArray mark(qint64 taskId) const
    {
        return QByteArrayLiteral("TOLVANE_RUN=") + QByteArray::number(::getpid()) + '.' + QByteArray::number(serial) + '.'
            + (taskId == 0 ? QByteArray() : QByteArray::number(taskId) + QByteArray(1, '\0'));
    }
    QList<ChildProcesses::Found> processesOf(qint64 taskId)
    {
        QList<ChildProcesses::Found> found = ChildProcesses::carrying(mark(taskId));
        // The run itself is QProcess's to wait for; the rest that became ours are reaped here.
        for (qsizetype i = found.size() - 1; i >= 0; --i) {
            if (started.contains(found[i].pid))
                found.removeAt(i);
            else if (found[i].parent == ::getpid() && !toReap.contains(found[i].pid))
                toReap.push_back(found[i].pid);
        }
        if (!toReap.isEmpty() && !reaper.isActive())
            reaper.start();
        return found;
    }
    void reapEnded()
    {
        // Orphans of a run that end on their own are collected too: look for new ones first.
        processesOf(0);
        ChildProcesses::reap(toReap);
        if (toReap.isEmpty())
            reaper.stop();
    }
};

QList<std::pair<QString, QString>> utf8LocaleOverrides(const QString& lcAll, const QString& lcCtype, const QString& lang)
{
    const auto isUtf8 = [](const QString& locale) {
        return locale.contains(QLatin1String("utf-8"), Qt::CaseInsensitive)
            || locale.contains(QLatin1String("utf8"), Qt::CaseInsensitive);
    };
    const QString utf8 = QStringLiteral("C.UTF-8");
    // LC_ALL overrides every category, the character type included: only replacing it helps.
    if (!lcAll.isEmpty())
        return isUtf8(lcAll) ? QList<std::pair<QString, QString>>{} : QList<std::pair<QString, QString>>{{QStringLiteral("LC_ALL"), utf8}};
    const QString ctype = lcCtype.isEmpty() ? lang : lcCtype;
    if (isUtf8(ctype))
        return {};
    return {{QStringLiteral("LC_CTYPE"), utf8}};
}

namespace {
struct Program {
    QString path; // empty when not found
    QStringList arguments;
    QString name; // as the caller wrote it, for messages
};

QString findProgram(const QString& name)
{
    if (name.isEmpty())
        return QString();
    if (name.contains(u'/')) {
        const QFileInfo info(name);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(name);
}

Program locate(const QString& program, const QStringList& arguments)
{
    return Program{findProgram(program), arguments, program};
}

void requireProgram(const QString& program)
{
    if (program.trimmed().isEmpty())
        throw HostError(QStringLiteral("Nothing to start: the command line is empty"));
}

QString notFoundReason(const Program& program)
{
    const QString reason = QString::fromLocal8Bit(std::strerror(ENOENT));
    if (program.name.contains(u'/'))
        return QStringLiteral("Cannot start %1: %2").arg(program.name, reason);
    return QStringLiteral("Cannot start %1: %2 (it is not on the search path, PATH)").arg(program.name, reason);
}

struct Decoders {
    QStringDecoder output{QStringDecoder::System};
    QStringDecoder error{QStringDecoder::System};
};
} // namespace

QtProcessStarter::QtProcessStarter() : shared_(std::make_shared<Shared>())
{
    ChildProcesses::becomeSubreaper();
    shared_->reaper.setInterval(1000);
    QObject::connect(&shared_->reaper, &QTimer::timeout, [shared = shared_.get()] { shared->reapEnded(); });
}

QtProcessStarter::~QtProcessStarter()
{
    // Processes still running keep shared_ alive; they must not report to a sink that may be gone.
    shared_->output = nullptr;
    // A program the user ran (it may loop for ever) must not outlive the editor it was run from.
    for (const Shared::Interactive& run : std::as_const(shared_->interactive)) {
        if (run.group > 0)
            ::kill(-run.group, SIGKILL);
    }
    shared_->interactive.clear();
    // So must whatever they started, wherever it went, and what finished runs left running.
    ChildProcesses::signalAll(shared_->processesOf(0), 0, SIGKILL);
    ChildProcesses::reap(shared_->toReap);
    shared_->reaper.stop();
}

bool QtProcessStarter::writeInput(qint64 taskId, const QString& text)
{
    const auto run = shared_->interactive.constFind(taskId);
    if (run == shared_->interactive.constEnd() || !run->process || run->process->state() != QProcess::Running)
        return false;
    // The program's character type is UTF-8 (utf8LocaleOverrides), so that is what it reads.
    run->process->write(text.toUtf8());
    return true;
}

bool QtProcessStarter::closeInput(qint64 taskId)
{
    const auto run = shared_->interactive.constFind(taskId);
    if (run == shared_->interactive.constEnd() || !run->process || run->process->state() != QProcess::Running)
        return false;
    run->process->closeWriteChannel();
    return true;
}

bool QtProcessStarter::stop(qint64 taskId)
{
    const auto run = shared_->interactive.constFind(taskId);
    const pid_t group = run == shared_->interactive.constEnd() ? 0 : run->group;
    const QList<ChildProcesses::Found> others = shared_->processesOf(taskId);
    if (group <= 0 && others.isEmpty())
        return false;
    ChildProcesses::signalAll(others, group, SIGTERM);
    // Those whose parent dies with them come to this process (the subreaper) to be collected.
    for (const ChildProcesses::Found& process : others) {
        if (!shared_->toReap.contains(process.pid))
            shared_->toReap.push_back(process.pid);
    }
    shared_->reaper.start();
    // What ignores the request, or is slow to end, is killed. The group id cannot be taken by
    // another group while any member of this one is alive, and it is checked again before the kill;
    // the others are looked for again by their mark.
    std::weak_ptr<Shared> weak = shared_;
    QTimer::singleShot(2000, [weak, group, taskId] {
        const std::shared_ptr<Shared> shared = weak.lock();
        if (group > 0 && ::kill(-group, 0) == 0)
            ::kill(-group, SIGKILL);
        if (shared) {
            ChildProcesses::signalAll(shared->processesOf(taskId), 0, SIGKILL);
            QTimer::singleShot(200, [weak] {
                if (const std::shared_ptr<Shared> later = weak.lock())
                    ChildProcesses::reap(later->toReap);
            });
        }
    });
    return true;
}

int QtProcessStarter::leftovers(qint64 taskId)
{
    int count = 0;
    for (const ChildProcesses::Found& process : shared_->processesOf(taskId)) {
        // A process that has ended but was not collected yet is no longer running.
        QFile stat(QStringLiteral("/proc/%1/stat").arg(process.pid));
        if (stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z "))
            ++count;
    }
    return count;
}

qint64 QtProcessStarter::startConsole(const QString& program, const QStringList& arguments, const ConsoleStart& how)
{
    const qint64 taskId = ++lastTaskId_;
    requireProgram(program);
    return startConsoleRun(taskId, program, arguments, how);
}

void QtProcessStarter::setConsoleOutput(ConsoleOutput* output)
{
    shared_->output = output;
}

ConsoleOutput* QtProcessStarter::consoleOutput() const
{
    return shared_->output;
}

qint64 QtProcessStarter::StartProcess(const QString& name, const QStringList& arguments, int windowStyle)
{
    const qint64 taskId = ++lastTaskId_;
    requireProgram(name);
    const Program program = locate(name, arguments);

    if (windowStyle != ws::MinimizedFocus) {
        if (program.path.isEmpty())
            throw HostError(notFoundReason(program));
        QProcess process;
        process.setProgram(program.path);
        process.setArguments(program.arguments);
        qint64 pid = 0;
        if (!process.startDetached(&pid))
            throw HostError(QStringLiteral("Cannot start %1: %2").arg(program.name, process.errorString()));
        // Its intermediate parent is gone at once, so the program is this process's child now.
        if (pid > 0) {
            shared_->toReap.push_back(static_cast<pid_t>(pid));
            shared_->reaper.start();
        }
        return taskId;
    }

    return startConsoleRun(taskId, name, arguments, ConsoleStart{});
}

qint64 QtProcessStarter::startConsoleRun(qint64 taskId, const QString& name, const QStringList& arguments, const ConsoleStart& how)
{
    const Program program = locate(name, arguments);
    const QString workingDirectory = how.workingDirectory.isEmpty() ? QDir::currentPath() : how.workingDirectory;
    if (ConsoleOutput* output = shared_->output)
        output->processStarted(taskId, displayCommandLine(name, arguments), workingDirectory);
    auto fail = [&](const QString& reason) {
        if (ConsoleOutput* output = shared_->output)
            output->processFailedToStart(taskId, reason);
        throw HostError(reason);
    };
    if (program.path.isEmpty())
        fail(notFoundReason(program));

    auto* process = new QProcess;
    process->setProgram(program.path);
    process->setArguments(program.arguments);
    process->setWorkingDirectory(workingDirectory);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const auto overrides = utf8LocaleOverrides(environment.value(QStringLiteral("LC_ALL")),
                                               environment.value(QStringLiteral("LC_CTYPE")),
                                               environment.value(QStringLiteral("LANG")));
    for (const auto& [name, value] : overrides)
        environment.insert(name, value);
    for (const auto& [name, value] : how.environment)
        environment.insert(name, value);
    environment.insert(QStringLiteral("TOLVANE_RUN"), QString::fromLatin1(shared_->mark(taskId).mid(12).chopped(1)));
    process->setProcessEnvironment(environment);
    if (how.interactive) {
        // A session of its own makes the program the leader of a process group that holds every
        // process it starts, so that stop can end them all.
        // Its own session also keeps it from the hangup a dying editor would send, so it is told to
        // end with the editor however the editor ends (the destructor covers its descendants).
        process->setChildProcessModifier([] {
            ::setsid();
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        });
    } else {
        process->setStandardInputFile(QProcess::nullDevice());
    }

    auto decoders = std::make_shared<Decoders>();
    auto pid = std::make_shared<pid_t>(0); // QProcess forgets it once the program has ended
    std::shared_ptr<Shared> shared = shared_;
    QObject::connect(process, &QProcess::readyReadStandardOutput, process, [process, decoders, shared, taskId] {
        const QString text = decoders->output.decode(process->readAllStandardOutput());
        if (shared->output && !text.isEmpty())
            shared->output->processOutput(taskId, text, ConsoleOutput::Channel::Output);
    });
    QObject::connect(process, &QProcess::readyReadStandardError, process, [process, decoders, shared, taskId] {
        const QString text = decoders->error.decode(process->readAllStandardError());
        if (shared->output && !text.isEmpty())
            shared->output->processOutput(taskId, text, ConsoleOutput::Channel::Error);
    });
    QObject::connect(process, &QProcess::finished, process,
                     [process, decoders, shared, taskId, pid](int exitCode, QProcess::ExitStatus status) {
        // Whatever is still buffered belongs before the end.
        const QString out = decoders->output.decode(process->readAllStandardOutput());
        const QString err = decoders->error.decode(process->readAllStandardError());
        if (ConsoleOutput* output = shared->output) {
            if (!out.isEmpty())
                output->processOutput(taskId, out, ConsoleOutput::Channel::Output);
            if (!err.isEmpty())
                output->processOutput(taskId, err, ConsoleOutput::Channel::Error);
        }
        shared->interactive.remove(taskId);
        shared->started.removeOne(*pid);
        if (ConsoleOutput* output = shared->output)
            output->processFinished(taskId, exitCode, status == QProcess::CrashExit);
        process->deleteLater();
    });

    process->start();
    // Only the start is awaited (the exec), so that a program that cannot run is reported here.
    if (!process->waitForStarted(30000)) {
        const QString reason = QStringLiteral("Cannot start %1: %2").arg(program.name, process->errorString());
        process->disconnect();
        delete process;
        fail(reason);
    }
    *pid = static_cast<pid_t>(process->processId());
    shared_->started.push_back(*pid);
    if (how.interactive)
        shared_->interactive.insert(taskId, {process, static_cast<pid_t>(process->processId())});
    return taskId;
}
