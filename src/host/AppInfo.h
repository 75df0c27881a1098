#pragma once

#include <QString>

// The application's project properties: its title and its version number.
namespace AppInfo {
inline const QString Title = QStringLiteral("Tolvane 2000");
constexpr int Major = 1;
constexpr int Minor = 0;
constexpr int Revision = 10;

inline QString versionText()
{
    return QString::number(Major) + u'.' + QString::number(Minor) + u'.' + QString::number(Revision);
}
} // namespace AppInfo
