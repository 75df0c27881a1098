#include "EditorSurface.h"

#include "EditorAccessible.h"
#include "EditorControl.h"
#include "FarColouring.h"
#include "LongLines.h"

#include <Qsci/qscilexer.h>

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMimeData>
#include <QStringDecoder>

#include <algorithm>
#include <cstddef>
#include <cstdlib>

namespace {
constexpr unsigned long MarginCount = 5; // the margins a view has
} // namespace

QString EditorSurface::decodeKeepingMarks(QByteArrayView utf8)
{
    // A U+FEFF at the start of the text is a character of the text like any other (the file's own
    // byte order mark never reaches the editor); QString::fromUtf8 would drop it and shift every offset.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(utf8);
}

// The control tells of every insertion and removal as it happens, and on the way its own accessibility
// code counts the characters from the start of the text to the change: a keystroke at the end of a big
// file would cost the whole file. Edits that come in through this class's own doors (keys, input
// methods, drops, the clipboard, undo, the program's own changes) are made with only the notices that
// come before a change switched on; once the edit is done, Change (and linesChanged) go out once, and
// assistive tools get the same news with offsets taken from the line index.
class EditorSurface::QuietEdits {
public:
    explicit QuietEdits(EditorSurface& editor) : editor_(editor) { editor_.beginQuiet(); }
    ~QuietEdits() { editor_.endQuiet(); }
    QuietEdits(const QuietEdits&) = delete;
    QuietEdits& operator=(const QuietEdits&) = delete;

private:
    EditorSurface& editor_;
};

void EditorSurface::beginQuiet()
{
    if (quietDepth_++ > 0)
        return;
    loudMask_ = static_cast<long>(SendScintilla(SCI_GETMODEVENTMASK));
    // Any bit of the mask lets a notice through, the "performed by" bits included.
    constexpr long after = SC_MOD_INSERTTEXT | SC_MOD_DELETETEXT | SC_PERFORMED_USER | SC_PERFORMED_UNDO
        | SC_PERFORMED_REDO | SC_MULTISTEPUNDOREDO | SC_LASTSTEPINUNDOREDO | SC_MULTILINEUNDOREDO | SC_STARTACTION;
    SendScintilla(SCI_SETMODEVENTMASK, static_cast<unsigned long>((loudMask_ & ~after) | SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE));
    quietChanged_ = false;
    quietLines_ = lines();
}

void EditorSurface::endQuiet()
{
    if (--quietDepth_ > 0)
        return;
    SendScintilla(SCI_SETMODEVENTMASK, static_cast<unsigned long>(loudMask_));
    takeInsertedBytes();
    takeInsertedText();
    std::vector<AccessibleEdit> edits;
    edits.swap(accessibleEdits_);
    if (!quietChanged_)
        return;
    emit textChanged();
    if (lines() != quietLines_)
        emit linesChanged();
    for (const AccessibleEdit& edit : edits) {
        if (edit.inserted)
            emit accessibleTextInserted(edit.offset, edit.text);
        else
            emit accessibleTextRemoved(edit.offset, edit.text);
    }
}

QString EditorSurface::bytesAt(qsizetype position, qsizetype length) const
{
    return decodeKeepingMarks(withoutBreaks(position, length));
}

void EditorSurface::takeInsertedBytes()
{
    const auto [position, length] = std::exchange(pendingBytes_, {0, 0});
    if (length == 0)
        return;
    if (pieces_) {
        const QByteArray bytes = withoutBreaks(position, length);
        if (!bytes.isEmpty())
            emit bytesChanged(textByte(position), 0, bytes.constData(), bytes.size());
        return;
    }
    const auto* text = reinterpret_cast<const char*>(
        SendScintilla(SCI_GETRANGEPOINTER, static_cast<unsigned long>(position), static_cast<long>(length)));
    emit bytesChanged(position, 0, text, length);
}

void EditorSurface::noteEdit(int position, int type, int length)
{
    if (quietDepth_ == 0 || !(type & (SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE)))
        return;
    quietChanged_ = true;
    // The bytes of a quiet edit: a removal is told before it happens, an insertion once it is done (at
    // the next notice or at the end of the edit), so listeners see the changes in their order.
    takeInsertedBytes();
    if (type & SC_MOD_BEFOREINSERT) {
        pendingBytes_ = {position, length};
    } else if (pieces_) {
        const qsizetype removed = textBytesIn(position, length);
        if (removed > 0)
            emit bytesChanged(textByte(position), removed, nullptr, 0);
    } else {
        emit bytesChanged(position, length, nullptr, 0);
    }
    // Nobody listens while accessibility is off, even if the interface was once made (Qt makes it for
    // its own purposes too); the offsets would cost the line index for nothing.
    if (!reportEdits_ || !EditorControl::accessibilityListening())
        return;
    takeInsertedText();
    if (type & SC_MOD_BEFOREINSERT) {
        // The notice before an insertion carries no text: it is read once the insertion is done,
        // at the next notice or at the end of the edit, before anything else can move it.
        accessibleEdits_.push_back({true, offsetOfPosition(position), QString()});
        pendingInsert_ = {position, length};
    } else {
        accessibleEdits_.push_back({false, offsetOfPosition(position), bytesAt(position, length)});
    }
}

void EditorSurface::setPieces(bool on)
{
    pieces_ = on;
    allowLineEnds();
    piecesChanged();
}

void EditorSurface::allowLineEnds()
{
    // Changing them counts the lines again, which a big file feels.
    const long wanted = pieces_ ? SC_LINE_END_TYPE_UNICODE : SC_LINE_END_TYPE_DEFAULT;
    if (SendScintilla(SCI_GETLINEENDTYPESALLOWED) != wanted)
        SendScintilla(SCI_SETLINEENDTYPESALLOWED, static_cast<unsigned long>(wanted));
}

void EditorSurface::piecesChanged() const
{
    breaksValid_ = !pieces_;
    textBytesValid_ = false;
    if (!pieces_) {
        pieceMap_.clear();
        textBytes_ = QByteArray();
    }
}

void EditorSurface::ensureBreaks() const
{
    if (breaksValid_)
        return;
    std::vector<qsizetype> breaks;
    // Read on each side of the buffer's gap, which stays where it is; a separator may straddle it.
    const auto length = static_cast<qsizetype>(SendScintilla(SCI_GETTEXTLENGTH));
    const auto gap = std::clamp(static_cast<qsizetype>(SendScintilla(SCI_GETGAPPOSITION)), qsizetype{0}, length);
    const QByteArrayView separator(LongLines::Separator, LongLines::SeparatorBytes);
    const auto scan = [&](qsizetype from, qsizetype to) {
        if (to <= from)
            return;
        const auto* data = reinterpret_cast<const char*>(
            SendScintilla(SCI_GETRANGEPOINTER, static_cast<unsigned long>(from), static_cast<long>(to - from)));
        const QByteArrayView part(data, to - from);
        for (qsizetype at = part.indexOf(separator); at >= 0; at = part.indexOf(separator, at + separator.size()))
            breaks.push_back(from + at);
    };
    scan(0, gap);
    for (qsizetype at = std::max<qsizetype>(gap - 2, 0); at < gap && at + 3 <= length; ++at) {
        if (SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(at)) == '\xE2' - 256
            && SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(at + 1)) == '\x80' - 256
            && SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(at + 2)) == '\xA8' - 256)
            breaks.push_back(at);
    }
    const qsizetype straddling = breaks.empty() || breaks.back() < gap - 2 ? gap : breaks.back() + 3;
    scan(std::max(gap, straddling), length);
    std::sort(breaks.begin(), breaks.end());
    breaks.erase(std::unique(breaks.begin(), breaks.end()), breaks.end());
    ensureCharacterIndex();
    std::vector<int> lines;
    std::vector<qsizetype> offsets;
    for (std::size_t i = 0; i < breaks.size(); ++i) {
        // A separator ends its line of the control, as one UTF-16 unit.
        const auto line = static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(breaks[i])));
        lines.push_back(line);
        const auto next = static_cast<qsizetype>(
            SendScintilla(SCI_INDEXPOSITIONFROMLINE, static_cast<unsigned long>(line + 1), SC_LINECHARACTERINDEX_UTF16));
        offsets.push_back(next - 1 - static_cast<qsizetype>(i));
    }
    pieceMap_.assign(std::move(breaks), std::move(lines), std::move(offsets));
    breaksValid_ = true;
}

qsizetype EditorSurface::breaksBefore(qsizetype position) const
{
    ensureBreaks();
    return pieceMap_.before(position);
}

qsizetype EditorSurface::textBytesIn(qsizetype position, qsizetype length) const
{
    ensureBreaks();
    return pieceMap_.textBytesIn(position, length);
}

qsizetype EditorSurface::textByte(qsizetype position) const
{
    return pieces_ ? position - LongLines::SeparatorBytes * breaksBefore(position) : position;
}

qsizetype EditorSurface::controlPosition(qsizetype textByte) const
{
    if (!pieces_)
        return textByte;
    ensureBreaks();
    return pieceMap_.controlPosition(textByte);
}

int EditorSurface::textLine(int controlLine) const
{
    if (!pieces_)
        return controlLine;
    ensureBreaks();
    return pieceMap_.textLine(controlLine);
}

int EditorSurface::viewLine(int line) const
{
    if (!pieces_)
        return line;
    ensureBreaks();
    return pieceMap_.controlLine(line);
}

int EditorSurface::lines() const
{
    const int count = QsciScintilla::lines();
    if (!pieces_)
        return count;
    ensureBreaks();
    return count - static_cast<int>(pieceMap_.count());
}

QString EditorSurface::text(int line) const
{
    if (!pieces_)
        return QsciScintilla::text(line);
    const auto from = static_cast<qsizetype>(SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(viewLine(line))));
    const qsizetype to = line + 1 >= lines()
        ? byteLength()
        : static_cast<qsizetype>(SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(viewLine(line + 1))));
    return decodeKeepingMarks(withoutBreaks(from, std::max<qsizetype>(to - from, 0)));
}

QByteArray EditorSurface::withoutBreaks(qsizetype position, qsizetype length) const
{
    const auto* data = reinterpret_cast<const char*>(
        SendScintilla(SCI_GETRANGEPOINTER, static_cast<unsigned long>(position), static_cast<long>(length)));
    if (!data)
        return QByteArray();
    return pieces_ ? LongLines::withoutPieces(QByteArrayView(data, length)) : QByteArray(data, length);
}

void EditorSurface::takeInsertedText()
{
    if (pendingInsert_.second > 0 && !accessibleEdits_.empty())
        accessibleEdits_.back().text = bytesAt(pendingInsert_.first, pendingInsert_.second);
    pendingInsert_ = {0, 0};
}

bool EditorSurface::event(QEvent* event)
{
    const bool handled = QsciScintilla::event(event);
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::InputMethod)
        leftToParent_ = event->isAccepted() ? nullptr : event;
    return handled;
}

void EditorSurface::keyPressEvent(QKeyEvent* event)
{
    emit keyArriving();
    // Alt with a character key is a menu's or a dialog's key, never text: one that nothing took must
    // not type its letter. (AltGr comes without Alt, and Ctrl+Alt may be AltGr elsewhere.)
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if ((modifiers & Qt::AltModifier) && !(modifiers & (Qt::ControlModifier | Qt::MetaModifier))
        && !event->text().isEmpty() && event->text().at(0).isPrint()) {
        event->ignore();
        return;
    }
    // Indenting after a brace reads the styles of the text before the caret. Keys that arrive faster
    // than the control paints (a busy machine, a paste of keystrokes) would find that text unstyled.
    // Only the keys that indent need it: colouring up to a caret far down a big file takes long, and
    // after a far jump the lines before the caret already have their colours (FarColouring).
    const QString typed = event->text();
    if (typed == u"\r" || typed == u"\n" || typed == u"{" || typed == u"}") {
        const auto caret = SendScintilla(SCI_GETCURRENTPOS);
        const auto styled = SendScintilla(SCI_GETENDSTYLED);
        const auto lineAbove = std::max(0L, SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(caret)) - 1);
        if (styled < caret && !farColouring_->covers(SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(lineAbove)), caret))
            SendScintilla(SCI_COLOURISE, static_cast<unsigned long>(styled), static_cast<long>(caret));
    }
    if (pieces_ && hasLineSeparator(event->text())) {
        withoutLineSeparators(QString());
        event->accept();
        return;
    }
    QuietEdits quiet(*this);
    const auto before = SendScintilla(SCI_GETCURRENTPOS);
    const qsizetype lengthBefore = utf8Length();
    QsciScintilla::keyPressEvent(event);
    if (typed.size() == 1 && utf8Length() != lengthBefore && !isReadOnly()) {
        const QChar character = typed == u"\r" ? QChar(u'\n') : typed.at(0);
        if (character == u'\n' || character.isPrint())
            emit characterTyped(character);
    }
    // A separator between pieces is no character of the text: an arrow key that stepped over one
    // alone has not moved through the text yet, so it takes the next character too.
    const bool right = event->key() == Qt::Key_Right, left = event->key() == Qt::Key_Left;
    const auto mods = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (!pieces_ || (!right && !left) || mods != Qt::NoModifier)
        return;
    const auto after = SendScintilla(SCI_GETCURRENTPOS);
    const auto stepped = right ? before : after;
    if (std::abs(after - before) != LongLines::SeparatorBytes || !isPieceSeparatorAt(stepped))
        return;
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    SendScintilla(right ? (extend ? SCI_CHARRIGHTEXTEND : SCI_CHARRIGHT) : (extend ? SCI_CHARLEFTEXTEND : SCI_CHARLEFT));
}

bool EditorSurface::isPieceSeparatorAt(long position)
{
    if (position < 0 || position + LongLines::SeparatorBytes > SendScintilla(SCI_GETLENGTH))
        return false;
    for (qsizetype i = 0; i < LongLines::SeparatorBytes; ++i)
        if (char(SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(position + i))) != LongLines::Separator[i])
            return false;
    return true;
}

void EditorSurface::inputMethodEvent(QInputMethodEvent* event)
{
    QuietEdits quiet(*this);
    if (pieces_ && hasLineSeparator(event->commitString())) {
        QInputMethodEvent kept(event->preeditString(), event->attributes());
        kept.setCommitString(withoutLineSeparators(event->commitString()), event->replacementStart(), event->replacementLength());
        QsciScintilla::inputMethodEvent(&kept);
        return;
    }
    QsciScintilla::inputMethodEvent(event);
}

void EditorSurface::dropEvent(QDropEvent* event)
{
    QuietEdits quiet(*this);
    if (pieces_ && event->mimeData()->hasText() && hasLineSeparator(event->mimeData()->text())) {
        QMimeData kept;
        kept.setText(withoutLineSeparators(event->mimeData()->text()));
        QDropEvent keptEvent(event->position(), event->possibleActions(), &kept, event->buttons(), event->modifiers());
        QsciScintilla::dropEvent(&keptEvent);
        event->setAccepted(keptEvent.isAccepted());
        return;
    }
    QsciScintilla::dropEvent(event);
}

bool EditorSurface::hasLineSeparator(const QString& text) const
{
    return text.contains(QChar(0x2028)) || text.contains(QChar(0x2029)) || text.contains(QChar(0x85));
}

QString EditorSurface::withoutLineSeparators(QString text) const
{
    text.remove(QChar(0x2028)).remove(QChar(0x2029)).remove(QChar(0x85));
    auto* self = const_cast<EditorSurface*>(this);
    QMetaObject::invokeMethod(self, [self] { emit self->lineSeparatorsLeftOut(); }, Qt::QueuedConnection);
    return text;
}

void EditorSurface::mousePressEvent(QMouseEvent* event)
{
    QuietEdits quiet(*this); // the middle button pastes
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (pieces_ && event->button() == Qt::MiddleButton && clipboard->supportsSelection()) {
        const QString selection = clipboard->text(QClipboard::Selection);
        if (hasLineSeparator(selection)) {
            const QPoint at = event->position().toPoint();
            const auto position = SendScintilla(SCI_POSITIONFROMPOINT, static_cast<unsigned long>(at.x()), static_cast<long>(at.y()));
            SendScintilla(SCI_SETEMPTYSELECTION, static_cast<unsigned long>(position));
            QsciScintilla::replaceSelectedText(withoutLineSeparators(selection));
            event->accept();
            return;
        }
    }
    QsciScintilla::mousePressEvent(event);
}

void EditorSurface::undo()
{
    QuietEdits quiet(*this);
    QsciScintilla::undo();
}

void EditorSurface::redo()
{
    QuietEdits quiet(*this);
    QsciScintilla::redo();
}

void EditorSurface::cut()
{
    QuietEdits quiet(*this);
    QsciScintilla::cut();
}

void EditorSurface::paste()
{
    QuietEdits quiet(*this);
    const QString clip = QGuiApplication::clipboard()->text();
    if (pieces_ && hasLineSeparator(clip)) {
        QsciScintilla::replaceSelectedText(withoutLineSeparators(clip));
        return;
    }
    QsciScintilla::paste();
}

void EditorSurface::clear()
{
    QuietEdits quiet(*this);
    QsciScintilla::clear();
}

void EditorSurface::removeSelectedText()
{
    QuietEdits quiet(*this);
    QsciScintilla::removeSelectedText();
}

void EditorSurface::replaceSelectedText(const QString& text)
{
    QuietEdits quiet(*this);
    QsciScintilla::replaceSelectedText(pieces_ && hasLineSeparator(text) ? withoutLineSeparators(text) : text);
}

void EditorSurface::insert(const QString& text)
{
    QuietEdits quiet(*this);
    QsciScintilla::insert(pieces_ && hasLineSeparator(text) ? withoutLineSeparators(text) : text);
}

void EditorSurface::append(const QString& text)
{
    QuietEdits quiet(*this);
    QsciScintilla::append(pieces_ && hasLineSeparator(text) ? withoutLineSeparators(text) : text);
}

EditorSurface::EditorSurface(QWidget* parent) : QsciScintilla(parent)
{
    SendScintilla(SCI_SETCODEPAGE, SC_CP_UTF8);
    SendScintilla(SCI_ALLOCATELINECHARACTERINDEX, SC_LINECHARACTERINDEX_UTF16);
    setUtf8(true);
    setEolMode(EolWindows);
    connect(this, &QsciScintilla::textChanged, this, &EditorSurface::Change);
    connect(this, &QsciScintilla::userListActivated, this, [this](int, const QString& chosen) {
        const auto index = listItems_.indexOf(chosen);
        if (index >= 0)
            emit listChosen(int(index));
    });
    connect(this, &QsciScintillaBase::SCN_MODIFIED, this,
        [this](int position, int type, const char* text, int length, int, int, int, int, int, int) {
            noteEdit(position, type, length);
            if (quietDepth_ == 0 && pieces_) {
                // Without the separators, which only the notices before a change can still tell.
                if (type & SC_MOD_BEFOREINSERT) {
                    pendingBytes_ = {position, length};
                } else if (type & SC_MOD_INSERTTEXT) {
                    takeInsertedBytes();
                } else if (type & SC_MOD_BEFOREDELETE) {
                    const qsizetype removed = textBytesIn(position, length);
                    if (removed > 0)
                        emit bytesChanged(textByte(position), removed, nullptr, 0);
                }
            }
            if (type & (SC_MOD_INSERTTEXT | SC_MOD_DELETETEXT | SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE))
                piecesChanged();
            if (quietDepth_ > 0 || pieces_)
                return; // a quiet edit tells its bytes from the notices before each change (noteEdit)
            if (type & SC_MOD_INSERTTEXT) {
                if (!text) // not every notice carries the bytes; they are in the buffer by now
                    text = reinterpret_cast<const char*>(
                        SendScintilla(SCI_GETRANGEPOINTER, static_cast<unsigned long>(position), long(length)));
                emit bytesChanged(position, 0, text, length);
            } else if (type & SC_MOD_DELETETEXT) {
                emit bytesChanged(position, length, nullptr, 0);
            }
        });
    // Colouring a big file up to a far place (Ctrl+End) would hold the window for as long as it takes:
    // the text before what is shown is coloured in slices between events instead.
    SendScintilla(SCI_SETIDLESTYLING, static_cast<unsigned long>(SC_IDLESTYLING_TOVISIBLE));
    // What is shown that far is coloured at once all the same.
    farColouring_ = new FarColouring(*this);
    // The notices before each change tell what a text shown in pieces loses (noteEdit).
    SendScintilla(SCI_SETMODEVENTMASK,
        static_cast<unsigned long>(SendScintilla(SCI_GETMODEVENTMASK) | SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE));
    EditorAccessible::install(this);
}

QByteArrayView EditorSurface::utf8View() const
{
    if (pieces_) {
        if (!textBytesValid_) {
            textBytes_ = withoutBreaks(0, byteLength());
            textBytesValid_ = true;
        }
        return textBytes_;
    }
    const auto length = static_cast<qsizetype>(SendScintilla(SCI_GETTEXTLENGTH));
    const auto* data = reinterpret_cast<const char*>(SendScintilla(SCI_GETCHARACTERPOINTER));
    return QByteArrayView(data, length);
}

qsizetype EditorSurface::utf8Length() const
{
    const auto length = static_cast<qsizetype>(SendScintilla(SCI_GETTEXTLENGTH));
    return pieces_ ? textByte(length) : length;
}

void EditorSurface::replaceUtf8(qsizetype fromByte, qsizetype toByte, const QByteArray& bytes)
{
    const qsizetype from = controlPosition(fromByte);
    const qsizetype to = controlPosition(std::max(fromByte, toByte));
    SendScintilla(SCI_BEGINUNDOACTION);
    replaceRange(from, to, bytes);
    SendScintilla(SCI_ENDUNDOACTION);
}

qsizetype EditorSurface::caretPosition() const
{
    return textByte(static_cast<qsizetype>(SendScintilla(SCI_GETCURRENTPOS)));
}

void EditorSurface::placeCaret(qsizetype bytePosition)
{
    const qsizetype position = controlPosition(std::max<qsizetype>(bytePosition, 0));
    SendScintilla(SCI_SETEMPTYSELECTION, static_cast<unsigned long>(std::min(position, byteLength())));
}

QByteArray EditorSurface::utf8() const
{
    if (pieces_)
        return QByteArray(utf8View().data(), utf8View().size());
    const auto length = static_cast<qsizetype>(SendScintilla(SCI_GETTEXTLENGTH));
    const auto* data = reinterpret_cast<const char*>(SendScintilla(SCI_GETCHARACTERPOINTER));
    return QByteArray(data, length);
}

QString EditorSurface::Text() const
{
    return decodeKeepingMarks(utf8());
}

qsizetype EditorSurface::byteLength() const
{
    return static_cast<qsizetype>(SendScintilla(SCI_GETTEXTLENGTH));
}

QStringView EditorSurface::decodeText(QString& buffer) const
{
    const QByteArrayView text = utf8View();
    const qsizetype length = text.size();
    const char* data = text.data();
    // A buffer far larger than the current document is given back rather than kept.
    if (buffer.capacity() > 2 * length + (1 << 20))
        buffer = QString();
    buffer.resize(length); // UTF-16 never takes more units than UTF-8 takes bytes
    // Offsets must be the ones the selection uses: a leading byte-order mark is a character here,
    // and a broken sequence at the end is replaced rather than held back for more input.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QChar* end = decoder.appendToBuffer(buffer.data(), QByteArrayView(data, length));
    buffer.truncate(end - buffer.constData());
    return buffer;
}

qsizetype EditorSurface::textLength() const
{
    // Through the line index: counting from the start would cost the whole text on every call.
    return offsetOfPosition(byteLength());
}

void EditorSurface::replaceRange(qsizetype fromByte, qsizetype toByte, const QByteArray& bytes)
{
    // Keeping the UTF-16 line index up to date through a replacement of many lines costs more than
    // building it again when a position is next asked for (ensureCharacterIndex).
    constexpr qsizetype LargeReplacement = 8 << 20;
    if (toByte - fromByte + bytes.size() > LargeReplacement) {
        while (SendScintilla(SCI_GETLINECHARACTERINDEX) & SC_LINECHARACTERINDEX_UTF16)
            SendScintilla(SCI_RELEASELINECHARACTERINDEX, static_cast<unsigned long>(SC_LINECHARACTERINDEX_UTF16));
    }
    QuietEdits quiet(*this);
    QByteArray put = bytes;
    if (pieces_ && LongLines::hasUnicodeLineEnds(put))
        put = withoutLineSeparators(QString::fromUtf8(put)).toUtf8();
    // Long lines that come in (a pasted blob, a Replace All over a text in pieces) are put in
    // pieces too, the text's first ones included, when the text has no line separator of its own.
    if (put.size() > LongLines::LongLine && lexer() && LongLines::needsPieces(put)) {
        if (!pieces_ && !LongLines::hasUnicodeLineEnds(utf8View()))
            setPieces(true);
        if (pieces_)
            put = LongLines::makePieces(put);
    }
    SendScintilla(SCI_SETTARGETRANGE, static_cast<unsigned long>(fromByte), static_cast<long>(toByte));
    SendScintilla(SCI_REPLACETARGET, static_cast<unsigned long>(put.size()), put.constData());
}

void EditorSurface::setText(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    const bool pieces = lexer() && LongLines::needsPieces(bytes);
    const auto length = static_cast<qsizetype>(SendScintilla(SCI_GETTEXTLENGTH));
    if (pieces || pieces_) {
        // Separators in the undo history would come back as text once the pieces are gone, or the
        // other way round: a text shown in pieces, or one that was, comes in as a fresh load.
        loadUtf8(bytes);
        return;
    }
    replaceRange(0, length, bytes);
    SendScintilla(SCI_GOTOPOS, 0UL);
}

void EditorSurface::loadUtf8(const QByteArray& bytes)
{
    const std::unique_ptr<PreparedLoad> load = prepareLoad(bytes.size());
    load->fill(bytes);
    loadPrepared(*load);
}

void EditorSurface::replaceAllUtf8(const QByteArray& bytes)
{
    const QByteArray old = utf8();
    const qsizetype shorter = std::min(old.size(), bytes.size());
    auto prefix = static_cast<qsizetype>(std::mismatch(old.begin(), old.begin() + shorter, bytes.begin()).first - old.begin());
    auto suffix = static_cast<qsizetype>(
        std::mismatch(old.rbegin(), old.rbegin() + (shorter - prefix), bytes.rbegin()).first - old.rbegin());
    // The ends of the replaced part fall between characters, never inside one's UTF-8 bytes.
    const auto inside = [](const QByteArray& text, qsizetype at) {
        return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
    };
    while (prefix > 0 && (inside(old, prefix) || inside(bytes, prefix)))
        --prefix;
    while (suffix > 0 && (inside(old, old.size() - suffix) || inside(bytes, bytes.size() - suffix)))
        --suffix;
    if (prefix == old.size() && prefix == bytes.size())
        return;
    if (pieces_ && LongLines::hasUnicodeLineEnds(bytes)) {
        // The new text cannot be shown in pieces: it comes in as a fresh load, without undo.
        loadUtf8(bytes);
        return;
    }

    const auto caretLine = SendScintilla(SCI_LINEFROMPOSITION, SendScintilla(SCI_GETCURRENTPOS));
    const auto firstLine = SendScintilla(SCI_GETFIRSTVISIBLELINE);
    SendScintilla(SCI_BEGINUNDOACTION);
    replaceRange(controlPosition(prefix), controlPosition(old.size() - suffix), bytes.mid(prefix, bytes.size() - prefix - suffix));
    SendScintilla(SCI_ENDUNDOACTION);
    const auto lastLine = SendScintilla(SCI_GETLINECOUNT) - 1;
    SendScintilla(SCI_GOTOLINE, static_cast<unsigned long>(std::min(caretLine, lastLine)));
    SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(firstLine));
}

void EditorSurface::markSaved()
{
    SendScintilla(SCI_SETSAVEPOINT);
}

void EditorSurface::emptyUndoBuffer()
{
    SendScintilla(SCI_EMPTYUNDOBUFFER);
}

const void* EditorSurface::documentId() const
{
    return reinterpret_cast<const void*>(SendScintilla(SCI_GETDOCPOINTER));
}

int EditorSurface::textAreaLeft() const
{
    auto left = static_cast<int>(SendScintilla(SCI_GETMARGINLEFT));
    for (unsigned long margin = 0; margin < MarginCount; ++margin)
        left += static_cast<int>(SendScintilla(SCI_GETMARGINWIDTHN, margin));
    return left;
}

int EditorSurface::lineAtY(int y) const
{
    const auto position = SendScintilla(SCI_POSITIONFROMPOINT, static_cast<unsigned long>(textAreaLeft()), static_cast<long>(y));
    return static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(position)));
}

void EditorSurface::ensureCharacterIndex() const
{
    if (!(SendScintilla(SCI_GETLINECHARACTERINDEX) & SC_LINECHARACTERINDEX_UTF16))
        SendScintilla(SCI_ALLOCATELINECHARACTERINDEX, static_cast<unsigned long>(SC_LINECHARACTERINDEX_UTF16));
}
