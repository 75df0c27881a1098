#pragma once

#include <QString>

// Where the output of console programs goes. A console program has no window of its own here, so
// the process starter reports each run (identified by the task id StartProcess returned) to the
// one ConsoleOutput it was given: its start, its output as it arrives, and its end.
class ConsoleOutput {
public:
    enum class Channel { Output, Error };

    virtual ~ConsoleOutput() = default;

    // The run is about to start; relative paths it prints are relative to workingDirectory.
    // commandLine is for showing (displayCommandLine).
    virtual void processStarted(qint64 taskId, const QString& commandLine, const QString& workingDirectory) = 0;
    // Text exactly as the program wrote it (decoded from the locale's encoding), in any pieces.
    virtual void processOutput(qint64 taskId, const QString& text, Channel channel) = 0;
    // The program ended. crashed: it was ended by a signal, and exitCode means nothing.
    virtual void processFinished(qint64 taskId, int exitCode, bool crashed) = 0;
    // The program could not be started at all (after processStarted); reason is the system's.
    virtual void processFailedToStart(qint64 taskId, const QString& reason) = 0;
};
