#pragma once

#include "ProcessStarter.h"

#include <memory>

// Starts programs with QProcess; the arguments reach the program as given, through no shell.
// ws::NormalFocus: the program runs on its own (detached) with its own window.
// ws::MinimizedFocus: a console program; its output and exit status go to the ConsoleOutput, if
// one is set, and it always gets a UTF-8 character type (utf8LocaleOverrides). Either way
// StartProcess returns as soon as the program runs, never waiting for it. When the starter goes,
// every process its console runs started is killed, those that left their group or outlived the run
// included (ChildProcesses).
class QtProcessStarter : public ProcessStarter {
public:
    QtProcessStarter();
    ~QtProcessStarter() override;
    QtProcessStarter(const QtProcessStarter&) = delete;
    QtProcessStarter& operator=(const QtProcessStarter&) = delete;

    qint64 StartProcess(const QString& program, const QStringList& arguments, int windowStyle) override;
    qint64 startConsole(const QString& program, const QStringList& arguments, const ConsoleStart& how) override;
    bool writeInput(qint64 taskId, const QString& text) override;
    bool closeInput(qint64 taskId) override;
    bool stop(qint64 taskId) override;
    int leftovers(qint64 taskId) override;

    void setConsoleOutput(ConsoleOutput* output) override;
    ConsoleOutput* consoleOutput() const override;

private:
    qint64 startConsoleRun(qint64 taskId, const QString& program, const QStringList& arguments, const ConsoleStart& how);

    struct Shared;
    std::shared_ptr<Shared> shared_; // outlives the starter while its processes run
    qint64 lastTaskId_ = 0;
};
