#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringView>

// What a program's output looks like in a terminal, reduced to what the output panel can show:
// colour, bold and underline from the SGR escape sequences; every other escape sequence is dropped,
// so no raw escape text ever reaches the panel.
struct ConsoleStyle {
    QColor foreground; // invalid: the channel's own colour
    QColor background; // invalid: none
    bool bold = false;
    bool underline = false;

    bool operator==(const ConsoleStyle&) const = default;
};

struct StyledText {
    QString text;
    ConsoleStyle style;

    bool operator==(const StyledText&) const = default;
};

// The printable text of a line with its styles, starting in style; style becomes the style in force
// after the line. An escape sequence cut off at the end of the text is dropped.
QList<StyledText> parseConsoleText(QStringView text, ConsoleStyle& style);

// Where a long line without its end may be cut into a piece of at most maxLength characters without
// splitting an escape sequence: the length of that piece.
qsizetype consolePieceLength(QStringView text, qsizetype maxLength);
