#pragma once

#include <QString>

class ConsoleOutput;

// Window styles a process may be started with.
namespace ws {
constexpr int NormalFocus = 1;    // a program with a window of its own
constexpr int MinimizedFocus = 2; // a console program: its output goes to the compiler output panel
} // namespace ws

class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // Starts the command line and returns at once with a task id. Throws HostError when it cannot start.
    virtual qint64 StartProcess(const QString& commandLine, int windowStyle) = 0;

    // Where console programs (ws::MinimizedFocus) report their start, output and end; null drops
    // them. Runs still going report to the new one.
    virtual void setConsoleOutput(ConsoleOutput* output) = 0;
    virtual ConsoleOutput* consoleOutput() const = 0;
};
