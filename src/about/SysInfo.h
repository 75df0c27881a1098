#pragma once

#include "host/SystemLookup.h"

#include <QString>

struct HostServices;

// Locating and starting the system-information tool.
namespace SysInfo {
inline const QString UnavailableMessage = QStringLiteral("System Information Is Unavailable At This Time");

// Where the tool is recorded: its full path, or else the folder that holds ProgramFile.
inline const QString& PathKey = SystemLookup::SysInfoKey;
inline const QString& PathValue = SystemLookup::SysInfoValue;
inline const QString LocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
inline const QString LocationValue = QStringLiteral("MSINFO");
inline const QString ProgramFile = QStringLiteral("\\MSINFO32.EXE");

// Starts the tool the records name, or tells the user it cannot be found or started.
void StartSysInfo(HostServices& host);
} // namespace SysInfo
