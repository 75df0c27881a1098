#include "editor/LongLines.h"
#include "editor/PieceMap.h"

#include <QString>

#include <gtest/gtest.h>

namespace {
const QByteArray Sep(LongLines::Separator, LongLines::SeparatorBytes);

// Every conversion checked against the control's bytes read one by one.
TEST(PieceMap, ConvertsBetweenTheControlsPositionsAndTheTexts)
{
    const QByteArray cases[] = {
        QByteArray(),
        "abc",
        "ab" + Sep + "cd",
        Sep + "x" + Sep,
        "one\r\ntw" + Sep + "o\nthr" + Sep + "e" + Sep + "e\rfour",
        QString::fromUtf8("\u00e9\U0001F600").toUtf8() + Sep + QString::fromUtf8("\u65e5x").toUtf8() + Sep + "\r\n",
    };
    for (const QByteArray& control : cases) {
        SCOPED_TRACE(control.toStdString());
        const PieceMap map = PieceMap::of(control);
        const QByteArray text = LongLines::withoutPieces(control);
        EXPECT_EQ(map.count(), control.count(Sep));

        qsizetype separators = 0;
        int controlLine = 0;
        int textLine = 0;
        for (qsizetype at = 0; at <= control.size();) {
            const bool onSeparator = control.sliced(at).startsWith(Sep);
            EXPECT_EQ(map.before(at), separators) << at;
            EXPECT_EQ(map.textByte(at), at - LongLines::SeparatorBytes * separators) << at;
            // Just behind a separator is the same place of the text as just before it.
            if (!control.sliced(0, at).endsWith(Sep)) {
                EXPECT_EQ(map.controlPosition(map.textByte(at)), at) << at;
            }
            EXPECT_EQ(map.textLine(controlLine), textLine) << at;
            if (at == control.size())
                break;
            if (onSeparator) {
                ++separators;
                ++controlLine;
                at += LongLines::SeparatorBytes;
                continue;
            }
            if (control[at] == '\n' || (control[at] == '\r' && (at + 1 == control.size() || control[at + 1] != '\n'))) {
                ++controlLine;
                ++textLine;
                EXPECT_EQ(map.controlLine(textLine), controlLine) << at;
            }
            ++at;
        }
        EXPECT_EQ(map.textBytesIn(0, control.size()), text.size());
    }
}

TEST(PieceMap, OffsetsSkipTheSeparatorsBeforeThem)
{
    // "ab|cd|e": the text's offsets 0..5; the control's count a separator after "ab" and after "cd".
    const PieceMap map = PieceMap::of("ab" + Sep + "cd" + Sep + "e");
    const qsizetype expected[] = {0, 1, 2, 4, 5, 7};
    for (qsizetype offset = 0; offset < 6; ++offset)
        EXPECT_EQ(map.controlOffset(offset), expected[offset]) << offset;
    // A surrogate pair counts two units before a separator.
    const PieceMap wide = PieceMap::of(QString::fromUtf8("\U0001F600").toUtf8() + Sep + "x");
    EXPECT_EQ(wide.controlOffset(2), 2);
    EXPECT_EQ(wide.controlOffset(3), 4);
}
} // namespace
