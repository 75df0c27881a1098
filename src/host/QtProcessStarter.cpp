#include "QtProcessStarter.h"

#include "CommandLine.h"
#include "ConsoleOutput.h"
#include "HostError.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTimer>

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

QtProcessStarter::QtProcessStarter() : shared_(std::make_shared<Shared>()) {}

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

bool QtProcessStarter::stop(qint64 taskId)
{
    const auto run = shared_->interactive.constFind(taskId);
    if (run == shared_->interactive.constEnd() || run->group <= 0)
        return false;
    const pid_t group = run->group;
    ::kill(-group, SIGTERM);
    // What ignores the request, or is slow to end, is killed. The group id cannot be taken by
    // another group while any member of this one is alive, and it is checked again before the kill.
    QTimer::singleShot(2000, [group] {
        if (::kill(-group, 0) == 0)
            ::kill(-group, SIGKILL);
    });
    return true;
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
        if (!process.startDetached())
            throw HostError(QStringLiteral("Cannot start %1: %2").arg(program.name, process.errorString()));
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
                     [process, decoders, shared, taskId](int exitCode, QProcess::ExitStatus status) {
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
    if (how.interactive)
        shared_->interactive.insert(taskId, {process, static_cast<pid_t>(process->processId())});
    return taskId;
}
