#include "about/SysInfo.h"
#include "support/FakeHost.h"

#include <gtest/gtest.h>

namespace {
class StartSysInfoTest : public ::testing::Test {
protected:
    void setPath(const QString& path) { host.systemLookup->set(SysInfo::PathKey, SysInfo::PathValue, path); }
    void setLocation(const QString& folder) { host.systemLookup->set(SysInfo::LocationKey, SysInfo::LocationValue, folder); }
    QStringList started() const
    {
        QStringList lines;
        for (const auto& call : host.processes->calls) {
            EXPECT_EQ(call.windowStyle, ws::NormalFocus);
            EXPECT_TRUE(call.arguments.isEmpty());
            lines << call.commandLine;
        }
        return lines;
    }
    void expectUnavailableShown()
    {
        ASSERT_EQ(host.messageBox->calls.size(), 1);
        EXPECT_EQ(host.messageBox->calls[0].text, "System Information Is Unavailable At This Time");
        EXPECT_EQ(host.messageBox->calls[0].style, mb::OKOnly);
        EXPECT_EQ(host.messageBox->calls[0].title, "");
    }

    FakeHost host;
};

TEST_F(StartSysInfoTest, TheFirstValueIsStartedWithoutAFileCheck)
{
    setPath(QStringLiteral("/usr/bin/hardinfo"));
    setLocation(QStringLiteral("C:\\Elsewhere"));
    host.fileLookup->files.insert(QStringLiteral("C:\\Elsewhere\\MSINFO32.EXE"));

    SysInfo::StartSysInfo(host.services);

    EXPECT_EQ(started(), QStringList{"/usr/bin/hardinfo"});
    EXPECT_TRUE(host.messageBox->calls.isEmpty());
}

TEST_F(StartSysInfoTest, AFirstValuePointingNowhereEndsInTheMessage)
{
    setPath(QStringLiteral("/nowhere/tool"));
    host.processes->failWith = QStringLiteral("Cannot start /nowhere/tool");

    SysInfo::StartSysInfo(host.services);

    EXPECT_EQ(started(), QStringList{"/nowhere/tool"});
    expectUnavailableShown();
}

TEST_F(StartSysInfoTest, TheSecondValueIsAFolderHoldingTheProgram)
{
    setLocation(QStringLiteral("C:\\Shared\\MSInfo"));
    host.fileLookup->files.insert(QStringLiteral("C:\\Shared\\MSInfo\\MSINFO32.EXE"));

    SysInfo::StartSysInfo(host.services);

    EXPECT_EQ(started(), QStringList{"C:\\Shared\\MSInfo\\MSINFO32.EXE"});
    EXPECT_TRUE(host.messageBox->calls.isEmpty());
}

TEST_F(StartSysInfoTest, NothingToStartEndsInTheMessage)
{
    struct Case {
        const char* what;
        std::optional<QString> path;
        std::optional<QString> folder;
        QString fileThere;
    };
    const Case cases[] = {
        {"neither value present", std::nullopt, std::nullopt, {}},
        {"a folder without the program", std::nullopt, QStringLiteral("C:\\Shared\\MSInfo"), QStringLiteral("C:\\Shared\\MSInfo\\msinfo.exe")},
        {"an empty path", QString(), std::nullopt, {}},
    };
    for (const Case& c : cases) {
        FakeHost fresh;
        if (c.path)
            fresh.systemLookup->set(SysInfo::PathKey, SysInfo::PathValue, *c.path);
        if (c.folder)
            fresh.systemLookup->set(SysInfo::LocationKey, SysInfo::LocationValue, *c.folder);
        if (!c.fileThere.isEmpty())
            fresh.fileLookup->files.insert(c.fileThere);
        SysInfo::StartSysInfo(fresh.services);
        EXPECT_TRUE(fresh.processes->calls.isEmpty()) << c.what;
        ASSERT_EQ(fresh.messageBox->calls.size(), 1) << c.what;
        EXPECT_EQ(fresh.messageBox->calls[0].text, "System Information Is Unavailable At This Time") << c.what;
    }
}

TEST_F(StartSysInfoTest, AFailingLookupEndsInTheMessage)
{
    setLocation(QStringLiteral("C:\\Shared"));
    host.fileLookup->files.insert(QStringLiteral("C:\\Shared\\MSINFO32.EXE"));
    host.systemLookup->failWith = QStringLiteral("records unreadable");

    SysInfo::StartSysInfo(host.services);

    // The error ends the launcher: the second location is not tried.
    EXPECT_EQ(host.systemLookup->lookups, 1);
    EXPECT_TRUE(started().isEmpty());
    expectUnavailableShown();
}

TEST_F(StartSysInfoTest, APathWithBlanksStaysOneProgram)
{
    setPath(QStringLiteral("/opt/System Info/bin/tool"));
    SysInfo::StartSysInfo(host.services);
    EXPECT_EQ(started(), QStringList{"\"/opt/System Info/bin/tool\""});
    ASSERT_EQ(host.processes->calls.size(), 1);
    EXPECT_EQ(host.processes->calls[0].program, "/opt/System Info/bin/tool");
}

TEST_F(StartSysInfoTest, EveryPressLooksAgain)
{
    SysInfo::StartSysInfo(host.services);
    setPath(QStringLiteral("/usr/bin/hardinfo"));
    SysInfo::StartSysInfo(host.services);
    EXPECT_EQ(started(), QStringList{"/usr/bin/hardinfo"});
    EXPECT_EQ(host.messageBox->calls.size(), 1);
}
} // namespace
