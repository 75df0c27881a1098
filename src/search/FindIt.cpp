#include "FindIt.h"

#include <QChar>
#include <QHash>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Search {
namespace {

char16_t upperUnit(char16_t unit)
{
    if (unit < 0x80)
        return unit >= u'a' && unit <= u'z' ? char16_t(unit - 0x20) : unit;
    return static_cast<char16_t>(QChar::toUpper(char32_t{unit}));
}

// The unit at i of foldCase(text), without building the folded text.
char16_t foldedUnitAt(QStringView text, qsizetype i)
{
    const char16_t unit = text[i].unicode();
    if (!QChar::isSurrogate(unit))
        return upperUnit(unit);
    if (QChar::isHighSurrogate(unit)) {
        if (i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            const char32_t upper = QChar::toUpper(QChar::surrogateToUcs4(unit, text[i + 1].unicode()));
            return QChar::requiresSurrogates(upper) ? QChar::highSurrogate(upper) : unit;
        }
        return unit;
    }
    if (i > 0 && QChar::isHighSurrogate(text[i - 1].unicode())) {
        const char32_t upper = QChar::toUpper(QChar::surrogateToUcs4(text[i - 1].unicode(), unit));
        return QChar::requiresSurrogates(upper) ? QChar::lowSurrogate(upper) : unit;
    }
    return unit;
}

// The raw units that may stand at one place of a match: the pattern's own unit when case matters,
// otherwise every unit whose folded form is the pattern's folded unit. Telling them by the raw unit
// alone is exact unless the folded unit is a surrogate (a surrogate folds with its neighbour), and
// practical only for a few units (two or three for every letter); otherwise the set is not usable.
struct UnitSet {
    std::array<char16_t, 4> units{};
    bool usable = false;

    bool contains(char16_t c) const { return c == units[0] || c == units[1] || c == units[2] || c == units[3]; }
};

UnitSet exactly(char16_t unit)
{
    UnitSet set;
    set.units.fill(unit);
    set.usable = true;
    return set;
}

UnitSet unitsFoldingTo(char16_t folded)
{
    if (QChar::isSurrogate(folded))
        return {};
    // Few distinct letters are ever searched for, so each answer is kept.
    thread_local QHash<char16_t, UnitSet> known;
    if (const auto it = known.constFind(folded); it != known.cend())
        return *it;

    UnitSet set;
    int count = 0;
    for (char32_t u = 0; u < 0x10000; ++u) {
        if (QChar::isSurrogate(u) || upperUnit(static_cast<char16_t>(u)) != folded)
            continue;
        if (count == int(set.units.size())) {
            count = 0;
            break;
        }
        set.units[count++] = static_cast<char16_t>(u);
    }
    set.usable = count > 0;
    for (int k = count; k < int(set.units.size()); ++k)
        set.units[k] = set.units[0];
    known.insert(folded, set);
    return set;
}

// A search over the text for the pattern: candidates are the places whose first and last units can
// begin and end a match (eight places at a time where the processor allows), each confirmed by a
// full comparison. Looking at both ends rules out nearly every place that merely shares the first
// letter, so long texts are scanned at memory speed.
class Scan {
public:
    Scan(QStringView text, QStringView pattern, bool matchCase) : text_(text), pattern_(pattern), matchCase_(matchCase)
    {
        const char16_t first = pattern.front().unicode();
        const char16_t last = pattern.back().unicode();
        first_ = matchCase ? exactly(first) : unitsFoldingTo(first);
        last_ = matchCase ? exactly(last) : unitsFoldingTo(last);
    }

    // First match at [from, lastStart()], or -1.
    qsizetype forward(qsizetype from) const
    {
        const qsizetype lastStart = text_.size() - pattern_.size();
        qsizetype i = std::max<qsizetype>(from, 0);
        if (!first_.usable || !last_.usable) {
            for (; i <= lastStart; ++i)
                if (matchesAt(i))
                    return i;
            return -1;
        }
#if defined(__SSE2__)
        for (; i + 7 <= lastStart; i += 8) {
            for (unsigned mask = candidates(i); mask != 0; mask &= mask - 1) {
                const qsizetype at = i + std::countr_zero(mask) / 2;
                if (matchesAt(at))
                    return at;
            }
        }
#endif
        for (; i <= lastStart; ++i)
            if (isCandidate(i) && matchesAt(i))
                return i;
        return -1;
    }

    // Last match at [0, from], or -1.
    qsizetype backward(qsizetype from) const
    {
        qsizetype i = std::min(from, text_.size() - pattern_.size());
        if (!first_.usable || !last_.usable) {
            for (; i >= 0; --i)
                if (matchesAt(i))
                    return i;
            return -1;
        }
#if defined(__SSE2__)
        for (; i - 7 >= 0; i -= 8) {
            const qsizetype block = i - 7;
            for (unsigned mask = candidates(block); mask != 0;) {
                const int bit = 31 - std::countl_zero(mask);
                const qsizetype at = block + bit / 2;
                if (matchesAt(at))
                    return at;
                mask &= ~(1u << bit);
            }
        }
#endif
        for (; i >= 0; --i)
            if (isCandidate(i) && matchesAt(i))
                return i;
        return -1;
    }

private:
    bool isCandidate(qsizetype at) const
    {
        return first_.contains(text_[at].unicode()) && last_.contains(text_[at + pattern_.size() - 1].unicode());
    }

    bool matchesAt(qsizetype at) const
    {
        if (matchCase_)
            return text_.sliced(at, pattern_.size()) == pattern_;
        for (qsizetype k = 0; k < pattern_.size(); ++k)
            if (foldedUnitAt(text_, at + k) != pattern_[k].unicode())
                return false;
        return true;
    }

#if defined(__SSE2__)
    static __m128i anyOf(__m128i block, const UnitSet& set)
    {
        const auto eq = [&](int k) { return _mm_cmpeq_epi16(block, _mm_set1_epi16(static_cast<short>(set.units[k]))); };
        return _mm_or_si128(_mm_or_si128(eq(0), eq(1)), _mm_or_si128(eq(2), eq(3)));
    }

    // Candidates among the eight places from at: bit 2k set for place at + k.
    unsigned candidates(qsizetype at) const
    {
        const auto* data = reinterpret_cast<const __m128i*>(text_.utf16() + at);
        const auto* ends = reinterpret_cast<const __m128i*>(text_.utf16() + at + pattern_.size() - 1);
        const __m128i both = _mm_and_si128(anyOf(_mm_loadu_si128(data), first_), anyOf(_mm_loadu_si128(ends), last_));
        return static_cast<unsigned>(_mm_movemask_epi8(both)) & 0x5555u;
    }
#endif

    QStringView text_;
    QStringView pattern_;
    bool matchCase_;
    UnitSet first_;
    UnitSet last_;
};

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
    if (forwards)
        return Scan(text, pattern, matchCase).forward(start);

    // 6. Backwards: every occurrence that begins before the caret is a candidate, the nearest first,
    //    down to one at the very beginning of the text. The previous match begins at the caret, so
    //    it is already out of reach and the start offset plays no part here. A candidate may run on
    //    past the caret.
    if (caret == 0)
        return -1;
    return Scan(text, pattern, matchCase).backward(caret - 1);
}

namespace {
// Calls found(offset) for every match of replaceAllIn's, in order; returns how many there were.
template<typename Found>
qsizetype forEachMatch(QStringView text, const SearchSettings& settings, Found found)
{
    const qsizetype length = settings.SearchText.size();
    if (length == 0)
        return 0;
    const bool matchCase = settings.SearchMatchCase != 0;
    const QString pattern = matchCase ? settings.SearchText : foldCase(settings.SearchText);
    const Scan scan(text, pattern, matchCase);
    qsizetype count = 0;
    for (qsizetype match = scan.forward(0); match >= 0; match = scan.forward(match + length)) {
        found(match);
        ++count;
    }
    return count;
}

// Walks the UTF-8 text forward from byte (which is at UTF-16 offset offset) to the given UTF-16
// offset, and returns the byte there. The text is valid UTF-8, so every character starts with a lead
// byte that tells its length; a 4-byte one is two UTF-16 units.
qsizetype byteAtOffset(QByteArrayView utf8, qsizetype byte, qsizetype offset, qsizetype target)
{
    const auto* data = reinterpret_cast<const unsigned char*>(utf8.data());
    while (offset < target) {
        // Runs of ASCII, eight bytes at a time.
        if (target - offset >= 8 && byte + 8 <= utf8.size()) {
            std::uint64_t word;
            std::memcpy(&word, data + byte, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                byte += 8;
                offset += 8;
                continue;
            }
        }
        const unsigned char lead = data[byte];
        const int bytes = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        byte += bytes;
        offset += bytes == 4 ? 2 : 1;
    }
    return byte;
}
} // namespace

Replacement replaceAllIn(QStringView text, const SearchSettings& settings, QStringView replacement)
{
    Replacement result;
    const qsizetype length = settings.SearchText.size();
    qsizetype next = -1;
    result.count = forEachMatch(text, settings, [&](qsizetype match) {
        if (next < 0) {
            result.from = match;
            // Room for the rest of the text as it is; a longer replacement grows it once or twice.
            result.text.reserve(text.size() - match + std::max<qsizetype>(replacement.size() - length, 0) * 16);
        } else {
            result.text.append(text.sliced(next, match - next));
        }
        result.text.append(replacement);
        next = match + length;
    });
    result.to = result.count > 0 ? next : 0;
    return result;
}

Utf8Replacement replaceAllInUtf8(
    QStringView text, QByteArrayView utf8, const SearchSettings& settings, QStringView replacement, qsizetype keep)
{
    Utf8Replacement result;
    result.kept = keep;
    if (!utf8.isValidUtf8())
        return result;
    result.valid = true;
    std::vector<qsizetype> matches;
    result.count = forEachMatch(text, settings, [&](qsizetype match) { matches.push_back(match); });
    if (matches.empty())
        return result;

    const qsizetype length = settings.SearchText.size();
    const QByteArray newBytes = replacement.toUtf8();
    const qsizetype firstByte = byteAtOffset(utf8, 0, 0, matches.front());
    // A span of most of the text becomes the whole text: the editor control takes in a whole new
    // text much faster than a replacement that leaves a little at each end.
    const bool whole = (matches.back() + length - matches.front()) * 2 > text.size();
    result.from = whole ? 0 : matches.front();
    result.fromByte = whole ? 0 : firstByte;
    // A match takes at least a byte for each of its UTF-16 units, so this is room enough.
    result.bytes.reserve(utf8.size() - result.fromByte + result.count * std::max<qsizetype>(newBytes.size() - length, 0));
    result.bytes.append(utf8.sliced(result.fromByte, firstByte - result.fromByte));
    qsizetype offset = matches.front(); // where the walk through the bytes is, in UTF-16 units and in bytes
    qsizetype byte = firstByte;
    bool kept = keep < firstByte;
    for (const qsizetype match : matches) {
        const qsizetype matchByte = byteAtOffset(utf8, byte, offset, match);
        const qsizetype matchEnd = byteAtOffset(utf8, matchByte, match, match + length);
        // The kept position moves with the text before it; inside a match it goes to its replacement.
        if (!kept && keep < matchEnd) {
            result.kept = result.fromByte + result.bytes.size() + std::min(keep, matchByte) - byte;
            kept = true;
        }
        result.bytes.append(utf8.sliced(byte, matchByte - byte));
        result.bytes.append(newBytes);
        offset = match + length;
        byte = matchEnd;
    }
    if (whole) {
        result.bytes.append(utf8.sliced(byte));
        byte = utf8.size();
        offset = text.size();
    }
    result.to = offset;
    result.toByte = byte;
    if (!kept)
        result.kept = keep + result.fromByte + result.bytes.size() - result.toByte;
    return result;
}

} // namespace Search
