#include "about/SysInfo.h"
#include "host/MemoryRegistry.h"
#include "support/FakeHost.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {
constexpr std::uint32_t HKLM = reg::HKEY_LOCAL_MACHINE;
const QString Key = QStringLiteral("SOFTWARE\\Tolvane\\Values");

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// The buffer as a query leaves it: the data, then NULs up to 1024.
QByteArray filled(const QByteArray& data)
{
    QByteArray buffer = data;
    buffer.append(QByteArray(SysInfo::ValueBufferSize - data.size(), '\0'));
    return buffer;
}

TEST(DecodeRegistryValue, CutsTheTerminatorAndFormatsByType)
{
    struct Case {
        const char* what;
        std::uint32_t type;
        QByteArray data;
        std::uint32_t size;
        QString keyValIn;
        QString expected;
    };
    const Case cases[] = {
        {"text with its NUL", reg::REG_SZ, QByteArray("C:\\Tools", 9), 9, {}, QStringLiteral("C:\\Tools")},
        {"text without a NUL", reg::REG_SZ, QByteArray("C:\\Tools"), 8, {}, QStringLiteral("C:\\Tools")},
        {"text replaces what was there", reg::REG_SZ, QByteArray("new", 4), 4, QStringLiteral("old"), QStringLiteral("new")},
        {"empty text", reg::REG_SZ, QByteArray(1, '\0'), 1, QStringLiteral("old"), QString()},
        {"text with a NUL inside", reg::REG_SZ, QByteArray("a\0b", 3), 3, {}, QString::fromLatin1("a\0b", 3)},
        {"number with a zero high byte", reg::REG_DWORD, bytes({0x0A, 0x02, 0x01, 0x00}), 4, {}, QStringLiteral("&h01020A")},
        {"number with all four bytes", reg::REG_DWORD, bytes({0xEF, 0xBE, 0xAD, 0xDE}), 4, {}, QStringLiteral("&hDEADBEEF")},
        {"zero", reg::REG_DWORD, bytes({0, 0, 0, 0}), 4, {}, QStringLiteral("&h000000")},
        {"digits follow what KeyVal held", reg::REG_DWORD, bytes({0x0A, 0x02, 0x01, 0x00}), 4, QStringLiteral("x"),
         QStringLiteral("&hx01020A")},
        {"binary leaves KeyVal", reg::REG_BINARY, bytes({1, 2, 3}), 3, QStringLiteral("kept"), QStringLiteral("kept")},
        {"expandable text leaves KeyVal", reg::REG_EXPAND_SZ, QByteArray("%PATH%", 7), 7, {}, QString()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SysInfo::decodeRegistryValue(c.type, filled(c.data), c.size, c.keyValIn), c.expected) << c.what;
    }
}

TEST(DecodeRegistryValue, TextBeyondTheReportedSizeIsIgnored)
{
    EXPECT_EQ(SysInfo::decodeRegistryValue(reg::REG_SZ, filled("abcdef"), 3, {}), QStringLiteral("abc"));
    EXPECT_EQ(SysInfo::decodeRegistryValue(reg::REG_SZ, QByteArray(1024, 'z'), 1024, {}), QString(1024, u'z'));
}

TEST(DecodeRegistryValue, SizeZeroIsAnError)
{
    for (std::uint32_t type : {reg::REG_SZ, reg::REG_DWORD, reg::REG_BINARY})
        EXPECT_THROW(SysInfo::decodeRegistryValue(type, filled({}), 0, {}), std::invalid_argument) << type;
}

class GetKeyValueTest : public ::testing::Test {
protected:
    MemoryRegistry hive;
    QString KeyVal = QStringLiteral("stale");

    bool read(const QString& name) { return SysInfo::GetKeyValue(hive, HKLM, Key, name, KeyVal); }
};

TEST_F(GetKeyValueTest, ReadsTextAndNumbersAndClosesTheKey)
{
    hive.setText(HKLM, Key, QStringLiteral("Text"), QStringLiteral("/opt/tool"));
    hive.setDword(HKLM, Key, QStringLiteral("Number"), 0x0001020A);

    EXPECT_TRUE(read(QStringLiteral("Text")));
    EXPECT_EQ(KeyVal, "/opt/tool");
    KeyVal.clear();
    EXPECT_TRUE(read(QStringLiteral("Number")));
    EXPECT_EQ(KeyVal, "&h01020A");
    EXPECT_EQ(hive.openHandleCount(), 0);
}

TEST_F(GetKeyValueTest, AValueOfAnotherTypeLeavesKeyValAsItWas)
{
    hive.setValue(HKLM, Key, QStringLiteral("Binary"), reg::REG_BINARY, "\x01\x02");
    EXPECT_TRUE(read(QStringLiteral("Binary")));
    EXPECT_EQ(KeyVal, "stale");
}

TEST_F(GetKeyValueTest, FailuresEmptyKeyVal)
{
    hive.setValue(HKLM, Key, QStringLiteral("Huge"), reg::REG_SZ, QByteArray(1025, 'a'));
    hive.setValue(HKLM, Key, QStringLiteral("Fits"), reg::REG_SZ, QByteArray(1024, 'a'));

    EXPECT_FALSE(read(QStringLiteral("Missing")));
    EXPECT_EQ(KeyVal, "");

    KeyVal = QStringLiteral("stale");
    EXPECT_FALSE(read(QStringLiteral("Huge")));
    EXPECT_EQ(KeyVal, "");

    KeyVal = QStringLiteral("stale");
    EXPECT_FALSE(SysInfo::GetKeyValue(hive, HKLM, QStringLiteral("SOFTWARE\\Nowhere"), QStringLiteral("x"), KeyVal));
    EXPECT_EQ(KeyVal, "");

    EXPECT_TRUE(read(QStringLiteral("Fits")));
    EXPECT_EQ(KeyVal.size(), 1024);
    EXPECT_EQ(hive.openHandleCount(), 0);
}

TEST_F(GetKeyValueTest, OpensWithTheFullAccessMask)
{
    hive.setText(HKLM, Key, QStringLiteral("Text"), QStringLiteral("x"));
    hive.restrictAccess(HKLM, Key, SysInfo::KeyAccess);
    EXPECT_TRUE(read(QStringLiteral("Text")));

    // Read rights alone are not enough: the key is opened asking for more.
    hive.restrictAccess(HKLM, Key, reg::KEY_READ);
    EXPECT_FALSE(read(QStringLiteral("Text")));
    EXPECT_EQ(KeyVal, "");
}

TEST_F(GetKeyValueTest, AnEmptyValueThrowsButStillClosesTheKey)
{
    hive.setValue(HKLM, Key, QStringLiteral("Empty"), reg::REG_SZ, QByteArray());
    EXPECT_THROW(read(QStringLiteral("Empty")), std::invalid_argument);
    EXPECT_EQ(hive.openHandleCount(), 0);
}

class StartSysInfoTest : public ::testing::Test {
protected:
    StartSysInfoTest()
    {
        auto owned = std::make_unique<MemoryRegistry>();
        hive = owned.get();
        host.services.registry = std::move(owned);
    }

    void setPath(const QString& path) { hive->setText(HKLM, SysInfo::PathKey, SysInfo::PathValue, path); }
    void setLocation(const QString& folder)
    {
        hive->setText(HKLM, SysInfo::LocationKey, SysInfo::LocationValue, folder);
    }
    QStringList started() const
    {
        QStringList lines;
        for (const auto& call : host.processes->calls) {
            EXPECT_EQ(call.windowStyle, ws::NormalFocus);
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
    MemoryRegistry* hive = nullptr;
};

TEST_F(StartSysInfoTest, TheFirstValueIsStartedWithoutAFileCheck)
{
    setPath(QStringLiteral("/usr/bin/hardinfo"));
    setLocation(QStringLiteral("C:\\Elsewhere"));
    host.fileLookup->files.insert(QStringLiteral("C:\\Elsewhere\\MSINFO32.EXE"));

    SysInfo::StartSysInfo(host.services);

    EXPECT_EQ(started(), QStringList{"/usr/bin/hardinfo"});
    EXPECT_TRUE(host.messageBox->calls.isEmpty());
    EXPECT_EQ(hive->openHandleCount(), 0);
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

TEST_F(StartSysInfoTest, ASecondFolderWithoutTheProgramStartsNothing)
{
    setLocation(QStringLiteral("C:\\Shared\\MSInfo"));
    host.fileLookup->files.insert(QStringLiteral("C:\\Shared\\MSInfo\\msinfo.exe"));

    SysInfo::StartSysInfo(host.services);

    EXPECT_TRUE(started().isEmpty());
    expectUnavailableShown();
}

TEST_F(StartSysInfoTest, NeitherValuePresent)
{
    hive->createKey(HKLM, SysInfo::PathKey);
    SysInfo::StartSysInfo(host.services);
    EXPECT_TRUE(started().isEmpty());
    expectUnavailableShown();
}

TEST_F(StartSysInfoTest, KeysThatDoNotOpenWithTheRightsAsked)
{
    setPath(QStringLiteral("/usr/bin/hardinfo"));
    setLocation(QStringLiteral("C:\\Shared"));
    host.fileLookup->files.insert(QStringLiteral("C:\\Shared\\MSINFO32.EXE"));
    hive->restrictAccess(HKLM, SysInfo::PathKey, reg::KEY_READ);
    hive->restrictAccess(HKLM, SysInfo::LocationKey, reg::KEY_READ);

    SysInfo::StartSysInfo(host.services);

    EXPECT_TRUE(started().isEmpty());
    expectUnavailableShown();
}

TEST_F(StartSysInfoTest, AFirstValueOfAnotherTypeLeavesNothingToStart)
{
    hive->setValue(HKLM, SysInfo::PathKey, SysInfo::PathValue, reg::REG_BINARY, "/usr/bin/x");
    SysInfo::StartSysInfo(host.services);
    EXPECT_TRUE(started().isEmpty());
    expectUnavailableShown();
}

TEST_F(StartSysInfoTest, AnErrorInsideTheReaderEndsInTheMessage)
{
    hive->setValue(HKLM, SysInfo::PathKey, SysInfo::PathValue, reg::REG_SZ, QByteArray());
    setLocation(QStringLiteral("C:\\Shared"));
    host.fileLookup->files.insert(QStringLiteral("C:\\Shared\\MSINFO32.EXE"));

    SysInfo::StartSysInfo(host.services);

    // The error ends the launcher: the second location is not tried.
    EXPECT_TRUE(started().isEmpty());
    expectUnavailableShown();
    EXPECT_EQ(hive->openHandleCount(), 0);
}

TEST_F(StartSysInfoTest, APathWithBlanksIsQuotedSoItStaysOneProgram)
{
    setPath(QStringLiteral("/opt/System Info/bin/tool"));
    SysInfo::StartSysInfo(host.services);
    EXPECT_EQ(started(), QStringList{"\"/opt/System Info/bin/tool\""});
}

TEST_F(StartSysInfoTest, EveryPressReadsTheRegistryAgain)
{
    SysInfo::StartSysInfo(host.services);
    setPath(QStringLiteral("/usr/bin/hardinfo"));
    SysInfo::StartSysInfo(host.services);
    EXPECT_EQ(started(), QStringList{"/usr/bin/hardinfo"});
    EXPECT_EQ(host.messageBox->calls.size(), 1);
}
} // namespace
