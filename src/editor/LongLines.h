#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Very long lines are shown in pieces. The control lays out a whole line whenever it draws any of it
// or the line changes, at about a microsecond a byte: a minified file of one 5 MB line would freeze the
// window for seconds at every key. So each line longer than LongLine is given to the control with a
// line separator (U+2028, which the control is told to take as a line end) after every PieceBytes or
// so; those separators are the view's, never the text's. Only a text that holds no separator of its
// own (U+2028, U+2029 or U+0085, which the control would also take as line ends) is shown this way.
namespace LongLines {
constexpr qsizetype LongLine = 32 * 1024;
constexpr qsizetype PieceBytes = 2048;
// The separator's UTF-8 bytes; it is one UTF-16 unit.
inline constexpr char Separator[] = "\xE2\x80\xA8";
constexpr qsizetype SeparatorBytes = 3;

// Whether utf8 has a line longer than LongLine and no separator of its own.
bool needsPieces(QByteArrayView utf8);
// Whether utf8 holds a character the control would take as a line end besides CR and LF.
bool hasUnicodeLineEnds(QByteArrayView utf8);
// utf8 with a separator after every PieceBytes of each line longer than LongLine, between characters.
QByteArray makePieces(QByteArrayView utf8);
// utf8 without its separators.
QByteArray withoutPieces(QByteArrayView utf8);
} // namespace LongLines
