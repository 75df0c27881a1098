// What programs print with escape sequences: colours kept, everything else dropped.
#include "javatools/ConsoleText.h"

#include <gtest/gtest.h>

namespace {

ConsoleStyle coloured(QColor foreground, bool bold = false)
{
    ConsoleStyle style;
    style.foreground = foreground;
    style.bold = bold;
    return style;
}

TEST(ConsoleText, ColoursAreKeptAndOtherSequencesDropped)
{
    const QColor red(0xcd, 0, 0);
    const QColor brightBlue(0x5c, 0x5c, 0xff);
    struct Case {
        const char* what;
        QString text;
        QList<StyledText> expected;
    };
    const Case cases[] = {
        {"plain text", "hello", {{"hello", {}}}},
        {"red then reset", "\x1b[31mred\x1b[0m plain", {{"red", coloured(red)}, {" plain", {}}}},
        {"bold and bright blue, reset by ESC[m", "\x1b[1;94mB\x1b[mx", {{"B", coloured(brightBlue, true)}, {"x", {}}}},
        {"256 colours", "\x1b[38;5;196mr", {{"r", coloured(QColor(255, 0, 0))}}},
        {"true colour", "\x1b[38;2;1;2;3mt", {{"t", coloured(QColor(1, 2, 3))}}},
        {"cursor moves and clearing dropped", "a\x1b[2K\x1b[1Gb\x1b[?25lc", {{"abc", {}}}},
        {"a title (OSC) dropped", "\x1b]0;title\x07text", {{"text", {}}}},
        {"a charset switch dropped", "\x1b(Bx", {{"x", {}}}},
        {"bells and backspaces dropped, tabs kept", "a\a\bb\tc", {{"ab\tc", {}}}},
        {"a sequence cut off at the end is dropped", "x\x1b[3", {{"x", {}}}},
        {"a private SGR changes nothing", "\x1b[>1mz", {{"z", {}}}},
        {"a sequence with another final byte ends there", "\x1b[3x;1m", {{";1m", {}}}},
    };
    for (const Case& c : cases) {
        ConsoleStyle style;
        EXPECT_EQ(parseConsoleText(c.text, style), c.expected) << c.what;
    }
}

TEST(ConsoleText, TheStyleCarriesFromOneLineToTheNext)
{
    ConsoleStyle style;
    parseConsoleText(u"\x1b[32mgreen starts", style);
    const QList<StyledText> next = parseConsoleText(u"still green\x1b[39m", style);
    ASSERT_EQ(next.size(), 1);
    EXPECT_EQ(next[0].style.foreground, QColor(0x00, 0xa0, 0x00));
    EXPECT_EQ(style, ConsoleStyle());
}

TEST(ConsoleText, PiecesNeverSplitAnEscapeSequence)
{
    EXPECT_EQ(consolePieceLength(u"abcdef", 4), 4);
    EXPECT_EQ(consolePieceLength(u"abc", 4), 3);
    EXPECT_EQ(consolePieceLength(u"ab\x1b[31mx", 4), 2);
    EXPECT_EQ(consolePieceLength(u"a\x1b[mxyz", 5), 5);
}

} // namespace
