// Positions, lines and ranges in the text's terms (UTF-16 offsets, the text's lines), whatever the
// component counts inside: its UTF-8 bytes and, for a text shown in pieces, its separators.
#include "EditorSurface.h"

#include <Qsci/qsciprinter.h>

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

qsizetype EditorSurface::offsetOfPosition(qsizetype pos) const
{
    return pieces_ ? rawOffset(pos) - breaksBefore(pos) : rawOffset(pos);
}

qsizetype EditorSurface::positionOfOffset(qsizetype offset) const
{
    if (!pieces_ || offset <= 0)
        return rawPosition(offset);
    ensureBreaks();
    return rawPosition(pieceMap_.controlOffset(offset));
}

qsizetype EditorSurface::rawOffset(qsizetype pos) const
{
    ensureCharacterIndex();
    const auto line = static_cast<long>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(pos)));
    const auto lineStart = static_cast<long>(SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)));
    const auto lineOffset = static_cast<qsizetype>(
        SendScintilla(SCI_INDEXPOSITIONFROMLINE, static_cast<unsigned long>(line), SC_LINECHARACTERINDEX_UTF16));
    return lineOffset
        + static_cast<qsizetype>(SendScintilla(SCI_COUNTCODEUNITS, static_cast<unsigned long>(lineStart), static_cast<long>(pos)));
}

void EditorSurface::fillIndicator(int indicator, qsizetype fromOffset, qsizetype toOffset)
{
    const auto from = positionOfOffset(fromOffset);
    const auto to = positionOfOffset(toOffset);
    if (to <= from)
        return;
    SendScintilla(SCI_SETINDICATORCURRENT, static_cast<unsigned long>(indicator));
    SendScintilla(SCI_INDICATORFILLRANGE, static_cast<unsigned long>(from), static_cast<long>(to - from));
}

void EditorSurface::clearIndicator(int indicator)
{
    SendScintilla(SCI_SETINDICATORCURRENT, static_cast<unsigned long>(indicator));
    SendScintilla(SCI_INDICATORCLEARRANGE, 0UL, static_cast<long>(SendScintilla(SCI_GETTEXTLENGTH)));
}

bool EditorSurface::indicatorAt(int indicator, qsizetype offset) const
{
    return SendScintilla(SCI_INDICATORVALUEAT, static_cast<unsigned long>(indicator),
                         static_cast<long>(positionOfOffset(offset))) != 0;
}

QList<std::pair<qsizetype, qsizetype>> EditorSurface::indicatorRanges(int indicator) const
{
    QList<std::pair<qsizetype, qsizetype>> ranges;
    const auto length = static_cast<long>(SendScintilla(SCI_GETTEXTLENGTH));
    const auto ind = static_cast<unsigned long>(indicator);
    long pos = 0;
    while (pos < length) {
        const auto end = static_cast<long>(SendScintilla(SCI_INDICATOREND, ind, pos));
        if (SendScintilla(SCI_INDICATORVALUEAT, ind, pos) != 0)
            ranges.push_back({offsetOfPosition(pos), offsetOfPosition(end > pos ? end : length)});
        if (end <= pos)
            break;
        pos = end;
    }
    return ranges;
}

qsizetype EditorSurface::rawPosition(qsizetype offset) const
{
    if (offset <= 0)
        return 0;
    ensureCharacterIndex();
    const auto length = static_cast<qsizetype>(SendScintilla(SCI_GETTEXTLENGTH));
    const auto line = static_cast<long>(
        SendScintilla(SCI_LINEFROMINDEXPOSITION, static_cast<unsigned long>(offset), SC_LINECHARACTERINDEX_UTF16));
    const auto lineOffset = static_cast<qsizetype>(
        SendScintilla(SCI_INDEXPOSITIONFROMLINE, static_cast<unsigned long>(line), SC_LINECHARACTERINDEX_UTF16));
    const auto lineStart = static_cast<long>(SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)));
    const auto pos = static_cast<qsizetype>(SendScintilla(SCI_POSITIONRELATIVECODEUNITS,
        static_cast<unsigned long>(lineStart), static_cast<long>(offset - lineOffset)));
    // Past the end (or inside a surrogate pair the control cannot split) the end of the text is used.
    if (pos <= 0 && offset - lineOffset > 0)
        return length;
    return std::min(pos, length);
}

qsizetype EditorSurface::SelStart() const
{
    return offsetOfPosition(static_cast<qsizetype>(SendScintilla(SCI_GETSELECTIONSTART)));
}

void EditorSurface::setSelStart(qsizetype offset)
{
    const auto pos = static_cast<long>(positionOfOffset(offset));
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(pos), pos);
}

qsizetype EditorSurface::SelLength() const
{
    const auto start = static_cast<qsizetype>(SendScintilla(SCI_GETSELECTIONSTART));
    const auto end = static_cast<qsizetype>(SendScintilla(SCI_GETSELECTIONEND));
    return offsetOfPosition(end) - offsetOfPosition(start);
}

void EditorSurface::setSelLength(qsizetype length)
{
    const qsizetype startOffset = SelStart();
    const auto start = static_cast<unsigned long>(positionOfOffset(startOffset));
    const auto end = static_cast<long>(positionOfOffset(startOffset + std::max<qsizetype>(length, 0)));
    SendScintilla(SCI_SETSEL, start, end);
}

QString EditorSurface::SelText() const
{
    const auto start = static_cast<qsizetype>(SendScintilla(SCI_GETSELECTIONSTART));
    const auto end = static_cast<qsizetype>(SendScintilla(SCI_GETSELECTIONEND));
    return bytesAt(start, end - start);
}

void EditorSurface::setSelText(const QString& text)
{
    const auto start = static_cast<qsizetype>(SendScintilla(SCI_GETSELECTIONSTART));
    const auto end = static_cast<qsizetype>(SendScintilla(SCI_GETSELECTIONEND));
    const QByteArray bytes = text.toUtf8();
    replaceRange(start, end, bytes);
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(start + bytes.size()));
}

int EditorSurface::caretLine() const
{
    const auto pos = SendScintilla(SCI_GETCURRENTPOS);
    return textLine(static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(pos)))) + 1;
}

int EditorSurface::caretColumn() const
{
    if (pieces_)
        return static_cast<int>(caretOffset() - offsetOfLine(caretLine() - 1)) + 1;
    const auto pos = static_cast<long>(SendScintilla(SCI_GETCURRENTPOS));
    const auto line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(pos));
    const auto lineStart = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    return static_cast<int>(SendScintilla(SCI_COUNTCODEUNITS, static_cast<unsigned long>(lineStart), pos)) + 1;
}

qsizetype EditorSurface::clampedPosition(qsizetype offset) const
{
    if (offset <= 0)
        return 0;
    return std::min(positionOfOffset(offset), byteLength());
}

std::pair<qsizetype, qsizetype> EditorSurface::unitAt(qsizetype offset, TextUnit unit) const
{
    const qsizetype length = byteLength();
    if (unit == TextUnit::Whole)
        return {0, offsetOfPosition(length)};
    const qsizetype pos = clampedPosition(offset);
    qsizetype start = pos;
    qsizetype end = pos;
    switch (unit) {
    case TextUnit::Character:
        end = pos < length ? static_cast<qsizetype>(SendScintilla(SCI_POSITIONAFTER, static_cast<unsigned long>(pos))) : pos;
        break;
    case TextUnit::Word:
        if (pos == length)
            break;
        start = static_cast<qsizetype>(SendScintilla(SCI_WORDSTARTPOSITION, static_cast<unsigned long>(pos), 1L));
        end = static_cast<qsizetype>(SendScintilla(SCI_WORDENDPOSITION, static_cast<unsigned long>(pos), 1L));
        if (start == end) { // between words: the run of spaces or punctuation there
            start = static_cast<qsizetype>(SendScintilla(SCI_WORDSTARTPOSITION, static_cast<unsigned long>(pos), 0L));
            end = static_cast<qsizetype>(SendScintilla(SCI_WORDENDPOSITION, static_cast<unsigned long>(pos), 0L));
            start = std::min(start, pos);
            end = std::max(end, static_cast<qsizetype>(SendScintilla(SCI_POSITIONAFTER, static_cast<unsigned long>(pos))));
        }
        break;
    case TextUnit::Line: {
        const auto line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(pos));
        start = static_cast<qsizetype>(SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)));
        end = static_cast<qsizetype>(SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line + 1)));
        if (end < start || end > length)
            end = length;
        break;
    }
    case TextUnit::Whole:
        break;
    }
    return {offsetOfPosition(start), offsetOfPosition(end)};
}

QString EditorSurface::textBetween(qsizetype from, qsizetype to) const
{
    qsizetype start = clampedPosition(from);
    qsizetype end = clampedPosition(to);
    if (start > end)
        std::swap(start, end);
    return bytesAt(start, end - start);
}

void EditorSurface::replaceBetween(qsizetype from, qsizetype to, const QString& text)
{
    qsizetype start = clampedPosition(from);
    qsizetype end = clampedPosition(to);
    if (start > end)
        std::swap(start, end);
    replaceRange(start, end, text.toUtf8());
}

qsizetype EditorSurface::caretOffset() const
{
    return offsetOfPosition(static_cast<qsizetype>(SendScintilla(SCI_GETCURRENTPOS)));
}

void EditorSurface::setCaretOffset(qsizetype offset)
{
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(clampedPosition(offset)));
}

std::pair<qsizetype, qsizetype> EditorSurface::selectionOffsets() const
{
    return {offsetOfPosition(static_cast<qsizetype>(SendScintilla(SCI_GETANCHOR))),
        offsetOfPosition(static_cast<qsizetype>(SendScintilla(SCI_GETCURRENTPOS)))};
}

void EditorSurface::selectOffsets(qsizetype anchor, qsizetype caret)
{
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(clampedPosition(anchor)), static_cast<long>(clampedPosition(caret)));
}

QRect EditorSurface::characterRect(qsizetype offset) const
{
    const qsizetype pos = clampedPosition(offset);
    const auto line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(pos));
    const int x = static_cast<int>(SendScintilla(SCI_POINTXFROMPOSITION, 0UL, static_cast<long>(pos)));
    const int y = static_cast<int>(SendScintilla(SCI_POINTYFROMPOSITION, 0UL, static_cast<long>(pos)));
    const int height = static_cast<int>(SendScintilla(SCI_TEXTHEIGHT, static_cast<unsigned long>(line)));
    const auto lineEnd = static_cast<qsizetype>(SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line)));
    int width = 0;
    if (pos < lineEnd) {
        const auto next = SendScintilla(SCI_POSITIONAFTER, static_cast<unsigned long>(pos));
        width = static_cast<int>(SendScintilla(SCI_POINTXFROMPOSITION, 0UL, next)) - x;
    }
    if (width <= 0) // a line end, or the end of the text: as wide as a space
        width = std::max(1, static_cast<int>(SendScintilla(SCI_TEXTWIDTH, static_cast<unsigned long>(STYLE_DEFAULT), " ")));
    return QRect(x, y, width, height);
}

qsizetype EditorSurface::offsetAt(QPoint viewportPoint) const
{
    const auto pos = static_cast<qsizetype>(SendScintilla(SCI_POSITIONFROMPOINTCLOSE,
        static_cast<unsigned long>(std::max(viewportPoint.x(), 0)), static_cast<long>(viewportPoint.y())));
    if (viewportPoint.x() < 0 || pos < 0)
        return -1;
    return offsetOfPosition(pos);
}

void EditorSurface::scrollToOffsets(qsizetype from, qsizetype to)
{
    SendScintilla(SCI_SCROLLRANGE, static_cast<unsigned long>(clampedPosition(to)), static_cast<long>(clampedPosition(from)));
}

qsizetype EditorSurface::offsetOfLine(int line) const
{
    if (line <= 0)
        return 0;
    if (line >= lines())
        return textLength();
    if (pieces_)
        return offsetOfPosition(static_cast<qsizetype>(SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(viewLine(line)))));
    ensureCharacterIndex();
    return static_cast<qsizetype>(
        SendScintilla(SCI_INDEXPOSITIONFROMLINE, static_cast<unsigned long>(line), SC_LINECHARACTERINDEX_UTF16));
}

void EditorSurface::replaceOffsets(qsizetype from, qsizetype to, const QString& text)
{
    const qsizetype fromByte = positionOfOffset(from);
    const qsizetype toByte = positionOfOffset(std::max(from, to));
    const QByteArray bytes = text.toUtf8();
    SendScintilla(SCI_BEGINUNDOACTION);
    replaceRange(fromByte, toByte, bytes);
    SendScintilla(SCI_ENDUNDOACTION);
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(fromByte + bytes.size()));
}

void EditorSurface::goToLine(int line)
{
    const int count = lines();
    const auto index = static_cast<unsigned long>(viewLine(std::clamp(line, 1, std::max(count, 1)) - 1));
    SendScintilla(SCI_ENSUREVISIBLEENFORCEPOLICY, index);
    SendScintilla(SCI_GOTOLINE, index);
    SendScintilla(SCI_VERTICALCENTRECARET);
}

void EditorSurface::setFirstShownLine(int line)
{
    const auto index = static_cast<unsigned long>(viewLine(std::max(line, 1) - 1));
    SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(SendScintilla(SCI_VISIBLEFROMDOCLINE, index)));
}

int EditorSurface::firstShownLine() const
{
    const auto shown = SendScintilla(SCI_GETFIRSTVISIBLELINE);
    return textLine(static_cast<int>(SendScintilla(SCI_DOCLINEFROMVISIBLE, static_cast<unsigned long>(shown)))) + 1;
}

int EditorSurface::linesShown() const
{
    return static_cast<int>(SendScintilla(SCI_LINESONSCREEN));
}

int EditorSurface::zoomLevel() const
{
    return static_cast<int>(SendScintilla(SCI_GETZOOM));
}

namespace {
constexpr int ListId = 1;
}

bool EditorSurface::popupFitsAt(qsizetype offset) const
{
    // The control places its popups on the screen under the caret and fails without one: a hidden
    // window, or a caret off every screen (a window dragged partly past the screen's edge).
    const QRect caret = characterRect(offset);
    return isVisible() && QGuiApplication::screenAt(viewport()->mapToGlobal(caret.bottomLeft())) != nullptr;
}

bool EditorSurface::showList(const QStringList& items)
{
    if (items.isEmpty() || !popupFitsAt(caretOffset()))
        return false;
    listItems_ = items;
    // Kept in the order given (best first); the control still finds an item by what is typed.
    SendScintilla(SCI_AUTOCSETORDER, SC_ORDER_CUSTOM);
    SendScintilla(SCI_AUTOCSETMAXHEIGHT, 10);
    // The caller narrows the list as the name is typed, shows it again and closes it when nothing fits.
    SendScintilla(SCI_AUTOCSETAUTOHIDE, 0L);
    SendScintilla(SCI_AUTOCSETCANCELATSTART, 0L);
    showUserList(ListId, items);
    return true;
}

bool EditorSurface::listShown() const
{
    return isListActive();
}

void EditorSurface::closeList()
{
    if (isListActive())
        cancelList();
}

bool EditorSurface::showTip(qsizetype offset, const QString& text, qsizetype highlightFrom, qsizetype highlightTo)
{
    if (text.isEmpty() || !popupFitsAt(offset))
        return false;
    const QByteArray bytes = text.toUtf8();
    const auto from = text.left(std::clamp<qsizetype>(highlightFrom, 0, text.size())).toUtf8().size();
    const auto to = text.left(std::clamp<qsizetype>(highlightTo, 0, text.size())).toUtf8().size();
    SendScintilla(SCI_CALLTIPSHOW, static_cast<unsigned long>(clampedPosition(offset)),
                  bytes.constData());
    SendScintilla(SCI_CALLTIPSETHLT, static_cast<unsigned long>(from), static_cast<long>(std::max(from, to)));
    return true;
}

bool EditorSurface::tipShown() const
{
    return SendScintilla(SCI_CALLTIPACTIVE) != 0;
}

void EditorSurface::closeTip()
{
    SendScintilla(SCI_CALLTIPCANCEL);
}

int EditorSurface::indentationOfLine(int line) const
{
    if (line < 0 || line >= lines())
        return 0;
    return indentation(viewLine(line));
}

void EditorSurface::setIndentationOfLine(int line, int columns)
{
    if (line < 0 || line >= lines())
        return;
    const int control = viewLine(line);
    const auto caret = SendScintilla(SCI_GETCURRENTPOS);
    const auto indentEnd = SendScintilla(SCI_GETLINEINDENTPOSITION, control);
    const bool caretInIndent = caret >= SendScintilla(SCI_POSITIONFROMLINE, control) && caret <= indentEnd;
    setIndentation(control, std::max(0, columns));
    if (caretInIndent)
        SendScintilla(SCI_SETEMPTYSELECTION, SendScintilla(SCI_GETLINEINDENTPOSITION, control));
}

std::pair<int, int> EditorSurface::selectedLines() const
{
    const auto [anchor, caret] = selectionOffsets();
    const qsizetype from = std::min(anchor, caret);
    const qsizetype to = std::max(anchor, caret);
    const auto lineOf = [this](qsizetype offset) {
        int low = 0;
        int high = lines() - 1;
        while (low < high) {
            const int middle = (low + high + 1) / 2;
            if (offsetOfLine(middle) <= offset)
                low = middle;
            else
                high = middle - 1;
        }
        return low;
    };
    const int first = lineOf(from);
    int last = lineOf(to);
    if (last > first && offsetOfLine(last) == to)
        --last;
    return {first, last};
}

void EditorSurface::replaceLines(int first, int last, const QStringList& newLines)
{
    if (first < 0 || last < first || last >= lines() || newLines.size() != last - first + 1)
        return;
    const auto lineEnd = [](const QString& line) {
        qsizetype end = line.size();
        while (end > 0 && (line[end - 1] == u'\n' || line[end - 1] == u'\r'))
            --end;
        return end;
    };
    QString replacement;
    for (int line = first; line <= last; ++line) {
        replacement += newLines[line - first];
        if (line < last) {
            const QString old = text(line);
            replacement += old.mid(lineEnd(old));
        }
    }
    const qsizetype from = offsetOfLine(first);
    const QString lastLine = text(last);
    const qsizetype to = offsetOfLine(last) + lineEnd(lastLine);
    replaceOffsets(from, to, replacement);
    selectOffsets(from, from + replacement.size());
}

bool EditorSurface::print(QPrinter& printer)
{
    auto* sciPrinter = dynamic_cast<QsciPrinter*>(&printer);
    if (!sciPrinter)
        return false;
    return sciPrinter->printRange(this);
}
