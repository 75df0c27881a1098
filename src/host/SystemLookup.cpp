#include "SystemLookup.h"

#include <QStandardPaths>

const QString SystemLookup::SysInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString SystemLookup::SysInfoValue = QStringLiteral("PATH");

PathSystemLookup::PathSystemLookup(std::function<QString(const QString&)> findProgram)
    : findProgram_(std::move(findProgram))
{
    if (!findProgram_)
        findProgram_ = [](const QString& name) { return QStandardPaths::findExecutable(name); };
}

QStringList PathSystemLookup::systemInfoPrograms()
{
    // Hardware and system overviews first; process monitors are the fallback desktops always have.
    return {QStringLiteral("hardinfo2"),       QStringLiteral("hardinfo"),
            QStringLiteral("kinfocenter"),     QStringLiteral("gnome-system-monitor"),
            QStringLiteral("mate-system-monitor"), QStringLiteral("xfce4-taskmanager")};
}

std::optional<QString> PathSystemLookup::value(const QString& key, const QString& valueName)
{
    // Names compare as the records' keys always did: without regard to case.
    if (key.compare(SysInfoKey, Qt::CaseInsensitive) != 0 || valueName.compare(SysInfoValue, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    for (const QString& name : systemInfoPrograms()) {
        const QString path = findProgram_(name);
        if (!path.isEmpty())
            return path;
    }
    return std::nullopt;
}
