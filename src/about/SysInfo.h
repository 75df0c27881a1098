#pragma once

#include "host/SystemRegistry.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class Registry;
struct HostServices;

// Locating and starting the system-information tool, and the registry reading it needs.
namespace SysInfo {
constexpr std::uint32_t KeyAccess = 0x2003Fu; // read-control, query/set value, create/enumerate subkeys, notify, link
constexpr std::uint32_t ValueBufferSize = 1024;

inline const QString UnavailableMessage = QStringLiteral("System Information Is Unavailable At This Time");

inline const QString& PathKey = SystemRegistry::SysInfoKey;
inline const QString& PathValue = SystemRegistry::SysInfoValue;
inline const QString LocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
inline const QString LocationValue = QStringLiteral("MSINFO");
inline const QString ProgramFile = QStringLiteral("\\MSINFO32.EXE");

// Turns the bytes a value query left in buffer (size of them stored) into KeyVal's new text: a text value
// without its terminating NUL; a 32-bit number as "&h" + keyValIn + its kept bytes in hexadecimal, highest
// first; keyValIn unchanged for any other type. A size of 0 leaves nothing to decode and throws
// std::invalid_argument.
QString decodeRegistryValue(std::uint32_t type, const QByteArray& buffer, std::uint32_t size,
                            const QString& keyValIn);

// Reads value SubKeyRef of key KeyName under KeyRoot into KeyVal. False, with KeyVal emptied, when the key
// does not open or the value cannot be read. Errors while decoding the value pass to the caller.
bool GetKeyValue(Registry& registry, std::uint32_t KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                 QString& KeyVal);

// The command line that starts the program at path. The path goes alone, quoted only when it holds blanks
// so the process starter does not split it.
QString commandLineFor(const QString& path);

// Starts the tool named by the registry, or tells the user it cannot be found or started.
void StartSysInfo(HostServices& host);
} // namespace SysInfo
