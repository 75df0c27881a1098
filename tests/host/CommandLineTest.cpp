#include "host/CommandLine.h"

#include <gtest/gtest.h>

namespace {
TEST(SplitCommandLine, FollowsWindowsRules)
{
    struct Case {
        QString line;
        QStringList arguments;
    };
    const Case cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"javac a b", {"javac", "a", "b"}},
        {"  a\t b  ", {"a", "b"}},
        {"\"a b\" c", {"a b", "c"}},
        {"a\"b c\"d", {"ab cd"}},
        {"\"\"", {""}},
        {"a \"\" b", {"a", "", "b"}},
        {"\\\\server\\share\\x", {"\\\\server\\share\\x"}},
        {"a\\\"b", {"a\"b"}},
        {"\"a\\\\\" b", {"a\\", "b"}},
        {"a\\\\\\\"b", {"a\\\"b"}},
        {"\"a\"\"b\" c", {"a\"b", "c"}},
        {"\"unterminated arg", {"unterminated arg"}},
        {"C:\\Program Files\\x.exe", {"C:\\Program", "Files\\x.exe"}},
        {"trailing\\", {"trailing\\"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitCommandLine(c.line), c.arguments) << c.line.toStdString();
}

TEST(DisplayCommandLine, ReadsBackAsTheProgramAndItsArguments)
{
    const QStringList arguments[] = {{}, {"-cp", "/home/ann/My Applets", "Hello"}, {"a\"b", "tab\there", "C:\\x\\"}};
    for (const QStringList& list : arguments)
        EXPECT_EQ(splitCommandLine(displayCommandLine("/opt/a b/java", list)), QStringList{"/opt/a b/java"} + list);
    EXPECT_EQ(displayCommandLine("java", {"-cp", "/p q", "Main"}), "java -cp \"/p q\" Main");
}
} // namespace
