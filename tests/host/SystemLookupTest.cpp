#include "host/SystemLookup.h"

#include <gtest/gtest.h>

namespace {
TEST(PathSystemLookup, AnswersWithTheFirstToolFoundOnThePathAtEachLookup)
{
    QStringList installed;
    PathSystemLookup lookup([&](const QString& name) {
        return installed.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
    });
    const QStringList programs = PathSystemLookup::systemInfoPrograms();
    ASSERT_GE(programs.size(), 2);
    const auto tool = [&] { return lookup.value(SystemLookup::SysInfoKey, SystemLookup::SysInfoValue); };

    EXPECT_EQ(tool(), std::nullopt);
    installed = {programs.last(), programs.first()};
    EXPECT_EQ(tool(), QStringLiteral("/usr/bin/") + programs.first());
    installed = {programs.last()};
    EXPECT_EQ(tool(), QStringLiteral("/usr/bin/") + programs.last());
    // Key and value names are not case-sensitive; other records do not exist here.
    EXPECT_EQ(lookup.value(SystemLookup::SysInfoKey.toLower(), QStringLiteral("path")), QStringLiteral("/usr/bin/") + programs.last());
    EXPECT_EQ(lookup.value(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"), QStringLiteral("MSINFO")), std::nullopt);
    installed.clear();
    EXPECT_EQ(tool(), std::nullopt);
}
} // namespace
