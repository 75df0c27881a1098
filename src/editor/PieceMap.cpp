#include "PieceMap.h"

#include "LongLines.h"

#include <algorithm>
#include <cstddef>

namespace {
// How many elements at the start of v pass before(element, index), which holds for a run at the start.
template<typename T, typename Before>
qsizetype leadingCount(const std::vector<T>& v, Before before)
{
    qsizetype low = 0;
    qsizetype high = static_cast<qsizetype>(v.size());
    while (low < high) {
        const qsizetype mid = (low + high) / 2;
        if (before(v[static_cast<std::size_t>(mid)], mid))
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}
} // namespace

void PieceMap::assign(std::vector<qsizetype> positions, std::vector<int> lines, std::vector<qsizetype> offsets)
{
    positions_ = std::move(positions);
    lines_ = std::move(lines);
    offsets_ = std::move(offsets);
}

void PieceMap::clear()
{
    positions_.clear();
    lines_.clear();
    offsets_.clear();
}

PieceMap PieceMap::of(QByteArrayView control)
{
    std::vector<qsizetype> positions;
    std::vector<int> lines;
    std::vector<qsizetype> offsets;
    int line = 0;
    qsizetype units = 0; // UTF-16 units of the text so far
    const QByteArrayView separator(LongLines::Separator, LongLines::SeparatorBytes);
    for (qsizetype at = 0; at < control.size();) {
        if (control.sliced(at).startsWith(separator)) {
            positions.push_back(at);
            lines.push_back(line);
            offsets.push_back(units);
            ++line;
            at += separator.size();
            continue;
        }
        const auto byte = static_cast<unsigned char>(control[at]);
        if (byte == '\n' || (byte == '\r' && (at + 1 == control.size() || control[at + 1] != '\n')))
            ++line;
        // A lead byte starts a character; four-byte characters take two units.
        if ((byte & 0xC0) != 0x80)
            units += byte >= 0xF0 ? 2 : 1;
        ++at;
    }
    PieceMap map;
    map.assign(std::move(positions), std::move(lines), std::move(offsets));
    return map;
}

qsizetype PieceMap::before(qsizetype position) const
{
    return std::lower_bound(positions_.begin(), positions_.end(), position) - positions_.begin();
}

qsizetype PieceMap::textBytesIn(qsizetype position, qsizetype length) const
{
    return length - LongLines::SeparatorBytes * (before(position + length) - before(position));
}

qsizetype PieceMap::textByte(qsizetype position) const
{
    return position - LongLines::SeparatorBytes * before(position);
}

qsizetype PieceMap::controlPosition(qsizetype textByte) const
{
    return textByte
        + LongLines::SeparatorBytes
        * leadingCount(positions_, [&](qsizetype at, qsizetype i) { return at - LongLines::SeparatorBytes * i < textByte; });
}

int PieceMap::textLine(int controlLine) const
{
    return controlLine - static_cast<int>(std::lower_bound(lines_.begin(), lines_.end(), controlLine) - lines_.begin());
}

int PieceMap::controlLine(int line) const
{
    return line + static_cast<int>(leadingCount(lines_, [&](int at, qsizetype i) { return at - i < line; }));
}

qsizetype PieceMap::controlOffset(qsizetype offset) const
{
    if (offset <= 0)
        return offset;
    return offset + (std::lower_bound(offsets_.begin(), offsets_.end(), offset) - offsets_.begin());
}
