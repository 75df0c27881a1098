// What a screen reader gets back from the editor, asked through Qt's accessibility interfaces as the
// bus asks: every request answered in UTF-16 offsets, none past the end, none crashing.

#include "editor/EditorControl.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <climits>

namespace {
// "a", "é", a character outside the BMP (two UTF-16 units), a line end, "int x": 11 units.
const QString sample = QStringLiteral("a\u00e9\U0001F600\r\nint x");

class EditorAccessibleTest : public ::testing::Test {
protected:
    EditorControl editor;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(editor.focusProxy());
    QAccessibleTextInterface* text = accessible ? accessible->textInterface() : nullptr;

    void SetUp() override
    {
        EditorControl::accessibilityListening = [] { return true; }; // as when an assistive tool listens
        ASSERT_NE(text, nullptr);
        editor.resize(400, 200);
        editor.setText(sample);
    }
    void TearDown() override { EditorControl::accessibilityListening = &QAccessible::isActive; }
};

TEST_F(EditorAccessibleTest, TextAndCountAreInUtf16Units)
{
    EXPECT_EQ(accessible->role(), QAccessible::EditableText);
    EXPECT_TRUE(accessible->state().multiLine);
    ASSERT_EQ(text->characterCount(), sample.size());
    EXPECT_EQ(text->text(0, -1), sample);
    EXPECT_EQ(text->text(2, 4), QStringLiteral("\U0001F600"));
    editor.setSelStart(6);
    EXPECT_EQ(text->cursorPosition(), 6);
}

TEST_F(EditorAccessibleTest, OddRequestsGetAnAnswerNotACrash)
{
    struct Range {
        int start, end;
        QString expected;
    };
    const Range ranges[] = {
        {0, INT_MAX, sample},
        {INT_MAX, 0, sample},        // the wrong way round
        {8, 6, QStringLiteral("in")},
        {-7, 1, QStringLiteral("a")},
        {10, 10, QString()},
        {11, 400, QString()},
    };
    for (const Range& range : ranges)
        EXPECT_EQ(text->text(range.start, range.end), range.expected) << range.start << ".." << range.end;

    int start = 0, end = 0;
    for (int offset : {int(sample.size()) + 1, INT_MAX, -3, INT_MIN}) {
        for (auto boundary : {QAccessible::CharBoundary, QAccessible::WordBoundary, QAccessible::LineBoundary,
                 QAccessible::NoBoundary}) {
            EXPECT_EQ(text->textAtOffset(offset, boundary, &start, &end), QString()) << offset;
            EXPECT_EQ(start, -1);
            text->textBeforeOffset(offset, boundary, &start, &end);
            text->textAfterOffset(offset, boundary, &start, &end);
        }
        EXPECT_TRUE(text->characterRect(offset).isNull()) << offset;
        text->attributes(offset, &start, &end);
    }
    // Just past the text is where a typed character would go: a real place on screen.
    const QRect end1 = text->characterRect(int(sample.size()));
    EXPECT_GT(end1.width(), 0);
    EXPECT_GT(end1.height(), 0);
    EXPECT_EQ(text->textAtOffset(int(sample.size()), QAccessible::CharBoundary, &start, &end), QString());
    EXPECT_EQ(text->offsetAtPoint(QPoint(INT_MIN / 2, INT_MIN / 2)), -1);

    text->setSelection(0, 9, 6); // the wrong way round: "int" selected, caret at its start
    text->selection(0, &start, &end);
    EXPECT_EQ(std::pair(start, end), std::pair(6, 9));
    EXPECT_EQ(editor.SelText(), QStringLiteral("int"));
    text->setCursorPosition(INT_MAX);
    EXPECT_EQ(text->cursorPosition(), sample.size());
    EXPECT_EQ(text->selectionCount(), 0);
}

TEST_F(EditorAccessibleTest, UnitsAroundAnOffset)
{
    struct Case {
        int offset;
        QAccessible::TextBoundaryType boundary;
        QString expected;
        int start, end;
    };
    const Case cases[] = {
        {2, QAccessible::CharBoundary, QStringLiteral("\U0001F600"), 2, 4},
        {7, QAccessible::WordBoundary, QStringLiteral("int"), 6, 9},
        {1, QAccessible::LineBoundary, QStringLiteral("a\u00e9\U0001F600\r\n"), 0, 6},
        {-1, QAccessible::LineBoundary, QStringLiteral("int x"), 6, 11},
        {5, QAccessible::NoBoundary, sample, 0, 11},
    };
    for (const Case& c : cases) {
        int start = 0, end = 0;
        EXPECT_EQ(text->textAtOffset(c.offset, c.boundary, &start, &end), c.expected) << c.offset;
        EXPECT_EQ(std::pair(start, end), std::pair(c.start, c.end)) << c.offset;
    }
    int start = 0, end = 0;
    EXPECT_EQ(text->textAfterOffset(0, QAccessible::LineBoundary, &start, &end), QStringLiteral("int x"));
    EXPECT_EQ(text->textBeforeOffset(7, QAccessible::LineBoundary, &start, &end), QStringLiteral("a\u00e9\U0001F600\r\n"));
}

TEST_F(EditorAccessibleTest, AnEmptyTextAndEditsFromOutside)
{
    editor.setText(QString());
    int start = 0, end = 0;
    EXPECT_EQ(text->characterCount(), 0);
    EXPECT_EQ(text->text(0, -1), QString());
    EXPECT_FALSE(text->characterRect(0).isNull());
    EXPECT_EQ(text->textAtOffset(0, QAccessible::LineBoundary, &start, &end), QString());

    auto* editable = accessible->editableTextInterface();
    ASSERT_NE(editable, nullptr);
    editable->insertText(INT_MAX, QStringLiteral("class A"));
    editable->replaceText(INT_MAX, 6, QStringLiteral("B {}"));
    editable->deleteText(5, 0);
    EXPECT_EQ(editor.Text(), QStringLiteral(" B {}"));
}

TEST_F(EditorAccessibleTest, EditsAreToldOnceWithUtf16Offsets)
{
    QSignalSpy change(&editor, &EditorControl::Change);
    QSignalSpy inserted(&editor, &EditorControl::accessibleTextInserted);
    QSignalSpy removed(&editor, &EditorControl::accessibleTextRemoved);
    editor.setSelStart(11);
    QTest::keyClick(&editor, Qt::Key_Y);
    editor.undo();
    editor.setSelStart(1);
    editor.setSelLength(3);
    editor.cut();
    EXPECT_EQ(editor.Text(), QStringLiteral("a\r\nint x"));
    EXPECT_EQ(change.count(), 3);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0], (QVariantList{qsizetype(11), QStringLiteral("y")}));
    ASSERT_EQ(removed.count(), 2);
    EXPECT_EQ(removed[0], (QVariantList{qsizetype(11), QStringLiteral("y")}));
    EXPECT_EQ(removed[1], (QVariantList{qsizetype(1), QStringLiteral("\u00e9\U0001F600")}));
}
} // namespace
