#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// A read-only view of a hierarchical registry of keys and typed values, with the result codes and
// calling conventions the about box's reader relies on.
namespace reg {
// Predefined root keys.
constexpr std::uint32_t HKEY_CLASSES_ROOT = 0x80000000u;
constexpr std::uint32_t HKEY_CURRENT_USER = 0x80000001u;
constexpr std::uint32_t HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr std::uint32_t HKEY_USERS = 0x80000003u;
constexpr std::uint32_t HKEY_CURRENT_CONFIG = 0x80000005u;

// Result codes.
constexpr std::int32_t Success = 0;
constexpr std::int32_t FileNotFound = 2;
constexpr std::int32_t AccessDenied = 5;
constexpr std::int32_t InvalidHandle = 6;
constexpr std::int32_t InvalidParameter = 87;
constexpr std::int32_t MoreData = 234;

// Value types.
constexpr std::uint32_t REG_NONE = 0;
constexpr std::uint32_t REG_SZ = 1;
constexpr std::uint32_t REG_EXPAND_SZ = 2;
constexpr std::uint32_t REG_BINARY = 3;
constexpr std::uint32_t REG_DWORD = 4;
constexpr std::uint32_t REG_MULTI_SZ = 7;
constexpr std::uint32_t REG_QWORD = 11;

// Access rights.
constexpr std::uint32_t KEY_QUERY_VALUE = 0x0001u;
constexpr std::uint32_t KEY_SET_VALUE = 0x0002u;
constexpr std::uint32_t KEY_CREATE_SUB_KEY = 0x0004u;
constexpr std::uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008u;
constexpr std::uint32_t KEY_NOTIFY = 0x0010u;
constexpr std::uint32_t KEY_CREATE_LINK = 0x0020u;
constexpr std::uint32_t READ_CONTROL = 0x00020000u;
constexpr std::uint32_t KEY_READ = READ_CONTROL | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY;
} // namespace reg

class Registry {
public:
    using Handle = std::uintptr_t;
    virtual ~Registry() = default;
    // Opens subKey under root (a predefined root or an open key); on success (result 0) stores a handle in
    // *result, which the caller closes with RegCloseKey.
    virtual std::int32_t RegOpenKeyEx(std::uint32_t root, const QString& subKey, std::uint32_t options,
                                      std::uint32_t accessMask, Handle* result) = 0;
    // Reads the value: *type gets its type, data up to *size bytes, *size the bytes stored (counting a
    // terminating NUL if the data has one). When the value is larger than *size the result is reg::MoreData
    // and *size the size needed. Texts come back in the local 8-bit encoding.
    virtual std::int32_t RegQueryValueEx(Handle key, const QString& valueName, std::uint32_t reserved,
                                         std::uint32_t* type, char* data, std::uint32_t* size) = 0;
    virtual std::int32_t RegCloseKey(Handle key) = 0;
};
