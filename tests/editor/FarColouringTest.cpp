// A far jump colours the screen from a state found by a scan, not by colouring everything before it.
// Whatever it colours must be exactly what colouring the whole text from the top gives.

#include "editor/EditorControl.h"
#include "editor/FarColouring.h"

#include <Qsci/qsciscintilla.h>

#include <QFont>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace {
using Sci = QsciScintillaBase;

struct Case {
    const char* name;
    QByteArray text;
    bool givesUp; // the colouring does something here the scan does not follow
};

QByteArray repeated(const QByteArray& text, int times)
{
    QByteArray out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

class Editor {
public:
    explicit Editor(const QByteArray& text)
    {
        control.showJava(QFont(QStringLiteral("Monospace")));
        control.loadUtf8(text);
    }
    long send(unsigned int message, unsigned long wParam = 0, long lParam = 0)
    {
        return component.SendScintilla(message, wParam, lParam);
    }
    QByteArray styles(long from, long to)
    {
        QByteArray out;
        for (long at = from; at < to; ++at)
            out += char(send(Sci::SCI_GETSTYLEAT, static_cast<unsigned long>(at)));
        return out;
    }
    EditorControl control;
    QsciScintilla& component = *control.findChild<QsciScintilla*>();
    FarColouring& far = *component.findChild<FarColouring*>();
};

// Colours a screen's worth at every line in turn and compares it with colouring from the top.
// Returns how many lines the far colouring took on.
int expectSameColoursAtEveryLine(const Case& test, int stride = 1)
{
    Editor whole(test.text);
    whole.send(Sci::SCI_COLOURISE, 0, -1);
    Editor far(test.text);
    const long lines = far.send(Sci::SCI_GETLINECOUNT);
    const long length = far.send(Sci::SCI_GETLENGTH);
    int taken = 0;
    for (long line = 1; line < lines; line += stride) {
        constexpr int Screen = 3;
        if (!far.far.colourLines(int(line), int(line + Screen)))
            continue;
        ++taken;
        const long from = far.send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
        const long to = line + Screen + 1 < lines ? far.send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line + Screen + 1)) : length;
        const QByteArray want = whole.styles(from, to);
        const QByteArray got = far.styles(from, to);
        if (want != got) {
            qsizetype at = 0;
            while (at < want.size() && want.at(at) == got.at(at))
                ++at;
            const long start = std::max(0L, long(at) - 20);
            QByteArray text(60, '\0');
            for (long i = 0; i < 60 && from + start + i < to; ++i)
                text[qsizetype(i)] = char(far.send(Sci::SCI_GETCHARAT, static_cast<unsigned long>(from + start + i)));
            ADD_FAILURE() << test.name << ": line " << line << " differs from byte " << from + at << " on: "
                          << text.toStdString() << "\nwant " << want.mid(start, 60).toHex(' ').toStdString()
                          << "\ngot  " << got.mid(start, 60).toHex(' ').toStdString();
            return taken;
        }
        EXPECT_EQ(far.send(Sci::SCI_GETENDSTYLED), 0) << test.name << ": the control's own colouring was not left where it was";
    }
    return taken;
}

TEST(FarColouringTest, ColoursTrickyJavaExactlyAsColouringFromTheTop)
{
    const QByteArray longLine = repeated("int a = 1; /* x */ String s = \"/*\"; char c = '\"'; ", 900);
    const QByteArray longComment = repeated("a comment with \"quotes\", 'ticks' and // slashes ", 900);
    const Case cases[] = {
        {"comment opener in a string", "String s = \"/*\"; int x;\n/* a\n b */ int y;\nint z;\n", false},
        {"doc comment with tags", "/** Adds.\n * @param x the {@code int}\n * @return*/\nclass A {}\n/***/\nint b;\n", false},
        {"empty and half comments", "/**/ int a;\n/*/ still comment\n*/ int b;\n/*!\n x */ int c;\n", false},
        {"text block", "String t = \"\"\"\n  hello /* not a comment\n  \"\"\";\nint z; /* \"\"\"\n*/ int q;\n", false},
        {"quotes in character literals", "char q = '\"'; char s = '\\''; String u = \"/*\";\n// \"\nint k = '/' ;\n/*\n'*/ int j;\n", false},
        {"unicode escapes", "String e = \"\\u0022/*\";\nint w; /* \\u002a/ still */ int v;\nchar c = '\\u0027';\n", false},
        {"escaped quotes and backslashes", "String a = \"a\\\"/*\", b = \"\\\\\"; /*\nx*/\nString c = \"\\\\\\\"\";\n", false},
        {"unterminated literals", "String s = \"abc /*\nint a = 'x /*\n/* c\n*/ int b;\n", false},
        {"division", "int a;\nx = (a) / b; /* q\n*/ y = c / d * e;\nz = 4 /2;\n", false},
        {"a stray comment closer", "int a;\nx = b */ c;\nint c;\n", true},
        {"non-ASCII identifiers", "int gr\xC3\xB6\xC3\x9F" "e = 1; /* \xC3\xBC\n \xC3\xA9 */ String \xC3\xB1 = \"\xC3\xB6\";\nint \xE6\x97\xA5 = 2;\n", false},
        {"CRLF line ends", "String s = \"/*\";\r\n/* a\r\n b */ int y;\r\n// c /*\r\nint z;\r\n", false},
        {"CR line ends", "String s = \"/*\";\r/* a\r b */ int y;\r// c /*\rint z;\r", false},
        {"nested-looking comments", "/* a /* b */ int c;\nint d; /* /* */\nint e; /* /*\n*/ int f;\n", false},
        {"at line start a hash", "int a;\n#if 0\nint b;\n#endif\nint c;\n", true},
        {"a regular expression after an operator", "int a;\nx = /y/;\nint c; /*\n*/\n", true},
        {"a regular expression after return", "int a;\nreturn /y/;\nint c;\n", true},
        {"a line comment carried on", "int first;\nint a; // c:\\\nint b; /* x\nint c;\n", false},
        {"a string carried on", "int first;\nString s = \"a\\\nb /* c\";\nint d; String t = \"\\\\\n/* e */ int f;\n", false},
        {"code carried on over a quote", "int first;\nx = a +\\\n\"b /* c\nint d;\n", false},
        {"carried on over an empty line", "int first;\nString s = \"a\\\n\nint b /* c\n*/ d;\nx = y\\\r\n\r\nint z;\r\n", false},
        {"a comment carried on to its closer", "int first;\n/* a \\\n*/ int b;\nint c;\n", false},
        {"a text block carried on", "int first;\nString t = \"\"\"\n  one \\\n  two /* \\\n  \"\"\";\nint x; */ int y;\n", false},
        {"a verbatim string", "int a;\nx = @\"a\nb\";\nint c;\n", true},
        {"a quote after a number", "int a;\nx = 1'000;\nint c;\n", true},
        {"long lines in pieces", "class A {\n" + longLine + "/* open\n" + longComment + "*/ int b;\n" + longLine + "\n}\n", false},
    };
    for (const Case& test : cases) {
        const int taken = expectSameColoursAtEveryLine(test);
        if (!test.givesUp) {
            Editor counted(test.text);
            EXPECT_EQ(taken, counted.send(Sci::SCI_GETLINECOUNT) - 1) << test.name << ": lines left to the control";
        }
    }
}

TEST(FarColouringTest, AGivenUpScanLeavesTheColouringToTheControl)
{
    Editor editor("int a;\n#if 0\nint b;\nint c;\nint d;\n");
    EXPECT_TRUE(editor.far.colourLines(1, 1));
    EXPECT_FALSE(editor.far.colourLines(3, 4));
}

// The story through the screen: Ctrl+End in a big file, typing there, then opening a comment far above.
TEST(FarColouringTest, WhatIsShownAfterAFarJumpAndEditsIsColouredAsFromTheTop)
{
    // More lines than the control colours while painting once.
    const QByteArray text = "class A {\n" + repeated("    int a = 1; String s = \"/*\"; // note\n", 80000) + "}\n";
    Editor editor(text);
    editor.control.resize(500, 300);
    editor.control.show();
    const auto expectScreenAsFromTheTop = [&](const char* when) {
        editor.control.viewport()->grab();
        Editor whole(editor.control.utf8());
        whole.send(Sci::SCI_COLOURISE, 0, -1);
        const long first = editor.send(Sci::SCI_GETFIRSTVISIBLELINE);
        const long from = editor.send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(first));
        const long to = editor.send(Sci::SCI_GETLENGTH);
        ASSERT_GT(from, editor.send(Sci::SCI_GETENDSTYLED)) << when << ": the control coloured it all itself";
        EXPECT_EQ(editor.styles(from, to), whole.styles(from, to)) << when;
    };
    editor.send(Sci::SCI_DOCUMENTEND);
    expectScreenAsFromTheTop("after Ctrl+End");

    editor.send(Sci::SCI_DOCUMENTEND);
    editor.send(Sci::SCI_LINEUP);
    editor.send(Sci::SCI_ADDTEXT, 14, reinterpret_cast<long>("int b; /* c */"));
    expectScreenAsFromTheTop("after typing at the end");

    // Enter there does not make the control colour everything before it first.
    QTest::keyClick(&editor.component, Qt::Key_Return);
    expectScreenAsFromTheTop("after Enter at the end");

    editor.send(Sci::SCI_INSERTTEXT, 10, reinterpret_cast<long>("/* "));
    editor.send(Sci::SCI_DOCUMENTEND);
    expectScreenAsFromTheTop("after opening a comment far above");

    // Another file opened in its place: nothing found in the first one holds for it.
    editor.control.loadUtf8("/*\n" + text);
    editor.send(Sci::SCI_DOCUMENTEND);
    expectScreenAsFromTheTop("in the next file opened");
}
} // namespace
