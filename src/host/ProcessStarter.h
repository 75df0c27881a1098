#pragma once

#include <QString>

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
};
