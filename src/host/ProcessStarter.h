#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

class ConsoleOutput;

// Window styles a process may be started with.
namespace ws {
constexpr int NormalFocus = 1;    // a program with a window of its own
constexpr int MinimizedFocus = 2; // a console program: its output goes to the compiler output panel
} // namespace ws

// How a console program is started, beyond its program and arguments.
struct ConsoleStart {
    QString workingDirectory; // empty: the editor's own
    // Variables set for the program on top of the editor's environment.
    QList<std::pair<QString, QString>> environment;
    // Its standard input stays open for writeInput, and it runs in a process group of its own so
    // that stop ends it together with every process it started.
    bool interactive = false;
};

class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // Starts program (a name looked up on PATH, or a path) with arguments, each handed over exactly
    // as given, and returns at once with a task id. Throws HostError when it cannot start.
    virtual qint64 StartProcess(const QString& program, const QStringList& arguments, int windowStyle) = 0;
    // Starts a console program (as ws::MinimizedFocus does) the way how says. Throws HostError.
    virtual qint64 startConsole(const QString& program, const QStringList& arguments, const ConsoleStart& how) = 0;
    // Hands text to the standard input of an interactive run still going; false when there is none.
    virtual bool writeInput(qint64 taskId, const QString& text) = 0;
    // Closes the standard input of an interactive run still going, so that a program reading until
    // its input ends can finish. False when there is none.
    virtual bool closeInput(qint64 taskId) = 0;
    // Ends a run and every process it started, also those that left its process group and those
    // still running after it ended: asked to end first, killed if they linger. False when there
    // was nothing left to end.
    virtual bool stop(qint64 taskId) = 0;
    // How many processes a run started are still running (the run itself aside).
    virtual int leftovers(qint64 taskId) = 0;

    // Where console programs (ws::MinimizedFocus) report their start, output and end; null drops
    // them. Runs still going report to the new one.
    virtual void setConsoleOutput(ConsoleOutput* output) = 0;
    virtual ConsoleOutput* consoleOutput() const = 0;
};

// The variables that give a console program a UTF-8 character type when the environment's locale
// (LC_ALL, else LC_CTYPE, else LANG) has none: C.UTF-8 for the character type only, so that the
// language of its messages stays the user's. Without it the JDK's tools cannot read file names
// with non-ASCII characters, and what they print could not be read back as UTF-8.
QList<std::pair<QString, QString>> utf8LocaleOverrides(const QString& lcAll, const QString& lcCtype, const QString& lang);
