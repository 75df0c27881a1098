#pragma once

#include <QByteArrayView>

#include <vector>

// Where the separators of a text shown in pieces stand (see LongLines.h), and the conversions
// between the control's positions and lines, which count them, and the text's, which do not. The
// control finds the separators (it knows where its buffer's gap is); everything else is here.
class PieceMap {
public:
    // positions: the control's byte positions of the separators, ascending; lines: the control's
    // line each one ends; offsets: the UTF-16 offset in the text where each one stands.
    void assign(std::vector<qsizetype> positions, std::vector<int> lines, std::vector<qsizetype> offsets);
    void clear();
    // The map of the control's bytes (the text with its separators), found by reading them all.
    static PieceMap of(QByteArrayView control);

    qsizetype count() const { return static_cast<qsizetype>(positions_.size()); }
    // Separators before the control's byte position.
    qsizetype before(qsizetype position) const;
    // The control's bytes [position, position + length) less the separators among them.
    qsizetype textBytesIn(qsizetype position, qsizetype length) const;
    qsizetype textByte(qsizetype position) const;
    // Where a separator stands, the place before it.
    qsizetype controlPosition(qsizetype textByte) const;
    int textLine(int controlLine) const;
    // The control's line where the text's line starts.
    int controlLine(int line) const;
    // The offset in the control's UTF-16 units (separators counted) of an offset of the text; where
    // a separator stands, the place before it.
    qsizetype controlOffset(qsizetype offset) const;

private:
    std::vector<qsizetype> positions_;
    std::vector<int> lines_;
    std::vector<qsizetype> offsets_;
};
