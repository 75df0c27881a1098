#include "LongLines.h"

#include <cstring>

namespace LongLines {
namespace {
bool isLineEnd(char c) { return c == '\n' || c == '\r'; }
bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// A cut at most at limit, after the end of a statement or block near it if there is one, else after a
// space: the lexer takes a piece's end as a line's, and a cut inside a string or a word would show it
// in the wrong colours.
qsizetype goodCut(const char* data, qsizetype start, qsizetype limit)
{
    constexpr qsizetype Reach = 512;
    qsizetype space = -1;
    for (qsizetype at = limit; at > start + 1 && at > limit - Reach; --at) {
        const char before = data[at - 1];
        if (before == ';' || before == '}' || before == '{')
            return at;
        if (before == ' ' && space < 0)
            space = at;
    }
    return space > 0 ? space : limit;
}
} // namespace

bool hasUnicodeLineEnds(QByteArrayView utf8)
{
    const char* data = utf8.data();
    const qsizetype size = utf8.size();
    for (qsizetype i = 0; i + 1 < size; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (c == 0xC2 && static_cast<unsigned char>(data[i + 1]) == 0x85)
            return true;
        if (c == 0xE2 && i + 2 < size && static_cast<unsigned char>(data[i + 1]) == 0x80
            && (static_cast<unsigned char>(data[i + 2]) & 0xFE) == 0xA8)
            return true;
    }
    return false;
}

bool needsPieces(QByteArrayView utf8)
{
    const char* data = utf8.data();
    const qsizetype size = utf8.size();
    bool longLine = false;
    qsizetype lineStart = 0;
    while (lineStart < size && !longLine) {
        // memchr finds the line feeds fast; a run without one may still hold carriage returns.
        const void* feed = std::memchr(data + lineStart, '\n', static_cast<size_t>(size - lineStart));
        const qsizetype end = feed ? static_cast<const char*>(feed) - data : size;
        if (end - lineStart > LongLine) {
            qsizetype run = 0;
            for (qsizetype i = lineStart; i < end && !longLine; ++i)
                longLine = (run = data[i] == '\r' ? 0 : run + 1) > LongLine;
        }
        lineStart = end + 1;
    }
    return longLine && !hasUnicodeLineEnds(utf8);
}

QByteArray makePieces(QByteArrayView utf8)
{
    const char* data = utf8.data();
    const qsizetype size = utf8.size();
    QByteArray out;
    out.reserve(size + size / PieceBytes * SeparatorBytes + SeparatorBytes);
    qsizetype i = 0;
    while (i < size) {
        qsizetype end = i;
        while (end < size && !isLineEnd(data[end]))
            ++end;
        if (end - i > LongLine) {
            while (end - i > PieceBytes) {
                qsizetype cut = goodCut(data, i, i + PieceBytes);
                while (cut > i + 1 && isContinuation(data[cut]))
                    --cut;
                out.append(data + i, cut - i);
                out.append(Separator, SeparatorBytes);
                i = cut;
            }
        }
        while (end < size && isLineEnd(data[end]))
            ++end;
        out.append(data + i, end - i);
        i = end;
    }
    return out;
}

QByteArray withoutPieces(QByteArrayView utf8)
{
    QByteArray out;
    out.reserve(utf8.size());
    const QByteArrayView separator(Separator, SeparatorBytes);
    qsizetype from = 0;
    for (qsizetype at = utf8.indexOf(separator); at >= 0; at = utf8.indexOf(separator, from)) {
        out.append(utf8.sliced(from, at - from));
        from = at + SeparatorBytes;
    }
    out.append(utf8.sliced(from));
    return out;
}
} // namespace LongLines
