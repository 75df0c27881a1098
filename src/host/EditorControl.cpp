#include "EditorControl.h"

#include <Qsci/qscilexer.h>

#include <QStringDecoder>

#include <algorithm>
#include <cstddef>

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
    return decodeKeepingMarks(utf8());
}

QStringView EditorControl::decodeText(QString& buffer) const
{
    const auto length = static_cast<qsizetype>(SendScintilla(SCI_GETTEXTLENGTH));
    const auto* data = reinterpret_cast<const char*>(SendScintilla(SCI_GETCHARACTERPOINTER));
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
    const std::unique_ptr<PreparedLoad> load = prepareLoad(bytes.size());
    load->fill(bytes);
    loadPrepared(*load);
}

std::unique_ptr<EditorControl::PreparedLoad> EditorControl::prepareLoad(qsizetype expectedBytes)
{
    // A document filled off screen has no one watching it: no modification notices per insertion,
    // no accessibility events carrying the whole text, no redraws. That makes it the fast way in.
    auto* loader = reinterpret_cast<ILoader*>(SendScintilla(SCI_CREATELOADER,
        static_cast<unsigned long>(std::max<qsizetype>(expectedBytes, 0) + 1), long(SC_DOCUMENTOPTION_DEFAULT)));
    return std::unique_ptr<PreparedLoad>(new PreparedLoad(*this, loader));
}

void EditorControl::PreparedLoad::fill(const QByteArray& bytes)
{
    auto* loader = static_cast<ILoader*>(loader_);
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
        adoptDocument(load.document_);
        load.document_ = nullptr;
    } else {
        loadByAppending(load.fallback_);
        load.fallback_.clear();
    }
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_SETSAVEPOINT);
    SendScintilla(SCI_GOTOPOS, 0UL);
    emit Change();
    // A new document arrives whole, without the notifications that count its lines.
    emit linesChanged();
}

void EditorControl::keyPressEvent(QKeyEvent* event)
{
    // Indenting after a brace reads the styles of the text before the caret. Keys that arrive faster
    // than the control paints (a busy machine, a paste of keystrokes) would find that text unstyled.
    const auto caret = SendScintilla(SCI_GETCURRENTPOS);
    const auto styled = SendScintilla(SCI_GETENDSTYLED);
    if (styled < caret)
        SendScintilla(SCI_COLOURISE, static_cast<unsigned long>(styled), static_cast<long>(caret));
    QsciScintilla::keyPressEvent(event);
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

qsizetype EditorControl::offsetAt(const QPoint& point) const
{
    const auto pos = static_cast<long>(SendScintilla(SCI_POSITIONFROMPOINTCLOSE, static_cast<unsigned long>(point.x()),
                                                     static_cast<long>(point.y())));
    return pos < 0 ? -1 : offsetOfPosition(pos);
}

qsizetype EditorControl::positionOfOffset(qsizetype offset) const
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
    const auto* data = reinterpret_cast<const char*>(SendScintilla(SCI_GETRANGEPOINTER,
        static_cast<unsigned long>(start), static_cast<long>(end - start)));
    return decodeKeepingMarks(QByteArrayView(data, end - start));
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
