#include "FarColouring.h"

#include <Qsci/qscilexerjava.h>
#include <Qsci/qsciscintilla.h>

#include <QAbstractScrollArea>
#include <QEvent>

#include <algorithm>
#include <system_error>
#include <thread>

namespace {
using Sci = QsciScintillaBase;
}

FarColouring::FarColouring(QsciScintilla& editor) : QObject(&editor), editor_(editor)
{
    editor.viewport()->installEventFilter(this);
    connect(&editor, &QsciScintillaBase::SCN_MODIFIED, this,
        [this](int position, int type, const char*, int, int, int, int, int, int, int) {
            if (type & (Sci::SC_MOD_INSERTTEXT | Sci::SC_MOD_DELETETEXT)) {
                states_.forgetAfter(position);
                colouredFrom_ = colouredTo_ = 0;
            }
        });
}

bool FarColouring::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && watched == editor_.viewport())
        colourScreen();
    return false;
}

void FarColouring::forget()
{
    states_.clear();
    reachedEnd_ = false;
    colouredFrom_ = colouredTo_ = 0;
}

void FarColouring::noticeDocument()
{
    const auto* document = reinterpret_cast<const void*>(editor_.SendScintilla(Sci::SCI_GETDOCPOINTER));
    if (document != document_) {
        forget();
        document_ = document;
    }
}

void FarColouring::colourScreen()
{
    noticeDocument();
    const long first = editor_.SendScintilla(Sci::SCI_DOCLINEFROMVISIBLE, editor_.SendScintilla(Sci::SCI_GETFIRSTVISIBLELINE));
    const long shown = editor_.SendScintilla(Sci::SCI_LINESONSCREEN) + 1;
    const long from = editor_.SendScintilla(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(first));
    if (from <= editor_.SendScintilla(Sci::SCI_GETENDSTYLED))
        return; // the control colours it while painting
    const long to = editor_.SendScintilla(Sci::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(first + shown));
    if (covers(from, to))
        return;
    // A screen above and one below are coloured too, so that scrolling a little finds them ready.
    colourLines(int(std::max(0L, first - shown)), int(first + 2 * shown));
}

void FarColouring::reachEnd(long styled)
{
    // The lexer keeps a record for every line up to the last it has coloured, in an array it lets
    // grow as a vector grows: the first colouring far down a big text fills millions of them and then
    // moves them all to an array twice as long, which takes longer than the colouring. Colouring
    // one line half way down and then the last line (and wiping those colours: nothing has coloured
    // them yet) makes the array as long as it will ever be, with half the moving, and while the scan
    // runs.
    reachedEnd_ = true;
    const auto send = [this](unsigned int message, unsigned long wParam = 0, long lParam = 0) {
        return editor_.SendScintilla(message, wParam, lParam);
    };
    const long length = send(Sci::SCI_GETLENGTH);
    const long lines = send(Sci::SCI_GETLINECOUNT);
    const auto colourAlone = [&](long from, long to) {
        if (from <= styled || to <= from)
            return;
        // An operator before it keeps the lexer from looking back through all that is not coloured.
        send(Sci::SCI_STARTSTYLING, static_cast<unsigned long>(from - 1));
        send(Sci::SCI_SETSTYLING, 1, QsciLexerJava::Operator);
        send(Sci::SCI_COLOURISE, static_cast<unsigned long>(from), to);
        send(Sci::SCI_STARTSTYLING, static_cast<unsigned long>(from - 1));
        send(Sci::SCI_SETSTYLING, static_cast<unsigned long>(to - from + 1), QsciLexerJava::Default);
    };
    const long half = lines / 2;
    if (half > 0 && half + 1 < lines) {
        colourAlone(send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(half)),
            send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(half + 1)));
    }
    long last = send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(lines - 1));
    if (last == length && lines > 1)
        last = send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(lines - 2));
    colourAlone(last, length);
    send(Sci::SCI_STARTSTYLING, static_cast<unsigned long>(styled));
}

bool FarColouring::colourLines(int first, int last)
{
    if (!qobject_cast<QsciLexerJava*>(editor_.lexer()))
        return false;
    const auto send = [this](unsigned int message, unsigned long wParam = 0, long lParam = 0) {
        return editor_.SendScintilla(message, wParam, lParam);
    };
    noticeDocument();
    const long styled = send(Sci::SCI_GETENDSTYLED);
    const long lines = send(Sci::SCI_GETLINECOUNT);
    const int earliest = int(send(Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(styled)) + 1);
    first = std::max(first, earliest);
    last = int(std::min<long>(last, lines - 1));
    if (first > last)
        return false;
    const bool unicodeLineEnds = send(Sci::SCI_GETLINEENDTYPESACTIVE) & Sci::SC_LINE_END_TYPE_UNICODE;
    long from = send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(first));
    // All the text before the lines, in one piece; it stays where it is while nothing edits it.
    const auto* text = reinterpret_cast<const char*>(send(Sci::SCI_GETRANGEPOINTER, 0, from));
    const auto bytes = [text](qsizetype at, qsizetype) { return text + at; };
    const auto stateAt = [&] {
        try {
            return states_.stateAt(from, unicodeLineEnds, bytes);
        } catch (const std::bad_alloc&) {
            states_.clear();
            return JavaLineStates::State{JavaLineStates::Kind::Unknown};
        }
    };
    JavaLineStates::State state;
    if (!reachedEnd_) {
        // The scan reads only the text and the lexer writes only colours: the scan runs beside it.
        std::thread scanning;
        try {
            scanning = std::thread([&] { state = stateAt(); });
        } catch (const std::system_error&) {
            state = stateAt();
        }
        reachEnd(styled);
        if (scanning.joinable())
            scanning.join();
    } else {
        state = stateAt();
    }
    // A line carried on from the one before is coloured from where that one starts.
    constexpr int MostLinesCarried = 1000;
    for (int tries = 0; state.kind == JavaLineStates::Kind::Continued; ++tries) {
        if (--first < earliest || tries > MostLinesCarried)
            return false;
        from = send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(first));
        state = stateAt();
    }
    if (state.kind == JavaLineStates::Kind::Unknown)
        return false;
    const long to = last + 1 < lines ? send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(last + 1)) : send(Sci::SCI_GETLENGTH);
    // The lexer starts from the style of the byte before the line, and looks back from there for
    // the last character that is no space and no comment. Between those two there are only spaces
    // and comments, whatever an earlier colouring of a text since changed left there.
    if (state.lastSignificant >= styled) {
        send(Sci::SCI_STARTSTYLING, static_cast<unsigned long>(state.lastSignificant));
        send(Sci::SCI_SETSTYLING, 1, state.afterOperator ? QsciLexerJava::Operator : QsciLexerJava::Identifier);
    }
    const long quiet = std::max<long>(state.lastSignificant + 1, styled);
    send(Sci::SCI_STARTSTYLING, static_cast<unsigned long>(quiet));
    send(Sci::SCI_SETSTYLING, static_cast<unsigned long>(from - 1 - quiet), QsciLexerJava::Default);
    const int before = state.kind == JavaLineStates::Kind::Comment ? QsciLexerJava::Comment
        : state.kind == JavaLineStates::Kind::DocComment           ? QsciLexerJava::CommentDoc
                                                                   : QsciLexerJava::Default;
    send(Sci::SCI_STARTSTYLING, static_cast<unsigned long>(from - 1));
    send(Sci::SCI_SETSTYLING, 1, before);
    send(Sci::SCI_COLOURISE, static_cast<unsigned long>(from), to);
    // The control goes on colouring from where it was: it has not coloured what lies between.
    send(Sci::SCI_STARTSTYLING, static_cast<unsigned long>(styled));
    colouredFrom_ = from;
    colouredTo_ = to;
    return true;
}
