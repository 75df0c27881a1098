#include "host/EditorControl.h"
#include "host/LongLines.h"

#include <Qsci/qscilexerjava.h>

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {
using namespace LongLines;

TEST(LongLines, PiecesComeOnlyForLongLinesAndGoAgainWithoutATrace)
{
    const QByteArray longLine = QString(QStringLiteral("é😀ab")).repeated(LongLine / 4).toUtf8();
    const struct {
        const char* name;
        QByteArray text;
        bool pieces;
    } rows[] = {
        {"short lines", "a\r\nb\nc\rd", false},
        {"long, with line feeds", "x\n" + longLine + "\r\ny", true},
        {"long, with carriage returns only", "x\r" + longLine + "\ry", true},
        {"many short lines, carriage returns only", QByteArray("ab\r").repeated(LongLine), false},
        {"long, with a separator of its own", longLine + "\xE2\x80\xA9", false},
        {"long, with a next-line character", "\xC2\x85" + longLine, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(needsPieces(row.text), row.pieces);
        if (!row.pieces)
            continue;
        const QByteArray shown = makePieces(row.text);
        EXPECT_EQ(withoutPieces(shown), row.text);
        // Every piece ends between characters and is no longer than a piece.
        EXPECT_TRUE(QByteArrayView(shown).isValidUtf8());
        QByteArray runs = shown;
        runs.replace(Separator, "\n").replace('\r', '\n');
        for (const QByteArray& run : runs.split('\n'))
            EXPECT_LE(run.size(), PieceBytes);
    }
}

// A text shown in pieces, as the window shows one: with the Java lexer.
class PiecesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        editor.setLexer(new QsciLexerJava(&editor));
        editor.resize(600, 300);
        connect();
        editor.loadUtf8(bytes);
        replayed = bytes;
    }

    // What listeners to bytesChanged (the recovery journal) make of the edits.
    void connect()
    {
        QObject::connect(&editor, &EditorControl::bytesChanged, &editor,
            [this](qsizetype position, qsizetype removed, const char* inserted, qsizetype length) {
                replayed.remove(position, removed);
                replayed.insert(position, QByteArrayView(inserted, length));
            });
    }

    const QString longLine = QString(QStringLiteral("é😀ab")).repeated(20000); // 100,000 units
    const QString text = QStringLiteral("class A {\r\n") + longLine + QStringLiteral("\r\nint x;\r\n");
    const QByteArray bytes = text.toUtf8();
    EditorControl editor;
    QByteArray replayed;
};

TEST_F(PiecesTest, TheTextItsLinesAndOffsetsAreTheFilesOwn)
{
    ASSERT_TRUE(editor.showsPieces());
    EXPECT_EQ(editor.utf8(), bytes);
    EXPECT_EQ(editor.utf8Length(), bytes.size());
    EXPECT_EQ(editor.Text(), text);
    EXPECT_EQ(editor.textLength(), text.size());
    QString buffer;
    EXPECT_EQ(editor.decodeText(buffer), text);
    EXPECT_EQ(editor.lines(), 4);
    EXPECT_EQ(editor.text(1), longLine + QStringLiteral("\r\n"));

    editor.goToLine(3);
    EXPECT_EQ(editor.caretLine(), 3);
    EXPECT_EQ(editor.caretColumn(), 1);
    EXPECT_EQ(editor.SelStart(), text.indexOf(QStringLiteral("int x")));
    EXPECT_EQ(editor.offsetOfLine(2), text.indexOf(QStringLiteral("int x")));

    // Deep in the long line, past many pieces.
    const qsizetype deep = 11 + 77775; // between characters

    editor.setSelStart(deep);
    EXPECT_EQ(editor.SelStart(), deep);
    EXPECT_EQ(editor.caretLine(), 2);
    EXPECT_EQ(editor.caretColumn(), 77775 + 1);
    EXPECT_EQ(editor.caretPosition(), text.first(deep).toUtf8().size());
    editor.setSelLength(5000);
    EXPECT_EQ(editor.SelText(), text.mid(deep, 5000));
}

TEST_F(PiecesTest, EditsAcrossPiecesUndoAndTheJournalKeepEveryByte)
{
    editor.setSelStart(11 + 3000);
    editor.setSelLength(9000); // over several separators
    editor.setSelText(QStringLiteral("X"));
    QString expected = text;
    expected.replace(11 + 3000, 9000, QStringLiteral("X"));
    EXPECT_EQ(editor.Text(), expected);
    EXPECT_EQ(replayed, editor.utf8());

    editor.undo();
    EXPECT_EQ(editor.utf8(), bytes);
    EXPECT_EQ(replayed, bytes);
    editor.redo();
    EXPECT_EQ(editor.Text(), expected);
    EXPECT_EQ(replayed, editor.utf8());

    // The text's own bytes, replaced through their positions in the text.
    const qsizetype at = editor.utf8().indexOf("int x");
    editor.replaceUtf8(at, at + 3, "long");
    expected.replace(QStringLiteral("int x"), QStringLiteral("long x"));
    EXPECT_EQ(editor.Text(), expected);
    EXPECT_EQ(replayed, editor.utf8());
}

TEST_F(PiecesTest, LongLinesThatComeInArePutInPiecesToo)
{
    // A pasted blob in a text of short lines, and the whole text replaced at once.
    EditorControl other;
    other.setLexer(new QsciLexerJava(&other));
    other.setText(QStringLiteral("int x;\r\n"));
    ASSERT_FALSE(other.showsPieces());
    other.setSelStart(4);
    other.setSelText(longLine);
    EXPECT_TRUE(other.showsPieces());
    EXPECT_EQ(other.Text(), QStringLiteral("int ") + longLine + QStringLiteral("x;\r\n"));
    EXPECT_EQ(other.lines(), 2);
    EXPECT_GT(other.QsciScintilla::lines(), 40);

    editor.replaceUtf8(0, bytes.size(), bytes + "//");
    EXPECT_EQ(editor.utf8(), bytes + "//");
    EXPECT_GT(editor.QsciScintilla::lines(), 40);
    EXPECT_EQ(replayed, editor.utf8());
}

TEST(LongLinesWhole, ATextOfShortLinesTakesLineSeparatorsAsCharacters)
{
    EditorControl editor;
    editor.setLexer(new QsciLexerJava(&editor));
    const QString text = QStringLiteral("a\u2028b\u0085c\r\nd");
    editor.loadUtf8(text.toUtf8());
    EXPECT_FALSE(editor.showsPieces());
    EXPECT_EQ(editor.lines(), 2);
    EXPECT_EQ(editor.QsciScintilla::lines(), 2);
    EXPECT_EQ(editor.offsetOfLine(1), 7);
}

TEST_F(PiecesTest, ALineSeparatorOfItsOwnIsLeftOutAndSaidSo)
{
    QSignalSpy leftOut(&editor, &EditorControl::lineSeparatorsLeftOut);
    editor.setSelStart(0);
    editor.insert(QStringLiteral("a\u2028b"));
    EXPECT_TRUE(editor.Text().startsWith(QStringLiteral("abclass")));
    EXPECT_TRUE(leftOut.wait(1000));
    EXPECT_EQ(replayed, editor.utf8());
}
TEST_F(PiecesTest, OneArrowPressMovesOneCharacterAcrossAPieceBoundary)
{
    // Around the first boundary between pieces of the long line (2,048 bytes in, about 1,280
    // characters): each Right or Left moves by one character, and typing lands there.
    for (qsizetype offset = 11 + 1200; offset < 11 + 1360; ++offset) {
        if (text.at(offset).isLowSurrogate())
            continue;
        const qsizetype width = text.at(offset).isHighSurrogate() ? 2 : 1;
        editor.setSelStart(offset);
        QTest::keyClick(&editor, Qt::Key_Right);
        QTest::keyClick(&editor, Qt::Key_Z);
        ASSERT_EQ(editor.Text().indexOf(u'z'), offset + width) << "Right from offset " << offset;
        editor.undo();
        editor.setSelStart(offset + width);
        QTest::keyClick(&editor, Qt::Key_Left);
        QTest::keyClick(&editor, Qt::Key_Z);
        ASSERT_EQ(editor.Text().indexOf(u'z'), offset) << "Left from offset " << offset + width;
        editor.undo();
    }
    EXPECT_EQ(replayed, bytes);
}
} // namespace
