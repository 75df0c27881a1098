// Whole texts coming in: filled off screen (on any thread) and shown in one step.
#include "EditorSurface.h"

#include "FarColouring.h"
#include "LongLines.h"

#include <Qsci/qscilexer.h>

#include <algorithm>
#include <cstddef>
#include <new>

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
// Room left after the text. The buffer must keep a gap of two bytes at least: reading the text
// whole (utf8View) otherwise grows it by a sixth first, which at 100 MB is 17 MB more memory and a
// copy of the whole text. A few pages more let the first keystrokes in without growing it either.
constexpr qsizetype LoadSlack = 16 * 1024;
} // namespace

qsizetype EditorSurface::loadRoom(qsizetype expectedBytes)
{
    return std::max<qsizetype>(expectedBytes, 0) + LoadSlack;
}

std::unique_ptr<EditorSurface::PreparedLoad> EditorSurface::prepareLoad(qsizetype expectedBytes)
{
    std::unique_ptr<PreparedLoad> load(new PreparedLoad(*this, loadRoom(expectedBytes)));
    // Only a lexer lets the control take the separators as line ends.
    load->allowPieces_ = lexer() != nullptr;
    return load;
}

void EditorControl::PreparedLoad::reserve()
{
    if (reserved_)
        return;
    reserved_ = true;
    // A document filled off screen has no one watching it: no modification notices per insertion,
    // no accessibility events carrying the whole text, no redraws. That makes it the fast way in.
    // Making one touches nothing of the view, so it may happen while the view is in use elsewhere.
    try {
        loader_ = reinterpret_cast<void*>(editor_.SendScintilla(QsciScintillaBase::SCI_CREATELOADER,
                                                                static_cast<unsigned long>(room_),
                                                                long(QsciScintillaBase::SC_DOCUMENTOPTION_DEFAULT)));
    } catch (const std::bad_alloc&) {
        loader_ = nullptr; // the fill falls back to appending on the UI thread
    }
}

void EditorControl::PreparedLoad::fill(const QByteArray& text)
{
    reserve();
    auto* loader = static_cast<ILoader*>(loader_);
    pieces_ = allowPieces_ && LongLines::needsPieces(text);
    const QByteArray bytes = pieces_ ? LongLines::makePieces(text) : text;
    if (loader && loader->AddData(bytes.constData(), bytes.size()) == QsciScintillaBase::SC_STATUS_OK) {
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
        editor_.SendScintilla(QsciScintillaBase::SCI_RELEASEDOCUMENT, 0UL, document_);
}

void EditorSurface::loadPrepared(PreparedLoad& load)
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

void EditorSurface::loadByAppending(const QByteArray& bytes)
{
    SendScintilla(SCI_SETUNDOCOLLECTION, 0UL);
    SendScintilla(SCI_CLEARALL);
    SendScintilla(SCI_ALLOCATE, static_cast<unsigned long>(bytes.size() + 1));
    SendScintilla(SCI_APPENDTEXT, static_cast<unsigned long>(bytes.size()), bytes.constData());
    SendScintilla(SCI_SETUNDOCOLLECTION, 1UL);
}

void EditorSurface::adoptDocument(void* document)
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
    farColouring_->forget();
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

QByteArray EditorSurface::characterSet(unsigned int message) const
{
    const auto length = static_cast<qsizetype>(SendScintilla(message, 0UL, static_cast<const char*>(nullptr)));
    QByteArray characters(length, '\0');
    SendScintilla(message, 0UL, characters.data());
    return characters;
}

void EditorSurface::reattachLexer()
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
    keepFoldingOff();
    // Which line ends the document takes depends on its lexer (LongLines).
    allowLineEnds();
    for (int set = 0; set <= KeywordSetMax; ++set) {
        const char* keywords = lexer->keywords(set + 1);
        SendScintilla(SCI_SETKEYWORDS, static_cast<unsigned long>(set), keywords ? keywords : "");
    }
    lexer->refreshProperties();
}

void EditorSurface::setLexer(QsciLexer* lexer)
{
    QsciScintilla::setLexer(lexer);
    keepFoldingOff();
}

void EditorSurface::keepFoldingOff()
{
    // Nothing here folds, yet a lexer told to fold keeps a level for every line of the text as it
    // colours: 16 MB at 100 MB of text, and time on every slice of colouring. The colours do not
    // depend on it.
    SendScintilla(SCI_SETPROPERTY, "fold", "0");
}
