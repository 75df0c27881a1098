#include "ConsoleText.h"

#include <QStringList>

namespace {
constexpr char16_t Escape = 0x1b;

QColor basicColour(int index)
{
    // The usual terminal palette, darker where it would be too pale on the panel's light paper: eight normal
    // colours, then their bright forms.
    static const QRgb palette[16] = {0x000000, 0xcd0000, 0x00a000, 0xa07800, 0x0000ee, 0xcd00cd, 0x00a0a0, 0x808080,
                                     0x606060, 0xff0000, 0x00c000, 0xb08800, 0x5c5cff, 0xff00ff, 0x00b0b0, 0x404040};
    return QColor(palette[index & 15]);
}

QColor indexedColour(int index)
{
    if (index < 16)
        return basicColour(index);
    if (index < 232) {
        const int cube = index - 16;
        const auto level = [](int value) { return value == 0 ? 0 : 55 + 40 * value; };
        return QColor(level(cube / 36), level(cube / 6 % 6), level(cube % 6));
    }
    const int grey = 8 + 10 * (index - 232);
    return QColor(grey, grey, grey);
}

// The colour of a 38/48 sequence starting at params[at] (5;n or 2;r;g;b); at moves past it.
QColor extendedColour(const QList<int>& params, qsizetype& at)
{
    if (at + 1 < params.size() && params[at] == 5) {
        const int index = params[at + 1];
        at += 1;
        return index >= 0 && index < 256 ? indexedColour(index) : QColor();
    }
    if (at + 3 < params.size() && params[at] == 2) {
        const QColor colour(params[at + 1] & 255, params[at + 2] & 255, params[at + 3] & 255);
        at += 3;
        return colour;
    }
    return QColor();
}

void applySgr(const QList<int>& params, ConsoleStyle& style)
{
    if (params.isEmpty()) {
        style = ConsoleStyle();
        return;
    }
    for (qsizetype i = 0; i < params.size(); ++i) {
        const int p = params[i];
        if (p == 0)
            style = ConsoleStyle();
        else if (p == 1)
            style.bold = true;
        else if (p == 22)
            style.bold = false;
        else if (p == 4)
            style.underline = true;
        else if (p == 24)
            style.underline = false;
        else if (p >= 30 && p <= 37)
            style.foreground = basicColour(p - 30);
        else if (p >= 90 && p <= 97)
            style.foreground = basicColour(p - 90 + 8);
        else if (p == 39)
            style.foreground = QColor();
        else if (p >= 40 && p <= 47)
            style.background = basicColour(p - 40);
        else if (p >= 100 && p <= 107)
            style.background = basicColour(p - 100 + 8);
        else if (p == 49)
            style.background = QColor();
        else if (p == 38 || p == 48) {
            ++i;
            const QColor colour = extendedColour(params, i);
            (p == 38 ? style.foreground : style.background) = colour;
        }
    }
}

// The length of the escape sequence at text[at] (which is ESC), or -1 when the text ends inside it.
qsizetype sequenceLength(QStringView text, qsizetype at)
{
    if (at + 1 >= text.size())
        return -1;
    const char16_t kind = text[at + 1].unicode();
    if (kind == u'[') {
        for (qsizetype i = at + 2; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (c >= 0x40 && c <= 0x7e)
                return i - at + 1;
        }
        return -1;
    }
    if (kind == u']' || kind == u'P' || kind == u'_' || kind == u'^') {
        // A string ended by BEL or by ESC backslash.
        for (qsizetype i = at + 2; i < text.size(); ++i) {
            if (text[i] == u'\a')
                return i - at + 1;
            if (text[i] == Escape && i + 1 < text.size() && text[i + 1] == u'\\')
                return i - at + 2;
        }
        return -1;
    }
    // ESC ( B and the like take one more character.
    if ((kind == u'(' || kind == u')' || kind == u'#') )
        return at + 2 < text.size() ? 3 : -1;
    return 2;
}
} // namespace

QList<StyledText> parseConsoleText(QStringView text, ConsoleStyle& style)
{
    QList<StyledText> result;
    QString current;
    const auto flush = [&] {
        if (current.isEmpty())
            return;
        if (!result.isEmpty() && result.back().style == style)
            result.back().text += current;
        else
            result.push_back({current, style});
        current.clear();
    };
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c != Escape) {
            // Other control characters (a bell, a backspace) have nothing to show.
            if (c.unicode() >= 0x20 || c == u'\t')
                current += c;
            ++i;
            continue;
        }
        const qsizetype length = sequenceLength(text, i);
        if (length < 0)
            break;
        if (text[i + 1] == u'[' && text[i + length - 1] == u'm') {
            const QStringView body = text.mid(i + 2, length - 3);
            QList<int> params;
            bool valid = true;
            if (!body.isEmpty()) {
                for (const QStringView part : body.split(u';')) {
                    bool ok = true;
                    params.push_back(part.isEmpty() ? 0 : part.toInt(&ok));
                    valid = valid && ok;
                }
            }
            if (valid) {
                flush();
                applySgr(params, style);
            }
        }
        i += length;
    }
    flush();
    return result;
}

qsizetype consolePieceLength(QStringView text, qsizetype maxLength)
{
    if (text.size() <= maxLength)
        return text.size();
    const qsizetype escape = text.first(maxLength).lastIndexOf(Escape);
    if (escape > 0) {
        const qsizetype length = sequenceLength(text, escape);
        if (length < 0 || escape + length > maxLength)
            return escape;
    }
    return maxLength;
}
