// Loading a whole file into the editor control swaps in a document that was filled off screen. The
// control must come out of that exactly as it went in: same settings, same lexer, working undo and
// position conversions.

#include "app/frmMain.h"
#include "editor/EditorControl.h"
#include "support/FakeHost.h"

#include <Qsci/qscilexerjava.h>
#include <Qsci/qsciscintilla.h>

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {
using Sci = QsciScintillaBase;

class EditorLoadTest : public ::testing::Test {
protected:
    FakeHost host;
    frmMain window{host.services};
    EditorControl& text1 = window.Text1();
    QsciScintilla& component = *text1.findChild<QsciScintilla*>();

    long send(unsigned int message, unsigned long wParam = 0, long lParam = 0)
    {
        return component.SendScintilla(message, wParam, lParam);
    }
};

TEST_F(EditorLoadTest, TheTextArrivesWholeNulsIncluded)
{
    static const char raw[] = "class A {\0}\r\n// caf\xC3\xA9 \xF0\x9F\x98\x80\r\n";
    const QByteArray bytes(raw, sizeof raw - 1);
    QSignalSpy change(&text1, &EditorControl::Change);
    text1.loadUtf8(bytes);
    EXPECT_EQ(text1.utf8(), bytes);
    EXPECT_EQ(change.count(), 1);
    EXPECT_FALSE(text1.isModified());
    EXPECT_FALSE(text1.isUndoAvailable());
    EXPECT_EQ(text1.SelStart(), 0);
    EXPECT_EQ(text1.textLength(), QString::fromUtf8(bytes).size());
}

TEST_F(EditorLoadTest, DocumentSettingsSurviveTheSwap)
{
    send(Sci::SCI_SETTABWIDTH, 7);
    send(Sci::SCI_SETINDENT, 3);
    send(Sci::SCI_SETUSETABS, 0);
    send(Sci::SCI_SETEOLMODE, Sci::SC_EOL_LF);
    component.SendScintilla(Sci::SCI_SETWORDCHARS, 0UL, "abc_");
    text1.loadUtf8("x\n");
    EXPECT_EQ(send(Sci::SCI_GETCODEPAGE), Sci::SC_CP_UTF8);
    EXPECT_EQ(send(Sci::SCI_GETTABWIDTH), 7);
    EXPECT_EQ(send(Sci::SCI_GETINDENT), 3);
    EXPECT_EQ(send(Sci::SCI_GETUSETABS), 0);
    EXPECT_EQ(send(Sci::SCI_GETEOLMODE), Sci::SC_EOL_LF);
    QByteArray wordChars(send(Sci::SCI_GETWORDCHARS), '\0');
    component.SendScintilla(Sci::SCI_GETWORDCHARS, 0UL, wordChars.data());
    std::sort(wordChars.begin(), wordChars.end());
    EXPECT_EQ(wordChars, "_abc");
    EXPECT_FALSE(text1.isReadOnly());
}

TEST_F(EditorLoadTest, TheJavaLexerStillColoursTheLoadedText)
{
    ASSERT_NE(qobject_cast<QsciLexerJava*>(component.lexer()), nullptr);
    text1.loadUtf8("public class A {}\r\n// note\r\n");
    send(Sci::SCI_COLOURISE, 0, -1);
    EXPECT_EQ(send(Sci::SCI_GETSTYLEAT, 0), QsciLexerJava::Keyword);
    EXPECT_EQ(send(Sci::SCI_GETSTYLEAT, 20), QsciLexerJava::CommentLine);
}

TEST_F(EditorLoadTest, EditingUndoAndPositionsWorkAfterALoad)
{
    text1.loadUtf8("\xC3\xA9t\xC3\xA9\r\n\xF0\x9F\x98\x80x\r\n"); // été, 😀x
    text1.setSelStart(7); // after the surrogate pair of 😀
    EXPECT_EQ(text1.SelStart(), 7);
    text1.setSelLength(1);
    EXPECT_EQ(text1.SelText(), "x");
    text1.setSelText(QStringLiteral("y"));
    EXPECT_EQ(text1.Text(), QString::fromUtf8("\xC3\xA9t\xC3\xA9\r\n\xF0\x9F\x98\x80y\r\n"));
    EXPECT_TRUE(text1.isModified());
    text1.undo();
    EXPECT_EQ(text1.utf8(), "\xC3\xA9t\xC3\xA9\r\n\xF0\x9F\x98\x80x\r\n");
    EXPECT_FALSE(text1.isModified());
    EXPECT_FALSE(text1.isUndoAvailable());
}

TEST_F(EditorLoadTest, RepeatedLoadsReplaceTheText)
{
    // Under the address sanitizer this also checks that every swapped-out document is freed once.
    for (int i = 0; i < 20; ++i) {
        const QByteArray bytes = QByteArray::number(i).repeated(1000 + i);
        text1.loadUtf8(bytes);
        ASSERT_EQ(text1.utf8(), bytes);
    }
    text1.loadUtf8(QByteArray());
    EXPECT_EQ(text1.utf8(), QByteArray());
    EXPECT_EQ(text1.textLength(), 0);
}
} // namespace

TEST_F(EditorLoadTest, AMinifiedOneLineFileRoundTrips)
{
    QByteArray line;
    for (int n = 0; line.size() < (1 << 20); ++n)
        line += "int v" + QByteArray::number(n) + "=\"caf\xC3\xA9\xF0\x9F\x98\x80\";";
    text1.loadUtf8(line);
    EXPECT_EQ(text1.utf8(), line);
    EXPECT_EQ(text1.lines(), 1);
    EXPECT_EQ(text1.textLength(), QString::fromUtf8(line).size());
}

TEST_F(EditorLoadTest, RoomMadeOnAnotherThreadWhileTheViewIsInUse)
{
    // At start the room is made on the loading thread while the window is being built and painted;
    // the text must still arrive whole whatever size was expected, and an unused room must be freed.
    struct Case {
        const char* name;
        qsizetype expected; // the size the file had when the room was made
        bool fill;
    };
    const QByteArray bytes = QByteArray("class A { int x; }\r\n").repeated(5000);
    const Case cases[] = {
        {"exact size", bytes.size(), true},
        {"file grew since", 10, true},
        {"file shrank since", bytes.size() * 2, true},
        {"read failed: never filled", bytes.size(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        text1.setText(QStringLiteral("typed while loading"));
        {
            const std::unique_ptr<EditorControl::PreparedLoad> load = text1.prepareLoad(c.expected);
            std::thread loading([&] {
                load->reserve();
                if (c.fill)
                    load->fill(bytes);
            });
            for (int i = 0; i < 20; ++i)
                text1.setText(QStringLiteral("view in use %1").arg(i));
            loading.join();
            if (c.fill)
                text1.loadPrepared(*load);
        }
        EXPECT_EQ(text1.utf8(), c.fill ? bytes : QByteArray("view in use 19"));
    }
}
