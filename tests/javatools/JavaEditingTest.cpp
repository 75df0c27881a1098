// Java editing rules without a widget: indentation, comment toggling, the next marked line.
#include "javatools/JavaEditing.h"

#include <gtest/gtest.h>

namespace {

TEST(JavaEditing, NewLinesAreIndentedAsJavaNests)
{
    struct Case {
        const char* what;
        QStringList above;
        int indent;
    };
    const Case cases[] = {
        {"nothing above", {}, 0},
        {"after an opening brace", {"class H {"}, 4},
        {"a declaration starting with public", {"class H {", "    public int b;"}, 4},
        {"private, double and if statements ending with ;", {"    private double x;"}, 4},
        {"a complete if on one line", {"    if (a) b();"}, 4},
        {"if without a brace: one level for the next line", {"    if (a > 0)"}, 8},
        {"its one statement: back to the if", {"    if (a > 0)", "        b();"}, 4},
        {"nested headers go back to the outermost", {"  if (a)", "    for (int i = 0; i < n; i++)", "      f(i);"}, 2},
        {"else alone", {"    else"}, 8},
        {"else if", {"    } else if (x(1) == 2)"}, 8},
        {"} else {", {"    } else {"}, 8},
        {"after a closing brace", {"        }"}, 8},
        {"a brace in a string or comment counts for nothing", {"    s = \"{\"; // {"}, 4},
        {"a brace before a comment counts", {"    void f() { // starts"}, 8},
        {"blank lines are looked past", {"    int f() {", "", "   "}, 8},
        {"tabs count to the tab stop", {"\tclass A {"}, 8},
        {"an unfinished statement keeps its level", {"    int x ="}, 4},
        {"a while that ends the statement", {"    } while (x);"}, 4},
        {"a call whose parenthesis ends the line is no header", {"    iff(a)"}, 4},
        {"case labels", {"        case 1:"}, 12},
        {"a statement after a brace-less header with a blank between", {"  while (x)", "", "    y();"}, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JavaEditing::newLineIndent(c.above, 4), c.indent) << c.what;
}

TEST(JavaEditing, AClosingBraceGoesBackOneLevel)
{
    const int cases[][2] = {{8, 4}, {4, 0}, {0, 0}, {6, 4}, {1, 0}};
    for (const auto& [indent, expected] : cases)
        EXPECT_EQ(JavaEditing::closingBraceIndent(indent, 4), expected) << indent;
}

TEST(JavaEditing, CommentTogglingAddsAtTheSmallestIndentationAndTakesBack)
{
    struct Case {
        const char* what;
        QStringList lines;
        QStringList toggled;
    };
    const Case cases[] = {
        {"one line", {"    int x;"}, {"    // int x;"}},
        {"lines at several levels, a blank kept", {"  if (a)", "", "    b();"}, {"  // if (a)", "", "  //   b();"}},
        {"all commented: taken back", {"  // if (a)", "", "  //   b();"}, {"  if (a)", "", "    b();"}},
        {"a comment without a blank after it", {"//x", "\t//y"}, {"x", "\ty"}},
        {"some commented: all are commented", {"// a", "b"}, {"// // a", "// b"}},
        {"blank lines only", {"", "  "}, {"", "  "}},
    };
    for (const Case& c : cases) {
        const QStringList toggled = JavaEditing::toggleLineComments(c.lines);
        EXPECT_EQ(toggled, c.toggled) << c.what;
    }
}

TEST(JavaEditing, NextMarkedLineGoesRoundBothWays)
{
    struct Case {
        QList<int> marked;
        int caret;
        bool forward;
        int expected;
    };
    const Case cases[] = {
        {{}, 3, true, -1},     {{7, 2, 12}, 3, true, 7},  {{7, 2, 12}, 7, true, 12}, {{7, 2, 12}, 12, true, 2},
        {{7, 2, 12}, 3, false, 2}, {{7, 2, 12}, 2, false, 12}, {{5}, 5, true, 5}, {{5}, 0, false, 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JavaEditing::nextMarkedLine(c.marked, c.caret, c.forward), c.expected) << c.caret << c.forward;
}

} // namespace
