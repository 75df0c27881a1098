#include "QtProcessStarter.h"

#include "HostError.h"

#include <QProcess>

qint64 QtProcessStarter::StartProcess(const QString& commandLine, int /*windowStyle*/)
{
    QStringList args = QProcess::splitCommand(commandLine);
    if (args.isEmpty())
        throw HostError(QStringLiteral("Nothing to start"));
    const QString program = args.takeFirst();
    qint64 pid = 0;
    if (!QProcess::startDetached(program, args, QString(), &pid))
        throw HostError(QStringLiteral("Cannot start %1").arg(program));
    return pid;
}
