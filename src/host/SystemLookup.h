#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// The few facts about the system that the program looks up by key and value name, read only.
class SystemLookup {
public:
    virtual ~SystemLookup() = default;
    // The text stored as valueName under key, or nothing when there is none. Throws HostError when
    // the lookup itself fails.
    virtual std::optional<QString> value(const QString& key, const QString& valueName) = 0;

    // Where the system-information tool is recorded.
    static const QString SysInfoKey;
    static const QString SysInfoValue;
};

// This platform keeps no such records, so the one the program asks for is answered from the search
// path: the system-information tool is the first program of a short list found there, looked for
// again at every lookup so that a tool installed while the program runs is found too.
class PathSystemLookup : public SystemLookup {
public:
    // findProgram returns the full path of a program on the search path, or an empty text.
    explicit PathSystemLookup(std::function<QString(const QString&)> findProgram = {});

    // The programs tried, best first.
    static QStringList systemInfoPrograms();

    std::optional<QString> value(const QString& key, const QString& valueName) override;

private:
    std::function<QString(const QString&)> findProgram_;
};
