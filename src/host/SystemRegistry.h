#pragma once

#include "MemoryRegistry.h"

#include <QStringList>

#include <functional>
#include <memory>

// This platform has no registry of its own, so the program keeps a small hive in memory holding what it
// looks up: where the system-information tool lives. The tool is the first program of a short list found
// on the search path; it is looked for again each time the key is opened, so a tool installed while the
// program runs is found too.
class SystemRegistry : public MemoryRegistry {
public:
    // findProgram returns the full path of a program on the search path, or an empty text.
    explicit SystemRegistry(std::function<QString(const QString&)> findProgram = {});

    // The programs tried, best first.
    static QStringList systemInfoPrograms();
    // Where the tool is recorded.
    static const QString SysInfoKey;
    static const QString SysInfoValue;

    std::int32_t RegOpenKeyEx(std::uint32_t root, const QString& subKey, std::uint32_t options,
                              std::uint32_t accessMask, Handle* result) override;

private:
    void refreshSysInfo();

    std::function<QString(const QString&)> findProgram_;
};

// The registry this platform offers the program.
std::unique_ptr<Registry> makeSystemRegistry();
