#include "host/ProcessStarter.h"
#include "javatools/JavaSource.h"
#include "javatools/RunProgram.h"

#include <gtest/gtest.h>

namespace {
TEST(JavaSource, FindsThePackageAndTheClassToRun)
{
    struct Case {
        const char* source;
        QString package;
        QString mainClass;
        QString firstClass;
        bool isApplet;
    };
    const Case cases[] = {
        {"package calc;\nimport java.util.*;\npublic class Sum {\n\tpublic static void main(String[] args) {}\n}\n",
         "calc", "Sum", "Sum", false},
        {"/* package old; */ // class Fake\n@Deprecated package a . b ;\nclass A { static public void main(String... x) {} }",
         "a.b", "A", "A", false},
        // The public class wins over an earlier one; a main in a nested class or a string is no main.
        {"class Helper { static void main(String args[]) {} }\npublic class Main { public static void main(final String[] a) {} }",
         "", "Main", "Main", false},
        {"public class Outer { static class In { public static void main(String[] a) {} }\n"
         "  String s = \"public static void main(String[] a) {}\"; char c = '}'; }",
         "", "", "Outer", false},
        {"import java.awt.*;\r\nimport java.applet.*;\r\n\r\npublic class Hello extends Applet\r\n{\r\n\tpublic void paint(Graphics g)\r\n\t{\r\n\r\n\t}\r\n}",
         "", "", "Hello", true},
        {"class NoStatic { public void main(String[] a) {} } enum E { X; public static void main(String[] a) {} }",
         "", "E", "NoStatic", false},
        {"String s = \"\"\"\n  class Fake { }\n  \"\"\";", "", "", "", false},
        {"", "", "", "", false},
    };
    for (const Case& c : cases) {
        const JavaProgramInfo info = describeJavaProgram(QString::fromUtf8(c.source));
        EXPECT_EQ(info.packageName, c.package) << c.source;
        EXPECT_EQ(info.mainClass, c.mainClass) << c.source;
        EXPECT_EQ(info.firstClass, c.firstClass) << c.source;
        EXPECT_EQ(info.isApplet, c.isApplet) << c.source;
    }
    EXPECT_EQ(describeJavaProgram(QString::fromUtf8(cases[0].source)).qualifiedMainClass(), "calc.Sum");
    EXPECT_EQ(describeJavaProgram(QString::fromUtf8(cases[2].source)).qualifiedMainClass(), "Main");
}

TEST(JavaSource, SourceRootFollowsThePackagesFolders)
{
    EXPECT_EQ(javaSourceRoot("/home/ann/src/a/b", "a.b"), "/home/ann/src");
    EXPECT_EQ(javaSourceRoot("/home/ann/src", ""), "/home/ann/src");
    EXPECT_EQ(javaSourceRoot("/a", "a"), "/");
    EXPECT_EQ(javaSourceRoot("/home/ann/xa/b", "a.b"), "");
    EXPECT_EQ(javaSourceRoot("/home/ann/src", "a.b"), "");
}

TEST(JavaSource, OneSourceRootRuleFromThePackageLineAndTheFolder)
{
    const struct {
        const char* path;
        const char* source;
        const char* root;
        const char* package;
        bool misplaced;
    } cases[] = {
        {"/w/src/main/java/com/x/util/Sort.java", "package com.x.util;\nclass Sort {}", "/w/src/main/java", "com.x.util", false},
        {"/w/Main.java", "public class Main {}", "/w", "", false},
        {"/w/a/b/C.java", "/* package x.y; */ // package z;\n@Deprecated package a . b ;", "/w", "a.b", false},
        {"/a/A.java", "package a;", "/", "a", false},
        {"/w/xa/b/C.java", "package a.b;", "/w/xa/b", "a.b", true},
        {"/w/Sum.java", "package calc;\nclass Sum {}", "/w", "calc", true},
        // A package line after a type is no package line: javac would say so itself.
        {"/w/a/C.java", "class C {}\npackage a;", "/w/a", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const QString source = QString::fromUtf8(c.source);
        const JavaSourceRootInfo info = javaSourceRootOf(QString::fromUtf8(c.path), source);
        EXPECT_EQ(info.root, c.root);
        EXPECT_EQ(info.packageName, c.package);
        EXPECT_EQ(info.misplaced, c.misplaced);
        if (!info.packageName.isEmpty()) {
            EXPECT_EQ(source.mid(info.packageStart, info.packageEnd - info.packageStart).remove(u' '), c.package);
        }
    }
    EXPECT_EQ(misplacedPackageText("Sum.java", "calc.ops", "/w"),
              "Sum.java declares the package calc.ops, so it belongs in a folder calc/ops under the program's source "
              "folder; it is in /w.");
}

TEST(JavaSource, CaretLineGivesTheColumnAsJavacCountsIt)
{
    struct Case {
        QString source;
        QString caret;
        int column;
    };
    const Case cases[] = {
        {"        int x = y;", "                ^", 16},
        // javac 17 copies the source's tabs into the caret line.
        {"\t\tint x = 1; \tint z = q;", "\t\t           \t        ^", 22},
        // Older compilers expand tabs to multiples of 8.
        {"\t\tint x = y;", "                        ^", 10},
        {"\tab\tc", "                ^", 4},
        {"int x = 1", "         ^", 9}, // just past the end, where ";" is missing
        {"int x", "              ^", 5},
        {"x", "  symbol:   variable y", -1},
        {"x", "^ ^", -1},
        {"x", "", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(javacCaretColumn(c.source, c.caret), c.column) << c.source.toStdString() << " / " << c.caret.toStdString();

    EXPECT_EQ(javaTokenLength(u"int total2 = y;", 4), 6);
    EXPECT_EQ(javaTokenLength(u"a = $b_c;", 4), 4);
    EXPECT_EQ(javaTokenLength(u"a += 1;", 2), 1);
    EXPECT_EQ(javaTokenLength(u"a;", 2), 0);

    // {column, length} underlined for a diagnostic at a column.
    EXPECT_EQ(javaSquiggleAt(u"int total2 = y;", 4), std::make_pair(4, 6));
    EXPECT_EQ(javaSquiggleAt(u"int x = 1", 9), std::make_pair(8, 1)); // a missing ";"
    EXPECT_EQ(javaSquiggleAt(u"", 0), std::make_pair(0, 0));
    EXPECT_EQ(javaSquiggleAt(u"a;", 5), std::make_pair(5, 0)); // the text is shorter than the file was
    EXPECT_EQ(javaSquiggleAt(u"a;", -1), std::make_pair(0, 0));
}

TEST(JavaSource, ANoMainMessageSaysWhatRunNeedsAndWhyAppletsCannotRun)
{
    JavaProgramInfo applet;
    applet.firstClass = "Hello";
    applet.isApplet = true;
    const QString text = noMainText(applet);
    EXPECT_TRUE(text.contains("public static void main(String[] args)"));
    EXPECT_TRUE(text.contains("Hello has none"));
    EXPECT_TRUE(text.contains("JDK 11 and later")) << text.toStdString();
    EXPECT_FALSE(noMainText(JavaProgramInfo{}).contains("applet"));
}

TEST(ConsoleLocale, AUtf8CharacterTypeIsAddedOnlyWhereMissing)
{
    using Overrides = QList<std::pair<QString, QString>>;
    const Overrides ctype = {{"LC_CTYPE", "C.UTF-8"}};
    EXPECT_EQ(utf8LocaleOverrides("", "", ""), ctype);
    EXPECT_EQ(utf8LocaleOverrides("", "", "C"), ctype);
    EXPECT_EQ(utf8LocaleOverrides("", "", "ja_JP.eucJP"), ctype); // messages stay Japanese
    EXPECT_EQ(utf8LocaleOverrides("", "", "de_DE.UTF-8"), Overrides{});
    EXPECT_EQ(utf8LocaleOverrides("", "en_US.utf8", "C"), Overrides{});
    EXPECT_EQ(utf8LocaleOverrides("", "POSIX", "en_US.UTF-8"), ctype);
    EXPECT_EQ(utf8LocaleOverrides("C", "en_US.UTF-8", "en_US.UTF-8"), (Overrides{{"LC_ALL", "C.UTF-8"}}));
    EXPECT_EQ(utf8LocaleOverrides("fr_FR.UTF-8", "", ""), Overrides{});
}
} // namespace
