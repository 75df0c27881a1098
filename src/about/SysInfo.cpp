#include "SysInfo.h"

#include "host/HostServices.h"

#include <stdexcept>

namespace SysInfo {

QString decodeRegistryValue(std::uint32_t type, const QByteArray& buffer, std::uint32_t size,
                            const QString& keyValIn)
{
    if (size == 0)
        throw std::invalid_argument("registry value reported with a size of 0");
    // The data ends with a NUL when it is a terminated text; everything before the size is kept.
    const auto stored = static_cast<qsizetype>(size);
    const QByteArray kept = (stored <= buffer.size() && buffer[stored - 1] == '\0') ? buffer.left(stored - 1)
                                                                                     : buffer.left(stored);
    switch (type) {
    case reg::REG_SZ:
        return QString::fromLocal8Bit(kept);
    case reg::REG_DWORD: {
        QString digits = keyValIn;
        for (qsizetype i = kept.size() - 1; i >= 0; --i)
            digits += QStringLiteral("%1").arg(static_cast<unsigned char>(kept[i]), 2, 16, QLatin1Char('0')).toUpper();
        return QStringLiteral("&h") + digits;
    }
    default:
        return keyValIn;
    }
}

bool GetKeyValue(Registry& registry, std::uint32_t KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                 QString& KeyVal)
{
    Registry::Handle hKey = 0;
    if (registry.RegOpenKeyEx(KeyRoot, KeyName, 0, KeyAccess, &hKey) != reg::Success) {
        KeyVal.clear();
        return false;
    }
    // The key is closed however the reading ends, also when decoding throws.
    struct KeyCloser {
        Registry& registry;
        Registry::Handle key;
        ~KeyCloser() { registry.RegCloseKey(key); }
    } closer{registry, hKey};

    QByteArray tmpVal(ValueBufferSize, '\0');
    std::uint32_t KeyValSize = ValueBufferSize;
    std::uint32_t KeyValType = 0;
    if (registry.RegQueryValueEx(hKey, SubKeyRef, 0, &KeyValType, tmpVal.data(), &KeyValSize) != reg::Success) {
        KeyVal.clear();
        return false;
    }
    KeyVal = decodeRegistryValue(KeyValType, tmpVal, KeyValSize, KeyVal);
    return true;
}

QString commandLineFor(const QString& path)
{
    if (path.contains(u' ') || path.contains(u'\t'))
        return u'"' + path + u'"';
    return path;
}

namespace {
// False when the tool is not where the registry says; errors of the platform pass through.
bool startFromRegistry(HostServices& host)
{
    QString SysInfoPath;
    if (!GetKeyValue(*host.registry, reg::HKEY_LOCAL_MACHINE, PathKey, PathValue, SysInfoPath)) {
        if (!GetKeyValue(*host.registry, reg::HKEY_LOCAL_MACHINE, LocationKey, LocationValue, SysInfoPath))
            return false;
        if (!host.fileLookup->exists(SysInfoPath + ProgramFile))
            return false;
        SysInfoPath += ProgramFile;
    }
    // A value of a type that gives no text leaves no program to start.
    if (SysInfoPath.isEmpty())
        return false;
    host.processes->StartProcess(commandLineFor(SysInfoPath), ws::NormalFocus);
    return true;
}
} // namespace

void StartSysInfo(HostServices& host)
{
    bool started = false;
    try {
        started = startFromRegistry(host);
    } catch (const std::exception&) {
        // However it failed, the user hears the same thing.
    }
    if (!started)
        host.messageBox->show(UnavailableMessage, mb::OKOnly);
}

} // namespace SysInfo
