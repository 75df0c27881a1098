#pragma once

#include "host/Version.h"

#include <QString>

// The application's project properties: its title and its version number.
namespace AppInfo {
inline const QString Title = QStringLiteral("Tolvane 2000");
// What every window title of the document starts with.
inline const QString TitlePrefix = QStringLiteral("Tolvane 1.0- ");

inline QString versionText()
{
    return QString::number(Major) + u'.' + QString::number(Minor) + u'.' + QString::number(Revision);
}
} // namespace AppInfo
