#include "EditorControl.h"

#include "EditorAccessible.h"
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

// Scintilla's interface for filling a document before any view shows it (SCI_CREATELOADER). The Qt
// port does not install the header that declares it, so it is declared here as Scintilla declares
// it: same name, same scope, same virtual functions in the same order.
class ILoader {
public:
    virtual int Release() = 0;
    virtual int AddData(const char* data, std::ptrdiff_t length) = 0;
    virtual void* ConvertToDocument() = 0;
};

namespace {
constexpr int KeywordSetMax = 8; // the highest keyword set number Scintilla knows
constexpr unsigned long MarginCount = 5; // the margins a view has

// A U+FEFF at the start of the text is a character of the text like any other (the file's own byte
// order mark never reaches the editor); QString::fromUtf8 would drop it and shift every offset.
QString decodeKeepingMarks(QByteArrayView utf8)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(utf8);
}
} // namespace

// The control tells of every insertion and removal as it happens, and on the way its own accessibility
// code counts the characters from the start of the text to the change: a keystroke at the end of a big
// file would cost the whole file. Edits that come in through this class's own doors (keys, input
// methods, drops, the clipboard, undo, the program's own changes) are made with only the notices that
// come before a change switched on; once the edit is done, Change (and linesChanged) go out once, and
// assistive tools get the same news with offsets taken from the line index.
class EditorControl::QuietEdits {
public:
    explicit QuietEdits(EditorControl& editor) : editor_(editor) { editor_.beginQuiet(); }
    ~QuietEdits() { editor_.endQuiet(); }
    QuietEdits(const QuietEdits&) = delete;
    QuietEdits& operator=(const QuietEdits&) = delete;

private:
    EditorControl& editor_;
};

void EditorControl::beginQuiet()
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

void EditorControl::endQuiet()
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

QString EditorControl::bytesAt(qsizetype position, qsizetype length) const
{
    return decodeKeepingMarks(withoutBreaks(position, length));
}

void EditorControl::takeInsertedBytes()
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

void EditorControl::noteEdit(int position, int type, int length)
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
        const qsizetype removed = length - LongLines::SeparatorBytes * (breaksBefore(position + length) - breaksBefore(position));
        if (removed > 0)
            emit bytesChanged(textByte(position), removed, nullptr, 0);
    } else {
        emit bytesChanged(position, length, nullptr, 0);
    }
    // Nobody listens while accessibility is off, even if the interface was once made (Qt makes it for
    // its own purposes too); the offsets would cost the line index for nothing.
    if (!reportEdits_ || !accessibilityListening())
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

void EditorControl::setPieces(bool on)
{
    pieces_ = on;
    allowLineEnds();
    piecesChanged();
}

void EditorControl::allowLineEnds()
{
    // Changing them counts the lines again, which a big file feels.
    const long wanted = pieces_ ? SC_LINE_END_TYPE_UNICODE : SC_LINE_END_TYPE_DEFAULT;
    if (SendScintilla(SCI_GETLINEENDTYPESALLOWED) != wanted)
        SendScintilla(SCI_SETLINEENDTYPESALLOWED, static_cast<unsigned long>(wanted));
}

void EditorControl::piecesChanged() const
{
    breaksValid_ = !pieces_;
    textBytesValid_ = false;
    if (!pieces_) {
        breaks_.clear();
        breakOffsets_.clear();
        breakLines_.clear();
        textBytes_ = QByteArray();
    }
}

void EditorControl::ensureBreaks() const
{
    if (breaksValid_)
        return;
    breaks_.clear();
    breakOffsets_.clear();
    breakLines_.clear();
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
            breaks_.push_back(from + at);
    };
    scan(0, gap);
    for (qsizetype at = std::max<qsizetype>(gap - 2, 0); at < gap && at + 3 <= length; ++at) {
        if (SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(at)) == '\xE2' - 256
            && SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(at + 1)) == '\x80' - 256
            && SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(at + 2)) == '\xA8' - 256)
            breaks_.push_back(at);
    }
    const qsizetype straddling = breaks_.empty() || breaks_.back() < gap - 2 ? gap : breaks_.back() + 3;
    scan(std::max(gap, straddling), length);
    std::sort(breaks_.begin(), breaks_.end());
    breaks_.erase(std::unique(breaks_.begin(), breaks_.end()), breaks_.end());
    ensureCharacterIndex();
    for (std::size_t i = 0; i < breaks_.size(); ++i) {
        // A separator ends its line of the control, as one UTF-16 unit.
        const auto line = static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(breaks_[i])));
        breakLines_.push_back(line);
        const auto next = static_cast<qsizetype>(
            SendScintilla(SCI_INDEXPOSITIONFROMLINE, static_cast<unsigned long>(line + 1), SC_LINECHARACTERINDEX_UTF16));
        breakOffsets_.push_back(next - 1 - static_cast<qsizetype>(i));
    }
    breaksValid_ = true;
}

qsizetype EditorControl::breaksBefore(qsizetype position) const
{
    ensureBreaks();
    return std::lower_bound(breaks_.begin(), breaks_.end(), position) - breaks_.begin();
}

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

qsizetype EditorControl::textByte(qsizetype position) const
{
    return pieces_ ? position - LongLines::SeparatorBytes * breaksBefore(position) : position;
}

qsizetype EditorControl::controlPosition(qsizetype textByte) const
{
    if (!pieces_)
        return textByte;
    ensureBreaks();
    // Where a separator stands, the place before it.
    return textByte
        + LongLines::SeparatorBytes
        * leadingCount(breaks_, [&](qsizetype at, qsizetype i) { return at - LongLines::SeparatorBytes * i < textByte; });
}

int EditorControl::textLine(int controlLine) const
{
    if (!pieces_)
        return controlLine;
    ensureBreaks();
    return controlLine - static_cast<int>(std::lower_bound(breakLines_.begin(), breakLines_.end(), controlLine) - breakLines_.begin());
}

int EditorControl::viewLine(int line) const
{
    if (!pieces_)
        return line;
    ensureBreaks();
    return line + static_cast<int>(leadingCount(breakLines_, [&](int at, qsizetype i) { return at - i < line; }));
}

int EditorControl::lines() const
{
    const int count = QsciScintilla::lines();
    if (!pieces_)
        return count;
    ensureBreaks();
    return count - static_cast<int>(breaks_.size());
}

QString EditorControl::text(int line) const
{
    if (!pieces_)
        return QsciScintilla::text(line);
    const auto from = static_cast<qsizetype>(SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(viewLine(line))));
    const qsizetype to = line + 1 >= lines()
        ? byteLength()
        : static_cast<qsizetype>(SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(viewLine(line + 1))));
    return decodeKeepingMarks(withoutBreaks(from, std::max<qsizetype>(to - from, 0)));
}

QByteArray EditorControl::withoutBreaks(qsizetype position, qsizetype length) const
{
    const auto* data = reinterpret_cast<const char*>(
        SendScintilla(SCI_GETRANGEPOINTER, static_cast<unsigned long>(position), static_cast<long>(length)));
    if (!data)
        return QByteArray();
    return pieces_ ? LongLines::withoutPieces(QByteArrayView(data, length)) : QByteArray(data, length);
}

void EditorControl::takeInsertedText()
{
    if (pendingInsert_.second > 0 && !accessibleEdits_.empty())
        accessibleEdits_.back().text = bytesAt(pendingInsert_.first, pendingInsert_.second);
    pendingInsert_ = {0, 0};
}

void EditorControl::keyPressEvent(QKeyEvent* event)
{
    // Indenting after a brace reads the styles of the text before the caret. Keys that arrive faster
    // than the control paints (a busy machine, a paste of keystrokes) would find that text unstyled.
    // Only the keys that indent need it: colouring up to a caret far down a big file takes long.
    const QString typed = event->text();
    if (typed == u"\r" || typed == u"\n" || typed == u"{" || typed == u"}") {
        const auto caret = SendScintilla(SCI_GETCURRENTPOS);
        const auto styled = SendScintilla(SCI_GETENDSTYLED);
        if (styled < caret)
            SendScintilla(SCI_COLOURISE, static_cast<unsigned long>(styled), static_cast<long>(caret));
    }
    if (pieces_ && hasLineSeparator(event->text())) {
        withoutLineSeparators(QString());
        event->accept();
        return;
    }
    QuietEdits quiet(*this);
    const auto before = SendScintilla(SCI_GETCURRENTPOS);
    QsciScintilla::keyPressEvent(event);
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

bool EditorControl::isPieceSeparatorAt(long position)
{
    if (position < 0 || position + LongLines::SeparatorBytes > SendScintilla(SCI_GETLENGTH))
        return false;
    for (qsizetype i = 0; i < LongLines::SeparatorBytes; ++i)
        if (char(SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(position + i))) != LongLines::Separator[i])
            return false;
    return true;
}

void EditorControl::inputMethodEvent(QInputMethodEvent* event)
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

void EditorControl::dropEvent(QDropEvent* event)
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

bool EditorControl::hasLineSeparator(const QString& text) const
{
    return text.contains(QChar(0x2028)) || text.contains(QChar(0x2029)) || text.contains(QChar(0x85));
}

QString EditorControl::withoutLineSeparators(QString text) const
{
    text.remove(QChar(0x2028)).remove(QChar(0x2029)).remove(QChar(0x85));
    auto* self = const_cast<EditorControl*>(this);
    QMetaObject::invokeMethod(self, [self] { emit self->lineSeparatorsLeftOut(); }, Qt::QueuedConnection);
    return text;
}

void EditorControl::mousePressEvent(QMouseEvent* event)
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

void EditorControl::undo()
{
    QuietEdits quiet(*this);
    QsciScintilla::undo();
}

void EditorControl::redo()
{
    QuietEdits quiet(*this);
    QsciScintilla::redo();
}

void EditorControl::cut()
{
    QuietEdits quiet(*this);
    QsciScintilla::cut();
}

void EditorControl::paste()
{
    QuietEdits quiet(*this);
    const QString clip = QGuiApplication::clipboard()->text();
    if (pieces_ && hasLineSeparator(clip)) {
        QsciScintilla::replaceSelectedText(withoutLineSeparators(clip));
        return;
    }
    QsciScintilla::paste();
}

void EditorControl::clear()
{
    QuietEdits quiet(*this);
    QsciScintilla::clear();
}

void EditorControl::removeSelectedText()
{
    QuietEdits quiet(*this);
    QsciScintilla::removeSelectedText();
}

void EditorControl::replaceSelectedText(const QString& text)
{
    QuietEdits quiet(*this);
    QsciScintilla::replaceSelectedText(pieces_ && hasLineSeparator(text) ? withoutLineSeparators(text) : text);
}

void EditorControl::insert(const QString& text)
{
    QuietEdits quiet(*this);
    QsciScintilla::insert(pieces_ && hasLineSeparator(text) ? withoutLineSeparators(text) : text);
}

void EditorControl::append(const QString& text)
{
    QuietEdits quiet(*this);
    QsciScintilla::append(pieces_ && hasLineSeparator(text) ? withoutLineSeparators(text) : text);
}

EditorControl::EditorControl(QWidget* parent) : QsciScintilla(parent)
{
    SendScintilla(SCI_SETCODEPAGE, SC_CP_UTF8);
    SendScintilla(SCI_ALLOCATELINECHARACTERINDEX, SC_LINECHARACTERINDEX_UTF16);
    setUtf8(true);
    setEolMode(EolWindows);
    connect(this, &QsciScintilla::textChanged, this, &EditorControl::Change);
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
                    const qsizetype removed = length
                        - LongLines::SeparatorBytes * (breaksBefore(position + length) - breaksBefore(position));
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
    // The notices before each change tell what a text shown in pieces loses (noteEdit).
    SendScintilla(SCI_SETMODEVENTMASK,
        static_cast<unsigned long>(SendScintilla(SCI_GETMODEVENTMASK) | SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE));
    EditorAccessible::install(this);
}

QByteArrayView EditorControl::utf8View() const
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

qsizetype EditorControl::utf8Length() const
{
    const auto length = static_cast<qsizetype>(SendScintilla(SCI_GETTEXTLENGTH));
    return pieces_ ? textByte(length) : length;
}

void EditorControl::replaceUtf8(qsizetype fromByte, qsizetype toByte, const QByteArray& bytes)
{
    const qsizetype from = controlPosition(fromByte);
    const qsizetype to = controlPosition(std::max(fromByte, toByte));
    SendScintilla(SCI_BEGINUNDOACTION);
    replaceRange(from, to, bytes);
    SendScintilla(SCI_ENDUNDOACTION);
}

qsizetype EditorControl::caretPosition() const
{
    return textByte(static_cast<qsizetype>(SendScintilla(SCI_GETCURRENTPOS)));
}

void EditorControl::placeCaret(qsizetype bytePosition)
{
    const qsizetype position = controlPosition(std::max<qsizetype>(bytePosition, 0));
    SendScintilla(SCI_SETEMPTYSELECTION, static_cast<unsigned long>(std::min(position, byteLength())));
}

QByteArray EditorControl::utf8() const
{
    if (pieces_)
        return QByteArray(utf8View().data(), utf8View().size());
    const auto length = static_cast<qsizetype>(SendScintilla(SCI_GETTEXTLENGTH));
    const auto* data = reinterpret_cast<const char*>(SendScintilla(SCI_GETCHARACTERPOINTER));
    return QByteArray(data, length);
}

QString EditorControl::Text() const
{
    return decodeKeepingMarks(utf8());
}

qsizetype EditorControl::byteLength() const
{
    return static_cast<qsizetype>(SendScintilla(SCI_GETTEXTLENGTH));
}

QStringView EditorControl::decodeText(QString& buffer) const
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

qsizetype EditorControl::textLength() const
{
    // Through the line index: counting from the start would cost the whole text on every call.
    return offsetOfPosition(byteLength());
}

void EditorControl::replaceRange(qsizetype fromByte, qsizetype toByte, const QByteArray& bytes)
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

void EditorControl::setText(const QString& text)
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

void EditorControl::loadUtf8(const QByteArray& bytes)
{
    const std::unique_ptr<PreparedLoad> load = prepareLoad(bytes.size());
    load->fill(bytes);
    loadPrepared(*load);
}

void EditorControl::replaceAllUtf8(const QByteArray& bytes)
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

std::unique_ptr<EditorControl::PreparedLoad> EditorControl::prepareLoad(qsizetype expectedBytes)
{
    // A document filled off screen has no one watching it: no modification notices per insertion,
    // no accessibility events carrying the whole text, no redraws. That makes it the fast way in.
    auto* loader = reinterpret_cast<ILoader*>(SendScintilla(SCI_CREATELOADER,
        static_cast<unsigned long>(std::max<qsizetype>(expectedBytes, 0) + 1), long(SC_DOCUMENTOPTION_DEFAULT)));
    std::unique_ptr<PreparedLoad> load(new PreparedLoad(*this, loader));
    // Only a lexer lets the control take the separators as line ends.
    load->allowPieces_ = lexer() != nullptr;
    return load;
}

void EditorControl::PreparedLoad::fill(const QByteArray& text)
{
    auto* loader = static_cast<ILoader*>(loader_);
    pieces_ = allowPieces_ && LongLines::needsPieces(text);
    const QByteArray bytes = pieces_ ? LongLines::makePieces(text) : text;
    if (loader && loader->AddData(bytes.constData(), bytes.size()) == SC_STATUS_OK) {
        document_ = loader->ConvertToDocument();
    } else {
        if (loader)
            loader->Release();
        fallback_ = bytes;
    }
    loader_ = nullptr;
}

EditorControl::PreparedLoad::~PreparedLoad()
{
    if (loader_)
        static_cast<ILoader*>(loader_)->Release();
    if (document_) // filled but never shown
        editor_.SendScintilla(SCI_RELEASEDOCUMENT, 0UL, document_);
}

void EditorControl::loadPrepared(PreparedLoad& load)
{
    if (load.document_) {
        pieces_ = load.pieces_;
        adoptDocument(load.document_);
        load.document_ = nullptr;
    } else {
        setPieces(load.pieces_);
        loadByAppending(load.fallback_);
        load.fallback_.clear();
    }
    setPieces(load.pieces_);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_SETSAVEPOINT);
    SendScintilla(SCI_GOTOPOS, 0UL);
    emit Change();
    // A new document arrives whole, without the notifications that count its lines.
    emit linesChanged();
}

void EditorControl::loadByAppending(const QByteArray& bytes)
{
    SendScintilla(SCI_SETUNDOCOLLECTION, 0UL);
    SendScintilla(SCI_CLEARALL);
    SendScintilla(SCI_ALLOCATE, static_cast<unsigned long>(bytes.size() + 1));
    SendScintilla(SCI_APPENDTEXT, static_cast<unsigned long>(bytes.size()), bytes.constData());
    SendScintilla(SCI_SETUNDOCOLLECTION, 1UL);
}

void EditorControl::adoptDocument(void* document)
{
    // The settings below live on the document, not on the view: carry them over to the new one.
    const auto eolMode = SendScintilla(SCI_GETEOLMODE);
    const auto codePage = SendScintilla(SCI_GETCODEPAGE);
    const auto tabWidth = SendScintilla(SCI_GETTABWIDTH);
    const auto indent = SendScintilla(SCI_GETINDENT);
    const auto useTabs = SendScintilla(SCI_GETUSETABS);
    const auto tabIndents = SendScintilla(SCI_GETTABINDENTS);
    const auto backspaceUnindents = SendScintilla(SCI_GETBACKSPACEUNINDENTS);
    const auto readOnly = SendScintilla(SCI_GETREADONLY);
    const QByteArray wordChars = characterSet(SCI_GETWORDCHARS);
    const QByteArray whitespaceChars = characterSet(SCI_GETWHITESPACECHARS);
    const QByteArray punctuationChars = characterSet(SCI_GETPUNCTUATIONCHARS);

    SendScintilla(SCI_SETDOCPOINTER, 0UL, document);
    // The view holds its own reference now; drop the loader's.
    SendScintilla(SCI_RELEASEDOCUMENT, 0UL, document);

    SendScintilla(SCI_SETCODEPAGE, static_cast<unsigned long>(codePage));
    SendScintilla(SCI_SETEOLMODE, static_cast<unsigned long>(eolMode));
    SendScintilla(SCI_SETTABWIDTH, static_cast<unsigned long>(tabWidth));
    SendScintilla(SCI_SETINDENT, static_cast<unsigned long>(indent));
    SendScintilla(SCI_SETUSETABS, static_cast<unsigned long>(useTabs));
    SendScintilla(SCI_SETTABINDENTS, static_cast<unsigned long>(tabIndents));
    SendScintilla(SCI_SETBACKSPACEUNINDENTS, static_cast<unsigned long>(backspaceUnindents));
    SendScintilla(SCI_SETWORDCHARS, 0UL, wordChars.constData());
    SendScintilla(SCI_SETWHITESPACECHARS, 0UL, whitespaceChars.constData());
    SendScintilla(SCI_SETPUNCTUATIONCHARS, 0UL, punctuationChars.constData());
    // The UTF-16 line index is not built here: on a big file it costs as much as the load itself,
    // and only position conversions need it (ensureCharacterIndex).
    reattachLexer();
    SendScintilla(SCI_SETREADONLY, static_cast<unsigned long>(readOnly));
    // A loader's document is made with its undo history switched off.
    SendScintilla(SCI_SETUNDOCOLLECTION, 1UL);
}

QByteArray EditorControl::characterSet(unsigned int message) const
{
    const auto length = static_cast<qsizetype>(SendScintilla(message, 0UL, static_cast<const char*>(nullptr)));
    QByteArray characters(length, '\0');
    SendScintilla(message, 0UL, characters.data());
    return characters;
}

void EditorControl::reattachLexer()
{
    // The lexer's language, keywords and properties belong to the document; its styles belong to the
    // view and are still in place.
    QsciLexer* lexer = this->lexer();
    if (!lexer)
        return;
    if (lexer->lexer())
        SendScintilla(SCI_SETLEXERLANGUAGE, 0UL, lexer->lexer());
    else
        SendScintilla(SCI_SETLEXER, static_cast<unsigned long>(lexer->lexerId()));
    SendScintilla(SCI_SETPROPERTY, "fold", "1");
    SendScintilla(SCI_SETPROPERTY, "fold.html", "1");
    // Which line ends the document takes depends on its lexer (LongLines).
    allowLineEnds();
    for (int set = 0; set <= KeywordSetMax; ++set) {
        const char* keywords = lexer->keywords(set + 1);
        SendScintilla(SCI_SETKEYWORDS, static_cast<unsigned long>(set), keywords ? keywords : "");
    }
    lexer->refreshProperties();
}

void EditorControl::markSaved()
{
    SendScintilla(SCI_SETSAVEPOINT);
}

void EditorControl::emptyUndoBuffer()
{
    SendScintilla(SCI_EMPTYUNDOBUFFER);
}

const void* EditorControl::documentId() const
{
    return reinterpret_cast<const void*>(SendScintilla(SCI_GETDOCPOINTER));
}

int EditorControl::textAreaLeft() const
{
    auto left = static_cast<int>(SendScintilla(SCI_GETMARGINLEFT));
    for (unsigned long margin = 0; margin < MarginCount; ++margin)
        left += static_cast<int>(SendScintilla(SCI_GETMARGINWIDTHN, margin));
    return left;
}

int EditorControl::lineAtY(int y) const
{
    const auto position = SendScintilla(SCI_POSITIONFROMPOINT, static_cast<unsigned long>(textAreaLeft()), static_cast<long>(y));
    return static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(position)));
}

void EditorControl::ensureCharacterIndex() const
{
    if (!(SendScintilla(SCI_GETLINECHARACTERINDEX) & SC_LINECHARACTERINDEX_UTF16))
        SendScintilla(SCI_ALLOCATELINECHARACTERINDEX, static_cast<unsigned long>(SC_LINECHARACTERINDEX_UTF16));
}

qsizetype EditorControl::offsetOfPosition(qsizetype pos) const
{
    return pieces_ ? rawOffset(pos) - breaksBefore(pos) : rawOffset(pos);
}

qsizetype EditorControl::positionOfOffset(qsizetype offset) const
{
    if (!pieces_ || offset <= 0)
        return rawPosition(offset);
    ensureBreaks();
    // Where a separator stands, the place before it.
    const auto before = std::lower_bound(breakOffsets_.begin(), breakOffsets_.end(), offset) - breakOffsets_.begin();
    return rawPosition(offset + before);
}

qsizetype EditorControl::rawOffset(qsizetype pos) const
{
    ensureCharacterIndex();
    const auto line = static_cast<long>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(pos)));
    const auto lineStart = static_cast<long>(SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)));
    const auto lineOffset = static_cast<qsizetype>(
        SendScintilla(SCI_INDEXPOSITIONFROMLINE, static_cast<unsigned long>(line), SC_LINECHARACTERINDEX_UTF16));
    return lineOffset
        + static_cast<qsizetype>(SendScintilla(SCI_COUNTCODEUNITS, static_cast<unsigned long>(lineStart), static_cast<long>(pos)));
}

void EditorControl::fillIndicator(int indicator, qsizetype fromOffset, qsizetype toOffset)
{
    const auto from = positionOfOffset(fromOffset);
    const auto to = positionOfOffset(toOffset);
    if (to <= from)
        return;
    SendScintilla(SCI_SETINDICATORCURRENT, static_cast<unsigned long>(indicator));
    SendScintilla(SCI_INDICATORFILLRANGE, static_cast<unsigned long>(from), static_cast<long>(to - from));
}

void EditorControl::clearIndicator(int indicator)
{
    SendScintilla(SCI_SETINDICATORCURRENT, static_cast<unsigned long>(indicator));
    SendScintilla(SCI_INDICATORCLEARRANGE, 0UL, static_cast<long>(SendScintilla(SCI_GETTEXTLENGTH)));
}

bool EditorControl::indicatorAt(int indicator, qsizetype offset) const
{
    return SendScintilla(SCI_INDICATORVALUEAT, static_cast<unsigned long>(indicator),
                         static_cast<long>(positionOfOffset(offset))) != 0;
}

QList<std::pair<qsizetype, qsizetype>> EditorControl::indicatorRanges(int indicator) const
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

qsizetype EditorControl::rawPosition(qsizetype offset) const
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
    return bytesAt(start, end - start);
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
    return textLine(static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(pos)))) + 1;
}

int EditorControl::caretColumn() const
{
    if (pieces_)
        return static_cast<int>(caretOffset() - offsetOfLine(caretLine() - 1)) + 1;
    const auto pos = static_cast<long>(SendScintilla(SCI_GETCURRENTPOS));
    const auto line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(pos));
    const auto lineStart = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    return static_cast<int>(SendScintilla(SCI_COUNTCODEUNITS, static_cast<unsigned long>(lineStart), pos)) + 1;
}

qsizetype EditorControl::clampedPosition(qsizetype offset) const
{
    if (offset <= 0)
        return 0;
    return std::min(positionOfOffset(offset), byteLength());
}

std::pair<qsizetype, qsizetype> EditorControl::unitAt(qsizetype offset, TextUnit unit) const
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

QString EditorControl::textBetween(qsizetype from, qsizetype to) const
{
    qsizetype start = clampedPosition(from);
    qsizetype end = clampedPosition(to);
    if (start > end)
        std::swap(start, end);
    return bytesAt(start, end - start);
}

void EditorControl::replaceBetween(qsizetype from, qsizetype to, const QString& text)
{
    qsizetype start = clampedPosition(from);
    qsizetype end = clampedPosition(to);
    if (start > end)
        std::swap(start, end);
    replaceRange(start, end, text.toUtf8());
}

qsizetype EditorControl::caretOffset() const
{
    return offsetOfPosition(static_cast<qsizetype>(SendScintilla(SCI_GETCURRENTPOS)));
}

void EditorControl::setCaretOffset(qsizetype offset)
{
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(clampedPosition(offset)));
}

std::pair<qsizetype, qsizetype> EditorControl::selectionOffsets() const
{
    return {offsetOfPosition(static_cast<qsizetype>(SendScintilla(SCI_GETANCHOR))),
        offsetOfPosition(static_cast<qsizetype>(SendScintilla(SCI_GETCURRENTPOS)))};
}

void EditorControl::selectOffsets(qsizetype anchor, qsizetype caret)
{
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(clampedPosition(anchor)), static_cast<long>(clampedPosition(caret)));
}

QRect EditorControl::characterRect(qsizetype offset) const
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

qsizetype EditorControl::offsetAt(QPoint viewportPoint) const
{
    const auto pos = static_cast<qsizetype>(SendScintilla(SCI_POSITIONFROMPOINTCLOSE,
        static_cast<unsigned long>(std::max(viewportPoint.x(), 0)), static_cast<long>(viewportPoint.y())));
    if (viewportPoint.x() < 0 || pos < 0)
        return -1;
    return offsetOfPosition(pos);
}

void EditorControl::scrollToOffsets(qsizetype from, qsizetype to)
{
    SendScintilla(SCI_SCROLLRANGE, static_cast<unsigned long>(clampedPosition(to)), static_cast<long>(clampedPosition(from)));
}

qsizetype EditorControl::offsetOfLine(int line) const
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

void EditorControl::replaceOffsets(qsizetype from, qsizetype to, const QString& text)
{
    const qsizetype fromByte = positionOfOffset(from);
    const qsizetype toByte = positionOfOffset(std::max(from, to));
    const QByteArray bytes = text.toUtf8();
    SendScintilla(SCI_BEGINUNDOACTION);
    replaceRange(fromByte, toByte, bytes);
    SendScintilla(SCI_ENDUNDOACTION);
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(fromByte + bytes.size()));
}

void EditorControl::goToLine(int line)
{
    const int count = lines();
    const auto index = static_cast<unsigned long>(viewLine(std::clamp(line, 1, std::max(count, 1)) - 1));
    SendScintilla(SCI_ENSUREVISIBLEENFORCEPOLICY, index);
    SendScintilla(SCI_GOTOLINE, index);
    SendScintilla(SCI_VERTICALCENTRECARET);
}

void EditorControl::setFirstShownLine(int line)
{
    const auto index = static_cast<unsigned long>(viewLine(std::max(line, 1) - 1));
    SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(SendScintilla(SCI_VISIBLEFROMDOCLINE, index)));
}

int EditorControl::firstShownLine() const
{
    const auto shown = SendScintilla(SCI_GETFIRSTVISIBLELINE);
    return textLine(static_cast<int>(SendScintilla(SCI_DOCLINEFROMVISIBLE, static_cast<unsigned long>(shown)))) + 1;
}

int EditorControl::linesShown() const
{
    return static_cast<int>(SendScintilla(SCI_LINESONSCREEN));
}

int EditorControl::zoomLevel() const
{
    return static_cast<int>(SendScintilla(SCI_GETZOOM));
}

namespace {
constexpr int ListId = 1;
}

void EditorControl::showList(const QStringList& items)
{
    listItems_ = items;
    // Kept in the order given (best first); the control still finds an item by what is typed.
    SendScintilla(SCI_AUTOCSETORDER, SC_ORDER_CUSTOM);
    SendScintilla(SCI_AUTOCSETMAXHEIGHT, 10);
    // The caller narrows the list as the name is typed, shows it again and closes it when nothing fits.
    SendScintilla(SCI_AUTOCSETAUTOHIDE, 0L);
    SendScintilla(SCI_AUTOCSETCANCELATSTART, 0L);
    showUserList(ListId, items);
}

bool EditorControl::listShown() const
{
    return isListActive();
}

void EditorControl::closeList()
{
    if (isListActive())
        cancelList();
}

void EditorControl::showTip(qsizetype offset, const QString& text, qsizetype highlightFrom, qsizetype highlightTo)
{
    const QByteArray bytes = text.toUtf8();
    const auto from = text.left(std::clamp<qsizetype>(highlightFrom, 0, text.size())).toUtf8().size();
    const auto to = text.left(std::clamp<qsizetype>(highlightTo, 0, text.size())).toUtf8().size();
    SendScintilla(SCI_CALLTIPSHOW, static_cast<unsigned long>(clampedPosition(offset)),
                  bytes.constData());
    SendScintilla(SCI_CALLTIPSETHLT, static_cast<unsigned long>(from), static_cast<long>(std::max(from, to)));
}

bool EditorControl::tipShown() const
{
    return SendScintilla(SCI_CALLTIPACTIVE) != 0;
}

void EditorControl::closeTip()
{
    SendScintilla(SCI_CALLTIPCANCEL);
}
