#pragma once

#include "Registry.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <map>

// A registry hive held in memory. Key paths and value names compare without regard to case, as on
// Windows; a key's ancestors exist as soon as the key does. Texts are stored as the bytes the reader
// gets back (local 8-bit encoding).
class MemoryRegistry : public Registry {
public:
    struct Value {
        std::uint32_t type = reg::REG_NONE;
        QByteArray data;
    };

    void createKey(std::uint32_t root, const QString& keyPath);
    // Removes the key with its subkeys and values.
    void deleteKey(std::uint32_t root, const QString& keyPath);
    void setValue(std::uint32_t root, const QString& keyPath, const QString& name, std::uint32_t type,
                  const QByteArray& data);
    // A REG_SZ value stored with its terminating NUL, the way programs normally write text.
    void setText(std::uint32_t root, const QString& keyPath, const QString& name, const QString& text);
    // A REG_DWORD value, lowest byte first.
    void setDword(std::uint32_t root, const QString& keyPath, const QString& name, std::uint32_t number);
    void deleteValue(std::uint32_t root, const QString& keyPath, const QString& name);
    // Opening the key asks for rights outside allowed fails with reg::AccessDenied (everything is allowed
    // until this is called).
    void restrictAccess(std::uint32_t root, const QString& keyPath, std::uint32_t allowed);

    bool hasKey(std::uint32_t root, const QString& keyPath) const;
    const Value* value(std::uint32_t root, const QString& keyPath, const QString& name) const;
    int openHandleCount() const { return static_cast<int>(handles_.size()); }

    std::int32_t RegOpenKeyEx(std::uint32_t root, const QString& subKey, std::uint32_t options,
                              std::uint32_t accessMask, Handle* result) override;
    std::int32_t RegQueryValueEx(Handle key, const QString& valueName, std::uint32_t reserved, std::uint32_t* type,
                                 char* data, std::uint32_t* size) override;
    std::int32_t RegCloseKey(Handle key) override;

private:
    struct Key {
        QHash<QString, Value> values; // by folded name
        std::uint32_t allowedAccess = 0xFFFFFFFFu;
    };

    // "root\path" with the separators tidied and the case folded; the identity of a key.
    static QString keyId(std::uint32_t root, const QString& keyPath);
    static QString fold(const QString& name) { return name.toCaseFolded(); }
    Key& ensureKey(const QString& id);

    std::map<QString, Key> keys_;
    std::map<Handle, QString> handles_; // open handle -> key id
    Handle nextHandle_ = 0x1000;
};

