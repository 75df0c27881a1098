#include "search/FindIt.h"

#include <gtest/gtest.h>

#include <QList>

#include <random>

using Search::FindIt;
using Search::foldCase;

namespace {

constexpr int Up = 0;
constexpr int Down = 1;

SearchSettings settingsFor(const QString& find, int direction, int matchCase, qsizetype lastPos = -1, bool fresh = true)
{
    SearchSettings s;
    s.SearchText = find;
    s.SearchDirection = direction;
    s.SearchMatchCase = matchCase;
    s.SearchLastPos = lastPos;
    s.SearchTextFresh = fresh;
    return s;
}

struct Case {
    const char* name;
    QString text;
    QString find;
    qsizetype caret;
    int direction;
    int matchCase;
    bool continuing; // caret still at the previous match, find text unchanged
    qsizetype expected;
};

class FindItCases : public ::testing::TestWithParam<Case> {};

TEST_P(FindItCases, SelectsTheExpectedMatch)
{
    const Case& c = GetParam();
    const SearchSettings s = settingsFor(c.find, c.direction, c.matchCase, c.continuing ? c.caret : c.caret + 1000,
                                         !c.continuing);
    EXPECT_EQ(FindIt(c.text, c.caret, s), c.expected);
}

const Case cases[] = {
    {"ForwardIgnoringCase", "a Foo", "foo", 0, Down, 0, false, 2},
    {"ForwardMatchingCaseMisses", "a Foo", "foo", 0, Down, 1, false, -1},
    {"ForwardFindsTheOccurrenceAtTheCaret", "xfoo foo", "foo", 1, Down, 1, false, 1},
    {"ForwardContinuingSkipsThePreviousMatch", "xfoo foo", "foo", 1, Down, 1, true, 5},
    {"ForwardContinuingPastTheLastMatchFindsNothing", "xfoo foo", "foo", 5, Down, 1, true, -1},
    {"ForwardContinuingFindsAnOverlappingOccurrence", "aaaa", "aa", 1, Down, 1, true, 2},
    {"ForwardFromTheEndFindsNothing", "abc", "c", 3, Down, 1, false, -1},
    {"ForwardPatternLongerThanTheText", "ab", "abc", 0, Down, 0, false, -1},
    {"BackwardTakesTheOccurrenceDirectlyBeforeTheCaret", "aXa", "a", 3, Up, 1, false, 2},
    {"BackwardFromCaretOneFindsTheStartOfTheText", "ab", "a", 1, Up, 1, false, 0},
    {"BackwardFromCaretZeroFindsNothing", "ab", "a", 0, Up, 1, false, -1},
    {"BackwardSkipsAnOccurrenceAtTheCaret", "foo foo", "foo", 4, Up, 1, false, 0},
    {"BackwardContinuingFindsThePreviousMatch", "foo foo foo", "foo", 8, Up, 0, true, 4},
    {"BackwardContinuingFromTheFirstMatchFindsNothing", "foo foo", "FOO", 0, Up, 0, true, -1},
    {"BackwardMatchMayRunPastTheCaret", "xabc", "abc", 2, Up, 1, false, 1},
    {"BackwardCandidateCutShortByTheEndNeverMatches", "abca", "ab", 4, Up, 1, false, 0},
    {"AnyDirectionButOneIsBackward", "a a", "a", 3, 7, 1, false, 2},
    {"AnyNonZeroMatchCaseMatchesCase", "A a", "a", 0, Down, -1, false, 2},
    {"EmptyFindTextFindsNothing", "abc", "", 0, Down, 1, false, -1},
    {"SharpSIsNotSS", QStringLiteral("STRASSE straße"), QStringLiteral("straße"), 0, Down, 0, false, 8},
    {"SharpSNeverMatchesDoubleS", QStringLiteral("STRASSE"), QStringLiteral("straße"), 0, Down, 0, false, -1},
    {"LongSMatchesS", QStringLiteral("ſoo"), QStringLiteral("SOO"), 0, Down, 0, false, 0},
    {"LongSMatchedCaseDoesNotMatchS", QStringLiteral("ſoo soo"), QStringLiteral("soo"), 0, Down, 1, false, 4},
    {"DotlessIFoldsToI", QStringLiteral("xıd"), QStringLiteral("ID"), 0, Down, 0, false, 1},
    {"DottedCapitalIStaysApart", QStringLiteral("İd id"), QStringLiteral("id"), 0, Down, 0, false, 3},
    {"KelvinSignIsNotK", QStringLiteral("\u212Aey key"), QStringLiteral("key"), 0, Down, 0, false, 4},
    {"FinalSigmaFoldsToSigma", QStringLiteral("ος ΟΣ"), QStringLiteral("ΟΣ"), 0, Down, 0, false, 0},
    {"SupplementaryLettersFoldAsPairs", QStringLiteral("x\U00010428y"), QStringLiteral("\U00010400Y"), 0, Down, 0, false, 1},
    {"SupplementaryBackward", QStringLiteral("\U00010428 \U00010400"), QStringLiteral("\U00010428"), 5, Up, 0, false, 3},
    {"NulCharactersAreOrdinary", QString::fromUtf16(u"a\0b\0c", 5), QString::fromUtf16(u"\0C", 2), 0, Down, 0, false, 3},
};

INSTANTIATE_TEST_SUITE_P(Edges, FindItCases, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FindIt, PositionsBeyondSixteenBitsWork)
{
    QString text(100'000, u'x');
    text.replace(40'000, 3, QStringLiteral("Foo"));
    text.replace(90'000, 3, QStringLiteral("foo"));
    EXPECT_EQ(FindIt(text, 35'000, settingsFor("FOO", Down, 0)), 40'000);
    EXPECT_EQ(FindIt(text, 40'000, settingsFor("FOO", Down, 0, 40'000, false)), 90'000);
    EXPECT_EQ(FindIt(text, 99'000, settingsFor("foo", Up, 1)), 90'000);
    EXPECT_EQ(FindIt(text, 90'000, settingsFor("FOO", Up, 0, 90'000, false)), 40'000);
}

TEST(FoldCase, KeepsLengthAndMapsEachCharacterOnItsOwn)
{
    const QString in = QStringLiteral("aß\u017F\u0131i\u0130\u212Ak\u01C6\U00010428\u03C2");
    const QString out = foldCase(in);
    ASSERT_EQ(out.size(), in.size());
    EXPECT_EQ(out, QStringLiteral("Aß" "SII\u0130\u212AK\u01C4\U00010400\u03A3"));
    // Lone surrogates stay as they are.
    const QString lone = QString(QChar(0xD801)) + u'a' + QChar(0xDC28);
    EXPECT_EQ(foldCase(lone), QString(QChar(0xD801)) + u'A' + QChar(0xDC28));
}

// ---- The search against a plain model: fold everything up front, then try each position in turn. ----

QString modelFold(const QString& s)
{
    QString out = s;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            const char32_t up = QChar::toUpper(QChar::surrogateToUcs4(c, s[i + 1]));
            if (up > 0xFFFF) {
                out[i] = QChar(QChar::highSurrogate(up));
                out[i + 1] = QChar(QChar::lowSurrogate(up));
            }
            ++i;
        } else if (!c.isSurrogate()) {
            out[i] = QChar(static_cast<char16_t>(QChar::toUpper(char32_t{c.unicode()})));
        }
    }
    return out;
}

qsizetype modelFind(const QString& text, qsizetype caret, const SearchSettings& s)
{
    if (s.SearchText.isEmpty())
        return -1;
    const QString subject = s.SearchMatchCase ? text : modelFold(text);
    const QString pattern = s.SearchMatchCase ? s.SearchText : modelFold(s.SearchText);
    const auto matchesAt = [&](qsizetype i) { return subject.mid(i, pattern.size()) == pattern; };
    if (s.SearchDirection == 1) {
        const bool continuing = caret == s.SearchLastPos && !s.SearchTextFresh;
        for (qsizetype i = caret + (continuing ? 1 : 0); i + pattern.size() <= subject.size(); ++i)
            if (matchesAt(i))
                return i;
        return -1;
    }
    for (qsizetype i = caret - 1; i >= 0; --i)
        if (matchesAt(i))
            return i;
    return -1;
}

TEST(FindIt, AgreesWithAPlainModel)
{
    // Letters whose case mapping is unusual, a supplementary letter pair, a lone surrogate and NUL.
    const QList<QString> pieces = {
        "a", "A", "b", "B", "s", "S", "k", "K", "i", "I", " ", "\r\n",
        QStringLiteral("ß"), QStringLiteral("ẞ"), QStringLiteral("ſ"), QStringLiteral("\u212A"),
        QStringLiteral("ı"), QStringLiteral("İ"), QStringLiteral("σ"), QStringLiteral("ς"), QStringLiteral("Σ"),
        QStringLiteral("ǅ"), QStringLiteral("ǆ"), QStringLiteral("\U00010428"), QStringLiteral("\U00010400"),
        QString(QChar(0xD801)), QString(QChar(u'\0')),
    };
    std::mt19937 rng(20260611);
    const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    const auto randomText = [&](int maxPieces) {
        QString s;
        for (int k = pick(maxPieces + 1); k > 0; --k)
            s += pieces[pick(int(pieces.size()))];
        return s;
    };

    int found = 0;
    constexpr int rounds = 20000;
    for (int round = 0; round < rounds; ++round) {
        const QString text = randomText(pick(4) == 0 ? 200 : 40);
        QString find = pick(2) == 0 || text.isEmpty() ? randomText(3) : text.mid(pick(int(text.size())), 1 + pick(4));
        if (find.isEmpty())
            find = pieces[pick(int(pieces.size()))];
        if (pick(3) == 0)
            find = pick(2) ? find.toLower() : find.toUpper();
        const qsizetype caret = pick(int(text.size()) + 1);
        const int matchCase = pick(3) == 0 ? 1 : 0;
        const int direction = pick(2);
        const qsizetype lastPos = pick(2) ? caret : pick(int(text.size()) + 1);
        const SearchSettings s = settingsFor(find, direction, matchCase, lastPos, pick(2) == 0);

        const qsizetype expected = modelFind(text, caret, s);
        const qsizetype actual = FindIt(text, caret, s);
        if (expected >= 0)
            ++found;
        ASSERT_EQ(actual, expected) << "round " << round << " text " << text.toStdString() << " find "
                                    << find.toStdString() << " caret " << caret << " case " << matchCase
                                    << " direction " << direction << " lastPos " << lastPos;
    }
    // The draw must exercise both outcomes.
    EXPECT_GT(found, rounds / 4);
    EXPECT_LT(found, rounds * 3 / 4);
}

} // namespace

namespace {
TEST(ReplaceAllIn, ReplacesEachMatchLeftToRightWithoutOverlap)
{
    struct Row {
        const char* name;
        QString text, find, replacement;
        int matchCase;
        qsizetype count, from, to;
        QString span;
    };
    const QList<Row> rows = {
        {"none", "abc", "x", "y", 0, 0, 0, 0, ""},
        {"both cases", "Foo foo FOO bar", "foo", "x", 0, 3, 0, 11, "x x x"},
        {"case matched", "Foo foo FOO bar", "foo", "x", 1, 1, 4, 7, "x"},
        {"no overlap", "aaaaa", "aa", "b", 1, 2, 0, 4, "bb"},
        {"holds the find text", "a.a", "a", "aa", 1, 2, 0, 3, "aa.aa"},
        {"deleted", "xaxbx", "x", "", 1, 3, 0, 5, "ab"},
        {"folded letters", QStringLiteral("Straße STRASSE"), QStringLiteral("ß"), "ss", 0, 1, 4, 5, "ss"},
        {"wide characters", QStringLiteral("\U0001F600é\U0001F600x\U0001F600"), QStringLiteral("\U0001F600"),
         QStringLiteral("é"), 1, 3, 0, 8, QStringLiteral("éééxé")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Search::Replacement r = Search::replaceAllIn(row.text, settingsFor(row.find, Up, row.matchCase, 7, false),
                                                           row.replacement);
        EXPECT_EQ(r.count, row.count);
        EXPECT_EQ(r.from, row.from);
        EXPECT_EQ(r.to, row.to);
        EXPECT_EQ(r.text, row.span);

        // The same replacement built from the text's UTF-8, with the span in bytes.
        const QByteArray utf8 = row.text.toUtf8();
        const Search::Utf8Replacement u = Search::replaceAllInUtf8(
            row.text, utf8, settingsFor(row.find, Up, row.matchCase, 7, false), row.replacement);
        EXPECT_TRUE(u.valid);
        EXPECT_EQ(u.count, row.count);
        if (u.count > 0) {
            EXPECT_EQ(u.fromByte, row.text.first(u.from).toUtf8().size());
            EXPECT_EQ(u.toByte, row.text.first(u.to).toUtf8().size());
            EXPECT_EQ(utf8.first(u.fromByte) + u.bytes + utf8.sliced(u.toByte),
                      (row.text.first(r.from) + r.text + row.text.sliced(r.to)).toUtf8());
        }
    }
}

TEST(ReplaceAllIn, KeepsAPositionWithTheTextAroundIt)
{
    // "é" is two bytes, "x" becomes "yyy": each replacement before a position moves it two bytes on.
    const QString text = QStringLiteral("éx-x-é");
    const QByteArray utf8 = text.toUtf8(); // é x - x - é at bytes 0 2 3 4 5 6
    const SearchSettings settings = settingsFor("x", Up, 1, 0, false);
    const struct {
        qsizetype keep, kept;
    } rows[] = {{0, 0}, {2, 2}, {3, 5}, {4, 6}, {5, 9}, {8, 12}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.keep);
        EXPECT_EQ(Search::replaceAllInUtf8(text, utf8, settings, u"yyy", row.keep).kept, row.kept);
    }
    // The same when the span is widened to the whole text.
    EXPECT_EQ(Search::replaceAllInUtf8(u"x-x.", "x-x.", settings, u"yyy", 3).kept, 7);
    EXPECT_FALSE(Search::replaceAllInUtf8(text, QByteArray("\xff"), settings, u"yyy").valid);
}
} // namespace
