#include "FileCodec.h"

#include <array>
#include <cstring>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
// Windows-1252 bytes 80..9F. The five unassigned bytes map to the C1 control of the same number.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t windows1252ToUnicode(unsigned char byte)
{
    return (byte >= 0x80 && byte <= 0x9F) ? kHighControls[byte - 0x80] : char16_t(byte);
}

// The Windows-1252 byte for a code point, or -1 when the encoding has none.
int unicodeToWindows1252(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return int(cp);
    for (int i = 0; i < 32; ++i)
        if (kHighControls[std::size_t(i)] == cp)
            return 0x80 + i;
    return -1;
}

void appendUtf8(QByteArray& out, char32_t cp)
{
    if (cp < 0x80) {
        out.append(char(cp));
    } else if (cp < 0x800) {
        out.append(char(0xC0 | (cp >> 6)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.append(char(0xE0 | (cp >> 12)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else {
        out.append(char(0xF0 | (cp >> 18)));
        out.append(char(0x80 | ((cp >> 12) & 0x3F)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    }
}

bool isUtf16(TextEncoding encoding)
{
    return encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE;
}

char16_t utf16Unit(const unsigned char* data, bool bigEndian)
{
    return bigEndian ? char16_t(data[0] << 8 | data[1]) : char16_t(data[1] << 8 | data[0]);
}

// The UTF-8 for the UTF-16 code units after the byte order mark, or nothing when they are not
// well-formed UTF-16 (an odd byte at the end, a surrogate without its partner): such a file is not
// taken for UTF-16, since saving it again could not give its bytes back.
std::optional<QByteArray> utf16ToUtf8(const QByteArray& bytes, bool bigEndian)
{
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype units = bytes.size() / 2;
    QByteArray out(units * 3, Qt::Uninitialized); // no unit makes more than three bytes, a pair four
    char* o = out.data();
    for (qsizetype i = 0; i < units; ++i) {
        char32_t cp = utf16Unit(data + 2 * i, bigEndian);
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            if (cp >= 0xDC00 || i + 1 == units)
                return std::nullopt;
            const char16_t low = utf16Unit(data + 2 * (i + 1), bigEndian);
            if (low < 0xDC00 || low > 0xDFFF)
                return std::nullopt;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            *o++ = char(cp);
        } else if (cp < 0x800) {
            *o++ = char(0xC0 | (cp >> 6));
            *o++ = char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *o++ = char(0xE0 | (cp >> 12));
            *o++ = char(0x80 | ((cp >> 6) & 0x3F));
            *o++ = char(0x80 | (cp & 0x3F));
        } else {
            *o++ = char(0xF0 | (cp >> 18));
            *o++ = char(0x80 | ((cp >> 12) & 0x3F));
            *o++ = char(0x80 | ((cp >> 6) & 0x3F));
            *o++ = char(0x80 | (cp & 0x3F));
        }
    }
    out.resize(o - out.constData());
    return out;
}

// Length of the valid UTF-8 sequence at data[i], or 0 when it is not one.
int utf8SequenceLength(const unsigned char* data, qsizetype i, qsizetype size, char32_t* codePoint)
{
    const unsigned char lead = data[i];
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    }
    int length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2; cp = lead & 0x1F; minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3; cp = lead & 0x0F; minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4; cp = lead & 0x07; minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > size)
        return 0;
    for (int k = 1; k < length; ++k) {
        const unsigned char c = data[i + k];
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    *codePoint = cp;
    return length;
}

// The UTF-16 file bytes, byte order mark first, for the editor's UTF-8 text.
QByteArray utf8ToUtf16(const QByteArray& text, bool bigEndian)
{
    QByteArray out(2 * text.size() + 2, Qt::Uninitialized); // a unit per byte at most; a pair per four
    char* o = out.data();
    const auto put = [&o, bigEndian](char16_t unit) {
        *o++ = char(bigEndian ? unit >> 8 : unit & 0xFF);
        *o++ = char(bigEndian ? unit & 0xFF : unit >> 8);
    };
    put(0xFEFF);
    const auto* data = reinterpret_cast<const unsigned char*>(text.constData());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size;) {
        char32_t cp;
        int length = utf8SequenceLength(data, i, size, &cp);
        if (length == 0) { // cannot happen for the editor's text; keep the byte as the character it is in Latin-1
            cp = data[i];
            length = 1;
        }
        if (cp >= 0x10000) {
            put(char16_t(0xD800 + ((cp - 0x10000) >> 10)));
            put(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            put(char16_t(cp));
        }
        i += length;
    }
    out.resize(o - out.constData());
    return out;
}
} // namespace

QByteArray lineEndBytes(LineEnd lineEnd)
{
    switch (lineEnd) {
    case LineEnd::LF: return QByteArrayLiteral("\n");
    case LineEnd::CR: return QByteArrayLiteral("\r");
    case LineEnd::CRLF: break;
    }
    return QByteArrayLiteral("\r\n");
}

bool isValidUtf8(const char* data, qsizetype size)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    qsizetype i = 0;
    while (i < size) {
        // Runs of ASCII are the common case: skip them eight bytes at a time.
        while (i + 8 <= size) {
            quint64 word;
            std::memcpy(&word, bytes + i, 8);
            if (word & 0x8080808080808080ull)
                break;
            i += 8;
        }
        if (i >= size)
            break;
        char32_t cp;
        const int length = utf8SequenceLength(bytes, i, size, &cp);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

namespace {
struct LineEndCounts {
    qsizetype cr = 0;   // every CR, those of CRLF pairs included
    qsizetype lf = 0;   // every LF, those of CRLF pairs included
    qsizetype crlf = 0; // CR directly followed by LF
};

#if defined(__SSE2__)
qsizetype sumOfBytes(__m128i counts)
{
    const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
    return qsizetype(_mm_cvtsi128_si64(sums)) + qsizetype(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
}

// Sixteen bytes at a time, counting in byte lanes that are emptied before they can overflow: a big
// file is scanned on every load. Returns how many bytes it covered; each CR among them has had its
// following byte looked at.
qsizetype countLineEndsWide(const char* data, qsizetype size, LineEndCounts& counts)
{
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    qsizetype i = 0;
    while (i + 17 <= size) {
        __m128i crLanes = _mm_setzero_si128(), lfLanes = _mm_setzero_si128(), pairLanes = _mm_setzero_si128();
        for (int blocks = 0; blocks < 255 && i + 17 <= size; ++blocks, i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 1));
            const __m128i isCr = _mm_cmpeq_epi8(bytes, cr);
            // A matching lane is all ones, that is -1: subtracting it counts one.
            crLanes = _mm_sub_epi8(crLanes, isCr);
            lfLanes = _mm_sub_epi8(lfLanes, _mm_cmpeq_epi8(bytes, lf));
            pairLanes = _mm_sub_epi8(pairLanes, _mm_and_si128(isCr, _mm_cmpeq_epi8(next, lf)));
        }
        counts.cr += sumOfBytes(crLanes);
        counts.lf += sumOfBytes(lfLanes);
        counts.crlf += sumOfBytes(pairLanes);
    }
    return i;
}
#else
qsizetype countLineEndsWide(const char*, qsizetype, LineEndCounts&)
{
    return 0;
}
#endif
} // namespace

LineEnd dominantLineEnd(const QByteArray& text, LineEnd fallback)
{
    const char* data = text.constData();
    const qsizetype size = text.size();
    LineEndCounts counts;
    for (qsizetype i = countLineEndsWide(data, size, counts); i < size; ++i) {
        counts.cr += data[i] == '\r';
        counts.lf += data[i] == '\n';
        counts.crlf += data[i] == '\r' && i + 1 < size && data[i + 1] == '\n';
    }
    const qsizetype crlf = counts.crlf;
    const qsizetype lf = counts.lf - crlf;
    const qsizetype cr = counts.cr - crlf;
    if (crlf == 0 && lf == 0 && cr == 0)
        return fallback;
    if (crlf >= lf && crlf >= cr)
        return LineEnd::CRLF;
    return lf >= cr ? LineEnd::LF : LineEnd::CR;
}

DecodedFile decodeFile(const QByteArray& bytes)
{
    DecodedFile result;
    static const QByteArray bom("\xEF\xBB\xBF");
    const bool littleEndianMark = bytes.startsWith("\xFF\xFE");
    if (littleEndianMark || bytes.startsWith("\xFE\xFF")) {
        if (std::optional<QByteArray> text = utf16ToUtf8(bytes.mid(2), !littleEndianMark)) {
            result.format.encoding = littleEndianMark ? TextEncoding::Utf16LE : TextEncoding::Utf16BE;
            result.format.bom = true;
            result.utf8 = std::move(*text);
            result.format.lineEnd = dominantLineEnd(result.utf8, LineEnd::CRLF);
            return result;
        }
    }
    if (isValidUtf8(bytes.constData(), bytes.size())) {
        result.format.encoding = TextEncoding::Utf8;
        result.format.bom = bytes.startsWith(bom);
        result.utf8 = result.format.bom ? bytes.mid(bom.size()) : bytes;
    } else {
        result.format.encoding = TextEncoding::Windows1252;
        result.utf8.reserve(bytes.size() + bytes.size() / 8);
        for (const char c : bytes)
            appendUtf8(result.utf8, windows1252ToUnicode(static_cast<unsigned char>(c)));
    }
    result.format.lineEnd = dominantLineEnd(result.utf8, LineEnd::CRLF);
    return result;
}

EncodedFile encodeFile(const QByteArray& utf8, const FileFormat& format)
{
    EncodedFile result;
    QByteArray text = utf8;
    if (text.isEmpty() || (!text.endsWith('\n') && !text.endsWith('\r')))
        text += lineEndBytes(format.lineEnd);

    if (format.encoding == TextEncoding::Utf8) {
        result.bytes = format.bom ? QByteArray("\xEF\xBB\xBF") + text : text;
        return result;
    }

    if (isUtf16(format.encoding)) {
        result.bytes = utf8ToUtf16(text, format.encoding == TextEncoding::Utf16BE);
        return result;
    }

    result.bytes.reserve(text.size());
    const auto* data = reinterpret_cast<const unsigned char*>(text.constData());
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        char32_t cp;
        int length = utf8SequenceLength(data, i, size, &cp);
        if (length == 0) { // cannot happen for the editor's text; keep the byte rather than lose it
            cp = data[i];
            length = 1;
        }
        const int byte = unicodeToWindows1252(cp);
        if (byte < 0) {
            if (result.unmappable++ == 0)
                result.firstUnmappable = QString::fromUcs4(&cp, 1);
            result.bytes.append('?');
        } else {
            result.bytes.append(char(byte));
        }
        i += length;
    }
    return result;
}
