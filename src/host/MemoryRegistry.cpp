#include "MemoryRegistry.h"

#include <QStringList>

#include <cstring>

namespace {
const QChar Backslash = u'\\';

QString rootId(std::uint32_t root)
{
    return QString::number(root, 16);
}

bool isPredefinedRoot(std::uint32_t root)
{
    switch (root) {
    case reg::HKEY_CLASSES_ROOT:
    case reg::HKEY_CURRENT_USER:
    case reg::HKEY_LOCAL_MACHINE:
    case reg::HKEY_USERS:
    case reg::HKEY_CURRENT_CONFIG:
        return true;
    default:
        return false;
    }
}

// Joins a key id and a relative path, dropping empty parts so "A\\B\" and "A\B" name one key.
QString appendPath(QString id, const QString& path)
{
    const QStringList parts = path.split(Backslash, Qt::SkipEmptyParts);
    for (const QString& part : parts)
        id += Backslash + part.toCaseFolded();
    return id;
}

QByteArray dwordBytes(std::uint32_t number)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFFu);
    return bytes;
}

} // namespace

QString MemoryRegistry::keyId(std::uint32_t root, const QString& keyPath)
{
    return appendPath(rootId(root), keyPath);
}

MemoryRegistry::Key& MemoryRegistry::ensureKey(const QString& id)
{
    // Every ancestor below the root becomes a key too, as it would on disk.
    const qsizetype first = id.indexOf(Backslash);
    if (first >= 0) {
        for (qsizetype slash = id.indexOf(Backslash, first + 1); slash >= 0; slash = id.indexOf(Backslash, slash + 1))
            keys_.try_emplace(id.left(slash));
    }
    return keys_[id];
}

void MemoryRegistry::createKey(std::uint32_t root, const QString& keyPath)
{
    ensureKey(keyId(root, keyPath));
}

void MemoryRegistry::deleteKey(std::uint32_t root, const QString& keyPath)
{
    const QString id = keyId(root, keyPath);
    const QString prefix = id + Backslash;
    for (auto it = keys_.begin(); it != keys_.end();) {
        if (it->first == id || it->first.startsWith(prefix))
            it = keys_.erase(it);
        else
            ++it;
    }
}

void MemoryRegistry::setValue(std::uint32_t root, const QString& keyPath, const QString& name, std::uint32_t type,
                              const QByteArray& data)
{
    ensureKey(keyId(root, keyPath)).values.insert(fold(name), Value{type, data});
}

void MemoryRegistry::setText(std::uint32_t root, const QString& keyPath, const QString& name, const QString& text)
{
    QByteArray bytes = text.toLocal8Bit();
    bytes.append('\0');
    setValue(root, keyPath, name, reg::REG_SZ, bytes);
}

void MemoryRegistry::setDword(std::uint32_t root, const QString& keyPath, const QString& name, std::uint32_t number)
{
    setValue(root, keyPath, name, reg::REG_DWORD, dwordBytes(number));
}

void MemoryRegistry::deleteValue(std::uint32_t root, const QString& keyPath, const QString& name)
{
    auto it = keys_.find(keyId(root, keyPath));
    if (it != keys_.end())
        it->second.values.remove(fold(name));
}

void MemoryRegistry::restrictAccess(std::uint32_t root, const QString& keyPath, std::uint32_t allowed)
{
    ensureKey(keyId(root, keyPath)).allowedAccess = allowed;
}

bool MemoryRegistry::hasKey(std::uint32_t root, const QString& keyPath) const
{
    const QString id = keyId(root, keyPath);
    return keys_.count(id) > 0 || (isPredefinedRoot(root) && id == rootId(root));
}

const MemoryRegistry::Value* MemoryRegistry::value(std::uint32_t root, const QString& keyPath,
                                                   const QString& name) const
{
    const auto it = keys_.find(keyId(root, keyPath));
    if (it == keys_.end())
        return nullptr;
    const auto found = it->second.values.constFind(fold(name));
    return found == it->second.values.cend() ? nullptr : &found.value();
}

std::int32_t MemoryRegistry::RegOpenKeyEx(std::uint32_t root, const QString& subKey, std::uint32_t /*options*/,
                                          std::uint32_t accessMask, Handle* result)
{
    QString baseId;
    if (isPredefinedRoot(root)) {
        baseId = rootId(root);
    } else {
        const auto open = handles_.find(root);
        if (open == handles_.end())
            return reg::InvalidHandle;
        baseId = open->second;
    }
    if (result == nullptr)
        return reg::InvalidParameter;
    const QString id = appendPath(baseId, subKey);
    const auto key = keys_.find(id);
    const bool isRoot = !id.contains(Backslash);
    if (key == keys_.end() && !isRoot)
        return reg::FileNotFound;
    if (key != keys_.end() && (accessMask & ~key->second.allowedAccess) != 0)
        return reg::AccessDenied;
    *result = nextHandle_++;
    handles_.emplace(*result, id);
    return reg::Success;
}

std::int32_t MemoryRegistry::RegQueryValueEx(Handle key, const QString& valueName, std::uint32_t /*reserved*/,
                                             std::uint32_t* type, char* data, std::uint32_t* size)
{
    const auto open = handles_.find(key);
    if (open == handles_.end())
        return reg::InvalidHandle;
    if (data != nullptr && size == nullptr)
        return reg::InvalidParameter;
    const auto found = keys_.find(open->second);
    if (found == keys_.end())
        return reg::FileNotFound;
    const auto value = found->second.values.constFind(fold(valueName));
    if (value == found->second.values.cend())
        return reg::FileNotFound;
    const auto needed = static_cast<std::uint32_t>(value->data.size());
    if (type != nullptr)
        *type = value->type;
    if (size == nullptr)
        return reg::Success;
    if (data != nullptr && *size < needed) {
        *size = needed;
        return reg::MoreData;
    }
    if (data != nullptr && needed > 0)
        std::memcpy(data, value->data.constData(), needed);
    *size = needed;
    return reg::Success;
}

std::int32_t MemoryRegistry::RegCloseKey(Handle key)
{
    return handles_.erase(key) > 0 ? reg::Success : reg::InvalidHandle;
}
