#include "EditorControl.h"

#include <QScrollBar>

EditorControl::EditorControl(QWidget* parent) : QsciScintilla(parent)
{
    SendScintilla(SCI_SETCODEPAGE, SC_CP_UTF8);
    SendScintilla(SCI_ALLOCATELINECHARACTERINDEX, SC_LINECHARACTERINDEX_UTF16);
    setUtf8(true);
    setEolMode(EolWindows);
    connect(this, &QsciScintilla::textChanged, this, &EditorControl::Change);
}

QByteArray EditorControl::utf8() const
{
    const auto length = static_cast<qsizetype>(SendScintilla(SCI_GETTEXTLENGTH));
    const auto* data = reinterpret_cast<const char*>(SendScintilla(SCI_GETCHARACTERPOINTER));
    return QByteArray(data, length);
}

QString EditorControl::Text() const
{
    return QString::fromUtf8(utf8());
}

qsizetype EditorControl::textLength() const
{
    const auto bytes = static_cast<long>(SendScintilla(SCI_GETTEXTLENGTH));
    return static_cast<qsizetype>(SendScintilla(SCI_COUNTCODEUNITS, 0UL, bytes));
}

void EditorControl::replaceRange(qsizetype fromByte, qsizetype toByte, const QByteArray& bytes)
{
    SendScintilla(SCI_SETTARGETRANGE, static_cast<unsigned long>(fromByte), static_cast<long>(toByte));
    SendScintilla(SCI_REPLACETARGET, static_cast<unsigned long>(bytes.size()), bytes.constData());
}

void EditorControl::setText(const QString& text)
{
    const auto length = static_cast<qsizetype>(SendScintilla(SCI_GETTEXTLENGTH));
    replaceRange(0, length, text.toUtf8());
    SendScintilla(SCI_GOTOPOS, 0UL);
}

void EditorControl::loadUtf8(const QByteArray& bytes)
{
    SendScintilla(SCI_SETUNDOCOLLECTION, 0UL);
    SendScintilla(SCI_CLEARALL);
    SendScintilla(SCI_ALLOCATE, static_cast<unsigned long>(bytes.size() + 1));
    SendScintilla(SCI_APPENDTEXT, static_cast<unsigned long>(bytes.size()), bytes.constData());
    SendScintilla(SCI_SETUNDOCOLLECTION, 1UL);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_SETSAVEPOINT);
    SendScintilla(SCI_GOTOPOS, 0UL);
}

void EditorControl::markSaved()
{
    SendScintilla(SCI_SETSAVEPOINT);
}

qsizetype EditorControl::offsetOfPosition(qsizetype pos) const
{
    const auto line = static_cast<long>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(pos)));
    const auto lineStart = static_cast<long>(SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)));
    const auto lineOffset = static_cast<qsizetype>(
        SendScintilla(SCI_INDEXPOSITIONFROMLINE, static_cast<unsigned long>(line), SC_LINECHARACTERINDEX_UTF16));
    return lineOffset
        + static_cast<qsizetype>(SendScintilla(SCI_COUNTCODEUNITS, static_cast<unsigned long>(lineStart), static_cast<long>(pos)));
}

qsizetype EditorControl::positionOfOffset(qsizetype offset) const
{
    if (offset <= 0)
        return 0;
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

qsizetype EditorControl::SelStart() const
{
    return offsetOfPosition(static_cast<qsizetype>(SendScintilla(SCI_GETSELECTIONSTART)));
}

void EditorControl::setSelStart(qsizetype offset)
{
    const auto pos = static_cast<long>(positionOfOffset(offset));
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(pos), pos);
}

qsizetype EditorControl::SelLength() const
{
    const auto start = static_cast<qsizetype>(SendScintilla(SCI_GETSELECTIONSTART));
    const auto end = static_cast<qsizetype>(SendScintilla(SCI_GETSELECTIONEND));
    return offsetOfPosition(end) - offsetOfPosition(start);
}

void EditorControl::setSelLength(qsizetype length)
{
    const qsizetype startOffset = SelStart();
    const auto start = static_cast<unsigned long>(positionOfOffset(startOffset));
    const auto end = static_cast<long>(positionOfOffset(startOffset + std::max<qsizetype>(length, 0)));
    SendScintilla(SCI_SETSEL, start, end);
}

QString EditorControl::SelText() const
{
    const auto start = static_cast<qsizetype>(SendScintilla(SCI_GETSELECTIONSTART));
    const auto end = static_cast<qsizetype>(SendScintilla(SCI_GETSELECTIONEND));
    const auto* data = reinterpret_cast<const char*>(SendScintilla(SCI_GETRANGEPOINTER,
        static_cast<unsigned long>(start), static_cast<long>(end - start)));
    return QString::fromUtf8(data, end - start);
}

void EditorControl::setSelText(const QString& text)
{
    const auto start = static_cast<qsizetype>(SendScintilla(SCI_GETSELECTIONSTART));
    const auto end = static_cast<qsizetype>(SendScintilla(SCI_GETSELECTIONEND));
    const QByteArray bytes = text.toUtf8();
    replaceRange(start, end, bytes);
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(start + bytes.size()));
}

int EditorControl::caretLine() const
{
    const auto pos = SendScintilla(SCI_GETCURRENTPOS);
    return static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(pos))) + 1;
}

int EditorControl::caretColumn() const
{
    const auto pos = static_cast<long>(SendScintilla(SCI_GETCURRENTPOS));
    const auto line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(pos));
    const auto lineStart = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    return static_cast<int>(SendScintilla(SCI_COUNTCODEUNITS, static_cast<unsigned long>(lineStart), pos)) + 1;
}
