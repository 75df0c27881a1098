#include "host/MemoryRegistry.h"
#include "host/SystemRegistry.h"
#include "support/RegFile.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {
const QString ToolKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString ValuesKey = QStringLiteral("SOFTWARE\\Tolvane\\Values");
constexpr std::uint32_t HKLM = reg::HKEY_LOCAL_MACHINE;

QByteArray readData(const char* name)
{
    QFile file(QStringLiteral(TOLVANE_ABOUT_TEST_DATA "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(std::string("missing test data ") + name);
    return file.readAll();
}

// Opens and queries in one go, the way a reader would; closes the key again.
struct QueryResult {
    std::int32_t open = -1;
    std::int32_t query = -1;
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    QByteArray data;
};

QueryResult query(Registry& registry, std::uint32_t root, const QString& key, const QString& name,
                  std::uint32_t bufferSize = 64, std::uint32_t access = reg::KEY_READ)
{
    QueryResult r;
    Registry::Handle handle = 0;
    r.open = registry.RegOpenKeyEx(root, key, 0, access, &handle);
    if (r.open != reg::Success)
        return r;
    QByteArray buffer(bufferSize, '\0');
    r.size = bufferSize;
    r.query = registry.RegQueryValueEx(handle, name, 0, &r.type, buffer.data(), &r.size);
    if (r.query == reg::Success)
        r.data = buffer.left(r.size);
    registry.RegCloseKey(handle);
    return r;
}

TEST(MemoryRegistry, KeysAreCaseInsensitiveAndTheirAncestorsExist)
{
    MemoryRegistry hive;
    hive.setText(HKLM, ToolKey, QStringLiteral("PATH"), QStringLiteral("/usr/bin/tool"));

    EXPECT_EQ(query(hive, HKLM, QStringLiteral("software\\MICROSOFT\\shared tools\\msinfo"), QStringLiteral("path")).data,
              QByteArray("/usr/bin/tool", 14));
    for (const char* key : {"SOFTWARE", "SOFTWARE\\Microsoft", "SOFTWARE\\Microsoft\\Shared Tools", ""}) {
        Registry::Handle handle = 0;
        EXPECT_EQ(hive.RegOpenKeyEx(HKLM, QString::fromLatin1(key), 0, reg::KEY_READ, &handle), reg::Success) << key;
        EXPECT_EQ(hive.RegCloseKey(handle), reg::Success);
    }
    Registry::Handle handle = 0;
    EXPECT_EQ(hive.RegOpenKeyEx(HKLM, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"), 0, reg::KEY_READ,
                                &handle),
              reg::FileNotFound);
    EXPECT_EQ(hive.RegOpenKeyEx(reg::HKEY_CURRENT_USER, ToolKey, 0, reg::KEY_READ, &handle), reg::FileNotFound);
    EXPECT_EQ(hive.RegOpenKeyEx(0x1234, ToolKey, 0, reg::KEY_READ, &handle), reg::InvalidHandle);
    EXPECT_EQ(hive.openHandleCount(), 0);
}

TEST(MemoryRegistry, AnOpenKeyServesAsRootForItsSubkeys)
{
    MemoryRegistry hive;
    hive.setDword(HKLM, QStringLiteral("A\\B\\C"), QStringLiteral("n"), 7);
    Registry::Handle a = 0;
    Registry::Handle c = 0;
    ASSERT_EQ(hive.RegOpenKeyEx(HKLM, QStringLiteral("A"), 0, reg::KEY_READ, &a), reg::Success);
    ASSERT_EQ(hive.RegOpenKeyEx(static_cast<std::uint32_t>(a), QStringLiteral("B\\C"), 0, reg::KEY_READ, &c),
              reg::Success);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(hive.RegQueryValueEx(c, QStringLiteral("N"), 0, &type, nullptr, &size), reg::Success);
    EXPECT_EQ(type, reg::REG_DWORD);
    EXPECT_EQ(size, 4u);
    hive.RegCloseKey(c);
    hive.RegCloseKey(a);
}

TEST(MemoryRegistry, QueryReportsTheSizeNeededWhenTheBufferIsTooSmall)
{
    MemoryRegistry hive;
    hive.setValue(HKLM, ValuesKey, QStringLiteral("v"), reg::REG_BINARY, QByteArray(10, 'x'));

    const QueryResult fits = query(hive, HKLM, ValuesKey, QStringLiteral("v"), 10);
    EXPECT_EQ(fits.query, reg::Success);
    EXPECT_EQ(fits.size, 10u);
    EXPECT_EQ(fits.type, reg::REG_BINARY);

    const QueryResult tooSmall = query(hive, HKLM, ValuesKey, QStringLiteral("v"), 9);
    EXPECT_EQ(tooSmall.query, reg::MoreData);
    EXPECT_EQ(tooSmall.size, 10u);

    EXPECT_EQ(query(hive, HKLM, ValuesKey, QStringLiteral("missing")).query, reg::FileNotFound);
}

TEST(MemoryRegistry, HandlesAreCheckedAndClosedOnce)
{
    MemoryRegistry hive;
    hive.createKey(HKLM, ValuesKey);
    Registry::Handle handle = 0;
    ASSERT_EQ(hive.RegOpenKeyEx(HKLM, ValuesKey, 0, reg::KEY_READ, &handle), reg::Success);
    EXPECT_EQ(hive.openHandleCount(), 1);
    EXPECT_EQ(hive.RegCloseKey(handle), reg::Success);
    EXPECT_EQ(hive.RegCloseKey(handle), reg::InvalidHandle);
    std::uint32_t size = 4;
    char buffer[4] = {};
    EXPECT_EQ(hive.RegQueryValueEx(handle, QString(), 0, nullptr, buffer, &size), reg::InvalidHandle);
    EXPECT_EQ(hive.openHandleCount(), 0);
}

TEST(MemoryRegistry, RestrictedKeysRefuseRightsBeyondTheAllowedOnes)
{
    MemoryRegistry hive;
    hive.setText(HKLM, ToolKey, QStringLiteral("PATH"), QStringLiteral("x"));
    hive.restrictAccess(HKLM, ToolKey, reg::KEY_READ);
    EXPECT_EQ(query(hive, HKLM, ToolKey, QStringLiteral("PATH"), 64, reg::KEY_READ).open, reg::Success);
    EXPECT_EQ(query(hive, HKLM, ToolKey, QStringLiteral("PATH"), 64, 0x2003F).open, reg::AccessDenied);
}

TEST(RegFile, LoadsTextNumbersBinaryAndContinuedLines)
{
    MemoryRegistry hive;
    loadRegFile(hive, readData("tools.reg"));

    const auto valueData = [&](const char* name) {
        const MemoryRegistry::Value* v = hive.value(HKLM, ValuesKey, QString::fromUtf8(name));
        return v ? std::make_pair(v->type, v->data) : std::make_pair(0xFFFFu, QByteArray("<missing>"));
    };
    using P = std::pair<std::uint32_t, QByteArray>;
    EXPECT_EQ(valueData(""), P(reg::REG_SZ, QByteArray("the default", 12)));
    EXPECT_EQ(valueData("Terminated"), P(reg::REG_SZ, QByteArray("abc", 4)));
    EXPECT_EQ(valueData("Unterminated"), P(reg::REG_SZ, QByteArray("abc")));
    EXPECT_EQ(valueData("Number"), P(reg::REG_DWORD, QByteArray("\x0a\x02\x01\x00", 4)));
    EXPECT_EQ(valueData("Binary"), P(reg::REG_BINARY, QByteArray("\x0a\x02\x01\x00", 4)));
    EXPECT_EQ(valueData("Expand"), P(reg::REG_EXPAND_SZ, QByteArray("%PATH%", 7)));
    EXPECT_EQ(valueData("Quoted \"name\""), P(reg::REG_SZ, QByteArray("say \"hi\" to C:\\", 16)));
    EXPECT_EQ(valueData("Empty"), P(reg::REG_BINARY, QByteArray()));
    EXPECT_EQ(hive.value(HKLM, ValuesKey, QStringLiteral("Gone")), nullptr);

    EXPECT_EQ(query(hive, HKLM, ToolKey, QStringLiteral("PATH"), 1024).data,
              QByteArray("C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe"
                         "\0", 67));
    EXPECT_TRUE(hive.hasKey(HKLM, QStringLiteral("SOFTWARE\\Tolvane")));
    EXPECT_FALSE(hive.hasKey(HKLM, QStringLiteral("SOFTWARE\\Tolvane\\Doomed")));
    EXPECT_FALSE(hive.hasKey(HKLM, QStringLiteral("SOFTWARE\\Tolvane\\Doomed\\Child")));
}

TEST(RegFile, ReadsUtf16AndEightBitExports)
{
    MemoryRegistry hive;
    loadRegFile(hive, readData("unicode.reg"));
    loadRegFile(hive, readData("regedit4.reg"));

    const QByteArray ete = QStringLiteral(u"\u00e9t\u00e9").toLocal8Bit();
    const auto data = [&](std::uint32_t root, const char* key, const char* name) {
        const MemoryRegistry::Value* v = hive.value(root, QString::fromLatin1(key), QString::fromLatin1(name));
        return v ? v->data : QByteArray("<missing>");
    };
    EXPECT_EQ(data(reg::HKEY_CURRENT_USER, "Software\\Wide", "Text"), ete + QByteArray(1, '\0'));
    EXPECT_EQ(data(reg::HKEY_CURRENT_USER, "Software\\Wide", "Hex"), QStringLiteral(u"\u00e9").toLocal8Bit() + QByteArray(1, '\0'));
    // An 8-bit export keeps its hex text bytes as they are.
    EXPECT_EQ(data(HKLM, "SOFTWARE\\Old", "Text"), QByteArray("ab"));
    EXPECT_EQ(data(HKLM, "SOFTWARE\\Old", "Name"), ete + QByteArray(1, '\0'));
}

TEST(RegFile, MalformedTextNamesTheLine)
{
    const QString header = QStringLiteral("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\K]\n");
    struct Case {
        QString text;
        int line;
    };
    const Case cases[] = {
        {QStringLiteral("REGEDIT5\n"), 1},
        {QStringLiteral(""), 1},
        {QStringLiteral("REGEDIT4\n\"a\"=\"b\"\n"), 2},
        {header + QStringLiteral("\"a\"=dword:123456789\n"), 4},
        {header + QStringLiteral("\"a\"=dword:xyz\n"), 4},
        {header + QStringLiteral("\"a\"=hex:0a,1g\n"), 4},
        {header + QStringLiteral("\"a\"=hex:0a,100\n"), 4},
        {header + QStringLiteral("\"a\"=hex(zz):00\n"), 4},
        {header + QStringLiteral("\"a\"=\"unterminated\n"), 4},
        {header + QStringLiteral("\"a\"=\"b\" trailing\n"), 4},
        {header + QStringLiteral("a=\"b\"\n"), 4},
        {header + QStringLiteral("\"a\" \"b\"\n"), 4},
        {header + QStringLiteral("\"a\"=qword:1\n"), 4},
        {header + QStringLiteral("[HKEY_NOWHERE\\K]\n"), 4},
        {header + QStringLiteral("[HKEY_LOCAL_MACHINE\\K\n"), 4},
    };
    for (const Case& c : cases) {
        MemoryRegistry hive;
        try {
            loadRegText(hive, c.text);
            ADD_FAILURE() << "accepted: " << c.text.toStdString();
        } catch (const RegParseError& e) {
            EXPECT_EQ(e.line(), c.line) << c.text.toStdString() << " -> " << e.what();
        }
    }
}

TEST(SystemRegistry, RecordsTheFirstToolFoundOnThePathEachTimeTheKeyIsOpened)
{
    QStringList installed;
    SystemRegistry hive([&](const QString& name) {
        return installed.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
    });
    const QStringList programs = SystemRegistry::systemInfoPrograms();
    ASSERT_GE(programs.size(), 2);

    EXPECT_NE(query(hive, HKLM, ToolKey, QStringLiteral("PATH")).query, reg::Success);

    installed = {programs.last(), programs.first()};
    EXPECT_EQ(query(hive, HKLM, ToolKey, QStringLiteral("PATH")).data,
              (QStringLiteral("/usr/bin/") + programs.first()).toLocal8Bit() + QByteArray(1, '\0'));

    installed = {programs.last()};
    EXPECT_EQ(query(hive, HKLM, ToolKey, QStringLiteral("PATH")).data,
              (QStringLiteral("/usr/bin/") + programs.last()).toLocal8Bit() + QByteArray(1, '\0'));

    installed.clear();
    EXPECT_EQ(query(hive, HKLM, ToolKey, QStringLiteral("PATH")).query, reg::FileNotFound);
}
} // namespace
