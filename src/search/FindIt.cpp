#include "FindIt.h"

#include <QChar>
#include <QHash>

#include <algorithm>
#include <array>

namespace Search {
namespace {

char16_t upperUnit(char16_t unit)
{
    return static_cast<char16_t>(QChar::toUpper(char32_t{unit}));
}

// The unit at i of foldCase(text), without building the folded text.
char16_t foldedUnitAt(QStringView text, qsizetype i)
{
    const char16_t unit = text[i].unicode();
    if (QChar::isHighSurrogate(unit)) {
        if (i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            const char32_t upper = QChar::toUpper(QChar::surrogateToUcs4(unit, text[i + 1].unicode()));
            return QChar::requiresSurrogates(upper) ? QChar::highSurrogate(upper) : unit;
        }
        return unit;
    }
    if (QChar::isLowSurrogate(unit)) {
        if (i > 0 && QChar::isHighSurrogate(text[i - 1].unicode())) {
            const char32_t upper = QChar::toUpper(QChar::surrogateToUcs4(text[i - 1].unicode(), unit));
            return QChar::requiresSurrogates(upper) ? QChar::lowSurrogate(upper) : unit;
        }
        return unit;
    }
    return upperUnit(unit);
}

// Every unit of the text whose folded form is the pattern's first unit: the first-character scan
// looks for these raw units, which is as fast as an ordinary search. Usable when the first unit is
// not a surrogate (a surrogate's folded form depends on its neighbour) and at most four units fold
// to it (two or three for every letter in practice).
struct FirstUnits {
    std::array<char16_t, 4> units{};
    int distinct = 0; // 0: not usable, fall back to comparing folded units
};

FirstUnits unitsFoldingTo(char16_t folded)
{
    if (QChar::isSurrogate(folded))
        return {};
    // Few distinct first letters are ever searched for, so each answer is kept.
    thread_local QHash<char16_t, FirstUnits> known;
    if (const auto it = known.constFind(folded); it != known.cend())
        return *it;

    FirstUnits result;
    for (char32_t u = 0; u < 0x10000; ++u) {
        if (QChar::isSurrogate(u) || upperUnit(static_cast<char16_t>(u)) != folded)
            continue;
        if (result.distinct == int(result.units.size())) {
            result = {};
            break;
        }
        result.units[result.distinct++] = static_cast<char16_t>(u);
    }
    for (int k = result.distinct; k < int(result.units.size()); ++k)
        result.units[k] = result.units[0];
    known.insert(folded, result);
    return result;
}

bool restMatches(QStringView text, QStringView folded, qsizetype at)
{
    for (qsizetype k = 1; k < folded.size(); ++k) {
        if (foldedUnitAt(text, at + k) != folded[k].unicode())
            return false;
    }
    return true;
}

bool isFirstUnit(char16_t c, const std::array<char16_t, 4>& u)
{
    return c == u[0] || c == u[1] || c == u[2] || c == u[3];
}

// First i in [from, last] where foldCase(text) holds folded, or -1.
qsizetype foldedIndexOf(QStringView text, QStringView folded, qsizetype from)
{
    const qsizetype last = text.size() - folded.size();
    if (from > last)
        return -1;
    const FirstUnits first = unitsFoldingTo(folded[0].unicode());
    const char16_t* data = text.utf16();
    for (qsizetype i = from; i <= last; ++i) {
        if (first.distinct == 1) {
            i = text.first(last + 1).indexOf(QChar(first.units[0]), i);
            if (i < 0)
                return -1;
        } else if (first.distinct > 1) {
            while (i <= last && !isFirstUnit(data[i], first.units))
                ++i;
            if (i > last)
                return -1;
        } else if (foldedUnitAt(text, i) != folded[0].unicode()) {
            continue;
        }
        if (restMatches(text, folded, i))
            return i;
    }
    return -1;
}

// Last i in [0, from] where foldCase(text) holds folded, or -1.
qsizetype foldedLastIndexOf(QStringView text, QStringView folded, qsizetype from)
{
    from = std::min(from, text.size() - folded.size());
    const FirstUnits first = unitsFoldingTo(folded[0].unicode());
    const char16_t* data = text.utf16();
    for (qsizetype i = from; i >= 0; --i) {
        if (first.distinct > 0) {
            while (i >= 0 && !isFirstUnit(data[i], first.units))
                --i;
            if (i < 0)
                return -1;
        } else if (foldedUnitAt(text, i) != folded[0].unicode()) {
            continue;
        }
        if (restMatches(text, folded, i))
            return i;
    }
    return -1;
}

} // namespace

QString foldCase(QStringView text)
{
    QString folded(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        folded[i] = QChar(foldedUnitAt(text, i));
    return folded;
}

qsizetype FindIt(QStringView text, qsizetype caret, const SearchSettings& settings)
{
    if (settings.SearchText.isEmpty())
        return -1;
    caret = std::clamp<qsizetype>(caret, 0, text.size());

    // 1. Start offset: when the caret is still where the last search left it and the find text is the
    //    one searched then, that match is behind us and the search moves on past it. Positions are
    //    full-width offsets, so this holds anywhere in the text however long it is.
    const qsizetype startOffset = (caret == settings.SearchLastPos && !settings.SearchTextFresh) ? 1 : 0;

    // 2. Start position.
    const qsizetype start = caret + startOffset;

    // 3. Case handling. Ignoring case folds the pattern here; the text is folded one unit at a time
    //    as it is compared, which spares a copy of the whole document.
    const bool matchCase = settings.SearchMatchCase != 0;
    const QString pattern = matchCase ? settings.SearchText : foldCase(settings.SearchText);

    // 4. Direction: 1 is towards the end, anything else towards the beginning.
    const bool forwards = settings.SearchDirection == 1;

    // 5. Forwards: the first occurrence that begins at the start position or later.
    if (forwards) {
        if (start > text.size())
            return -1;
        return matchCase ? text.indexOf(pattern, start) : foldedIndexOf(text, pattern, start);
    }

    // 6. Backwards: every occurrence that begins before the caret is a candidate, the nearest first,
    //    down to one at the very beginning of the text. The previous match begins at the caret, so
    //    it is already out of reach and the start offset plays no part here. A candidate may run on
    //    past the caret.
    if (caret == 0)
        return -1;
    const qsizetype from = caret - 1;
    if (matchCase)
        return text.lastIndexOf(pattern, from);
    if (pattern.size() > text.size())
        return -1;
    return foldedLastIndexOf(text, pattern, from);
}

} // namespace Search
