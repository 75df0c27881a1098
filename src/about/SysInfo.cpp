#include "SysInfo.h"

#include "host/HostServices.h"

namespace SysInfo {

namespace {
// False when no tool is recorded, or not where the records say; errors of the platform pass through.
bool startFromRecords(HostServices& host)
{
    QString SysInfoPath;
    if (const std::optional<QString> path = host.systemLookup->value(PathKey, PathValue)) {
        SysInfoPath = *path;
    } else {
        const std::optional<QString> folder = host.systemLookup->value(LocationKey, LocationValue);
        if (!folder || !host.fileLookup->exists(*folder + ProgramFile))
            return false;
        SysInfoPath = *folder + ProgramFile;
    }
    if (SysInfoPath.isEmpty())
        return false;
    host.processes->StartProcess(SysInfoPath, {}, ws::NormalFocus);
    return true;
}
} // namespace

void StartSysInfo(HostServices& host)
{
    bool started = false;
    try {
        started = startFromRecords(host);
    } catch (const std::exception&) {
        // However it failed, the user hears the same thing.
    }
    if (!started)
        host.messageBox->show(UnavailableMessage, mb::OKOnly);
}

} // namespace SysInfo
