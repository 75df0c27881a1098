#include "app/frmMain.h"
#include "document/Document.h"
#include "editor/EditorControl.h"
#include "support/FakeHost.h"

#include <gtest/gtest.h>

#include <QTest>

namespace {

class EditCommandsTest : public ::testing::Test {
protected:
    FakeHost host;
    frmMain window{host.services};
    EditorControl& text1 = window.Text1();
    Document& doc = window.document();

    void start(const QString& text, qsizetype selStart, qsizetype selLength)
    {
        text1.setText(text);
        text1.markSaved();
        text1.setSelStart(selStart);
        text1.setSelLength(selLength);
    }
};

TEST_F(EditCommandsTest, CutMovesTheSelectionToTheClipboard)
{
    start("xabcx", 1, 3);
    window.mnuCut_Click();
    EXPECT_EQ(host.clipboard->contents.value_or(""), "abc");
    EXPECT_EQ(text1.Text(), "xx");
    EXPECT_EQ(text1.SelStart(), 1);
    EXPECT_TRUE(doc.Modified());
}

TEST_F(EditCommandsTest, CopyChangesNeitherTextNorSelection)
{
    start("xabcx", 1, 3);
    window.mnuCopy_Click();
    EXPECT_EQ(host.clipboard->contents.value_or(""), "abc");
    EXPECT_EQ(text1.Text(), "xabcx");
    EXPECT_EQ(text1.SelStart(), 1);
    EXPECT_EQ(text1.SelLength(), 3);
    EXPECT_FALSE(doc.Modified());

    start("xyz", 1, 0);
    window.mnuCopy_Click();
    EXPECT_EQ(host.clipboard->setCalls, 2);
    EXPECT_EQ(host.clipboard->contents.value_or("?"), "");
}

TEST_F(EditCommandsTest, PasteReplacesTheSelectionOrInsertsAtTheCaret)
{
    host.clipboard->contents = "abc";
    start("xyz", 2, 0);
    window.mnuPaste_Click();
    EXPECT_EQ(text1.Text(), "xyabcz");
    EXPECT_EQ(text1.SelStart(), 5);
    EXPECT_TRUE(doc.Modified());

    host.clipboard->contents.reset(); // the clipboard holds no text: the selection goes
    start("keep this", 4, 5);
    window.mnuPaste_Click();
    EXPECT_EQ(text1.Text(), "keep");
    EXPECT_TRUE(doc.Modified());
}

TEST_F(EditCommandsTest, PasteKeepsTextTheControlCannotTakeAsAString)
{
    host.clipboard->contents = QString::fromUtf8("a\0b\r\nπ😀", 10);
    start("", 0, 0);
    window.mnuPaste_Click();
    EXPECT_EQ(text1.Text(), QString::fromUtf8("a\0b\r\nπ😀", 10));
    EXPECT_EQ(text1.SelStart(), text1.Text().size());
}

TEST_F(EditCommandsTest, SelectAllSelectsEveryCharacter)
{
    start("", 0, 0);
    window.mnuSelectAll_Click();
    EXPECT_EQ(text1.SelStart(), 0);
    EXPECT_EQ(text1.SelLength(), 0);
    EXPECT_FALSE(doc.Modified());

    start("línea\r\n😀 end", 3, 2);
    window.mnuSelectAll_Click();
    EXPECT_EQ(text1.SelStart(), 0);
    EXPECT_EQ(text1.SelLength(), text1.Text().size());
    EXPECT_EQ(text1.SelText(), text1.Text());
}

TEST_F(EditCommandsTest, DateAndTimeInsertsTheClockWithNothingAround)
{
    const QString now = generalDateTimeText(host.clock->now);
    start("ab", 2, 0);
    window.mnuDateTime_Click();
    EXPECT_EQ(text1.Text(), "ab" + now);
    EXPECT_TRUE(doc.Modified());

    start("replace me", 0, 0);
    window.mnuSelectAll_Click();
    window.mnuDateTime_Click();
    EXPECT_EQ(text1.Text(), now);
}

TEST_F(EditCommandsTest, ShortcutsReachTheCommandsFromTheEditor)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    text1.setFocus();
    start("one two", 0, 3);
    QTest::keyClick(&text1, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(host.clipboard->contents.value_or(""), "one");
    QTest::keyClick(&text1, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(text1.SelLength(), 7);
    QTest::keyClick(&text1, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(text1.Text(), "");
    EXPECT_EQ(host.clipboard->contents.value_or(""), "one two");
    QTest::keyClick(&text1, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(&text1, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(text1.Text(), "one twoone two");
}

TEST_F(EditCommandsTest, UndoReturnsToTheSavedTextAndClearsModified)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    text1.setFocus();
    start("saved", 5, 0);
    QTest::keyClicks(&text1, "!");
    EXPECT_TRUE(doc.Modified());
    QTest::keyClick(&text1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text1.Text(), "saved");
    EXPECT_FALSE(doc.Modified());
    QTest::keyClick(&text1, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(text1.Text(), "saved!");
    EXPECT_TRUE(doc.Modified());
    QTest::keyClick(&text1, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(&text1, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(text1.Text(), "saved!");
}

} // namespace

namespace {
TEST_F(EditCommandsTest, ALeadingZeroWidthNoBreakSpaceCountsLikeAnyCharacter)
{
    const QString text = QString(QChar(0xFEFF)) + "abc";
    start(text, 1, 2);
    EXPECT_EQ(text1.Text(), text);
    EXPECT_EQ(text1.SelText(), "ab");
    start(text, 0, 2);
    EXPECT_EQ(text1.SelText(), QString(QChar(0xFEFF)) + "a");
}
} // namespace
