#include "host/CommandLine.h"
#include "javatools/JavaToolsText.h"

#include <gtest/gtest.h>

namespace {

TEST(AppletSource, WorkedExampleHasTenLinesAnd126Characters)
{
    const QString source = appletSource(DefaultAppletImports, QStringLiteral("Hello"));
    EXPECT_EQ(source.size(), 126);
    EXPECT_EQ(source,
              "import java.awt.*;\r\n"
              "import java.applet.*;\r\n"
              "\r\n"
              "public class Hello extends Applet\r\n"
              "{\r\n"
              "\tpublic void paint(Graphics g)\r\n"
              "\t{\r\n"
              "\r\n"
              "\t}\r\n"
              "}");
    EXPECT_EQ(source.split(QStringLiteral("\r\n")).size(), 10);
}

TEST(AppletSource, CopiesImportsAndNameUnchecked)
{
    struct Case {
        const char* what;
        QString imports;
        QString name;
        QString firstLines; // the source up to and including the class line
    };
    const Case cases[] = {
        {"empty name", DefaultAppletImports, QString(),
         "import java.awt.*;\r\nimport java.applet.*;\r\n\r\npublic class  extends Applet\r\n"},
        {"emptied imports", QString(), "A", "\r\npublic class A extends Applet\r\n"},
        {"imports without a final line end", DefaultAppletImports + "import java.util.*;", "A",
         "import java.awt.*;\r\nimport java.applet.*;\r\nimport java.util.*;\r\npublic class A extends Applet\r\n"},
        {"name with blanks", QString(), " My Applet ", "\r\npublic class  My Applet  extends Applet\r\n"},
    };
    for (const Case& c : cases) {
        const QString source = appletSource(c.imports, c.name);
        EXPECT_TRUE(source.startsWith(c.firstLines)) << c.what << ": " << source.toStdString();
        EXPECT_EQ(source.size(), c.imports.size() + c.name.size() + 78) << c.what;
        EXPECT_TRUE(source.endsWith("\t}\r\n}")) << c.what;
    }
}

TEST(CompileCommandLine, QuotesOnlyNamesWithBlanksOrQuotes)
{
    struct Case {
        QString fileName;
        TextEncoding encoding;
        QString commandLine;
    };
    const Case cases[] = {
        {"", TextEncoding::Utf8, "javac "},
        {"Untitled", TextEncoding::Utf8, "javac Untitled"},
        {"/home/ann/src/Hello.java", TextEncoding::Utf8, "javac /home/ann/src/Hello.java"},
        {"/home/ann/My Applets/Hello.java", TextEncoding::Utf8, "javac \"/home/ann/My Applets/Hello.java\""},
        {"C:\\My Files\\", TextEncoding::Utf8, "javac \"C:\\My Files\\\\\""},
        {"/tmp/say\"hi\".java", TextEncoding::Utf8, "javac \"/tmp/say\\\"hi\\\".java\""},
        {"/p/A.java", TextEncoding::Windows1252, "javac -encoding windows-1252 /p/A.java"},
        {"/p q/A.java", TextEncoding::Windows1252, "javac -encoding windows-1252 \"/p q/A.java\""},
        {"/p/A.java", TextEncoding::Utf16LE, "javac -encoding UTF-16 /p/A.java"},
        {"/p/A.java", TextEncoding::Utf16BE, "javac -encoding UTF-16 /p/A.java"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(compileCommandLine(c.fileName, c.encoding), c.commandLine) << c.fileName.toStdString();
}

TEST(CompileCommandLine, EveryFileNameReachesJavacAsOneArgument)
{
    const QString names[] = {"/home/ann/My Applets/Hello.java", "C:\\Program Files\\x\\", "a\"b", "\"", "tab\there",
                             "two  blanks", "back\\\\slashes\\\" and quote", "plain.java"};
    for (const QString& name : names) {
        EXPECT_EQ(splitCommandLine(compileCommandLine(name, TextEncoding::Utf8)), QStringList({"javac", name}))
            << name.toStdString();
        EXPECT_EQ(compileArguments(name, TextEncoding::Utf8), QStringList{name}) << name.toStdString();
    }
    EXPECT_EQ(splitCommandLine(compileCommandLine("", TextEncoding::Utf8)), QStringList{"javac"});
}

TEST(JavacDiagnostic, ParsesErrorAndWarningLines)
{
    struct Case {
        QString line;
        std::optional<JavacDiagnostic> expected;
    };
    const Case cases[] = {
        {"Hello.java:4: warning: [removal] Applet in java.applet has been deprecated and marked for removal",
         JavacDiagnostic{"Hello.java", 4, false, "[removal] Applet in java.applet has been deprecated and marked for removal"}},
        {"/tmp/My Applets/Bad.java:3: error: illegal start of expression",
         JavacDiagnostic{"/tmp/My Applets/Bad.java", 3, true, "illegal start of expression"}},
        {"C:\\src\\A.java:12: error: ';' expected\r", JavacDiagnostic{"C:\\src\\A.java", 12, true, "';' expected"}},
        {"A.java:7: error: cannot find symbol: x: 3: error: y", JavacDiagnostic{"A.java", 7, true, "cannot find symbol: x: 3: error: y"}},
        // javac in the user's language (JDK 17: Japanese and Chinese; later ones German too).
        {QString::fromUtf8("U.java:3: \u30a8\u30e9\u30fc: \u30b7\u30f3\u30dc\u30eb"),
         JavacDiagnostic{"U.java", 3, true, QString::fromUtf8("\u30b7\u30f3\u30dc\u30eb")}},
        {QString::fromUtf8("W.java:1: \u8b66\u544a:[rawtypes] raw"), JavacDiagnostic{"W.java", 1, false, "[rawtypes] raw"}},
        {QString::fromUtf8("U.java:3: \u9519\u8bef: x"), JavacDiagnostic{"U.java", 3, true, "x"}},
        {"U.java:3: Fehler: Symbol nicht gefunden", JavacDiagnostic{"U.java", 3, true, "Symbol nicht gefunden"}},
        {"1 error", std::nullopt},
        {"Note: Hello.java uses or overrides a deprecated API.", std::nullopt},
        {"                           ^", std::nullopt},
        {"error: file not found: Untitled", std::nullopt},
        {"warning: [options] bootstrap class path not set", std::nullopt},
        {"A.java:x: error: y", std::nullopt},
        {"A.java:0: error: y", std::nullopt},
        {":3: error: y", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseJavacDiagnostic(c.line), c.expected) << c.line.toStdString();
}

TEST(CompilerHelp, IsOneSentenceAndTheProductNoteOnItsOwnLine)
{
    EXPECT_EQ(compilerHelpText(),
              "To use the compiler option with Tolvane, you must already have a JDK (Perferably from Sun) installed and "
              "functioning on your system. We have only tested with Sun's JDK 1.2, so we recommend you use that.\r\n"
              "Product Note: We are working on a version of Tolvane developed in Java. Keep a look out at Orbelle's Web "
              "Site for more info");
    EXPECT_EQ(CompilerHelpTitle, "Tolvane Compiler Help");
}

} // namespace
