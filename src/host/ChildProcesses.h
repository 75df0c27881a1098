#pragma once

#include <QByteArray>
#include <QList>

#include <sys/types.h>

// The processes a program started, found again however they left it: a child that made a session of
// its own (setsid), ignores hangups (nohup) or was orphaned when the program ended. Each run carries
// a mark in its environment, which every process it starts inherits; on Linux the editor also takes
// in its orphaned descendants (a child subreaper), so that it can reap them once they end.
namespace ChildProcesses {
// Asks the system to hand this process its orphaned descendants; false where it cannot.
bool becomeSubreaper();
// This user's processes (this one aside) whose environment holds a variable that starts with
// prefix (as "NAME=value"), with their parents.
struct Found {
    pid_t pid;
    pid_t parent;
};
QList<Found> carrying(const QByteArray& prefix);
// Sends signal to each of them and to the process group group (0: none).
void signalAll(const QList<Found>& processes, pid_t group, int signal);
// Collects the exit status of pids that are this process's children and have ended (never blocks);
// the ones still to be collected stay in pids.
void reap(QList<pid_t>& pids);
} // namespace ChildProcesses
