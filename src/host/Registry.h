#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// A read-only view of a hierarchical registry of keys and typed values, with the result codes and
// calling conventions the about box's reader relies on.
namespace reg {
constexpr std::uint32_t HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr std::int32_t Success = 0;
constexpr std::int32_t FileNotFound = 2;
constexpr std::int32_t AccessDenied = 5;
constexpr std::int32_t MoreData = 234;
constexpr std::uint32_t REG_SZ = 1;
constexpr std::uint32_t REG_DWORD = 4;
} // namespace reg

class Registry {
public:
    using Handle = std::uintptr_t;
    virtual ~Registry() = default;
    // Opens subKey under root; on success (result 0) stores a handle in *result.
    virtual std::int32_t RegOpenKeyEx(std::uint32_t root, const QString& subKey, std::uint32_t options,
                                      std::uint32_t accessMask, Handle* result) = 0;
    // Reads the value: *type gets its type, data up to *size bytes, *size the bytes stored. When the value
    // is larger than *size the result is reg::MoreData and *size the size needed.
    virtual std::int32_t RegQueryValueEx(Handle key, const QString& valueName, std::uint32_t reserved,
                                         std::uint32_t* type, char* data, std::uint32_t* size) = 0;
    virtual std::int32_t RegCloseKey(Handle key) = 0;
};
