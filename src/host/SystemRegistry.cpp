#include "SystemRegistry.h"

#include <QStandardPaths>

const QString SystemRegistry::SysInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString SystemRegistry::SysInfoValue = QStringLiteral("PATH");

SystemRegistry::SystemRegistry(std::function<QString(const QString&)> findProgram)
    : findProgram_(std::move(findProgram))
{
    if (!findProgram_)
        findProgram_ = [](const QString& name) { return QStandardPaths::findExecutable(name); };
}

QStringList SystemRegistry::systemInfoPrograms()
{
#ifdef Q_OS_WIN
    return {QStringLiteral("msinfo32")};
#else
    // Hardware and system overviews first; process monitors are the fallback desktops always have.
    return {QStringLiteral("hardinfo2"),       QStringLiteral("hardinfo"),
            QStringLiteral("kinfocenter"),     QStringLiteral("gnome-system-monitor"),
            QStringLiteral("mate-system-monitor"), QStringLiteral("xfce4-taskmanager")};
#endif
}

void SystemRegistry::refreshSysInfo()
{
    for (const QString& name : systemInfoPrograms()) {
        const QString path = findProgram_(name);
        if (!path.isEmpty()) {
            setText(reg::HKEY_LOCAL_MACHINE, SysInfoKey, SysInfoValue, path);
            return;
        }
    }
    deleteValue(reg::HKEY_LOCAL_MACHINE, SysInfoKey, SysInfoValue);
}

std::int32_t SystemRegistry::RegOpenKeyEx(std::uint32_t root, const QString& subKey, std::uint32_t options,
                                          std::uint32_t accessMask, Handle* result)
{
    refreshSysInfo();
    return MemoryRegistry::RegOpenKeyEx(root, subKey, options, accessMask, result);
}

std::unique_ptr<Registry> makeSystemRegistry()
{
    return std::make_unique<SystemRegistry>();
}
