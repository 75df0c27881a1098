#include "SystemRegistry.h"

namespace {
class EmptyRegistry : public Registry {
public:
    std::int32_t RegOpenKeyEx(std::uint32_t, const QString&, std::uint32_t, std::uint32_t, Handle*) override
    {
        return reg::FileNotFound;
    }
    std::int32_t RegQueryValueEx(Handle, const QString&, std::uint32_t, std::uint32_t*, char*, std::uint32_t*) override
    {
        return reg::FileNotFound;
    }
    std::int32_t RegCloseKey(Handle) override { return reg::Success; }
};
} // namespace

std::unique_ptr<Registry> makeSystemRegistry()
{
    return std::make_unique<EmptyRegistry>();
}
