#include "FarColouring.h"

#include <Qsci/qscilexerjava.h>
#include <Qsci/qsciscintilla.h>

#include <QAbstractScrollArea>
#include <QEvent>

#include <algorithm>

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

void FarColouring::colourScreen()
{
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

bool FarColouring::colourLines(int first, int last)
{
    if (!qobject_cast<QsciLexerJava*>(editor_.lexer()))
        return false;
    const auto send = [this](unsigned int message, unsigned long wParam = 0, long lParam = 0) {
        return editor_.SendScintilla(message, wParam, lParam);
    };
    const void* document = reinterpret_cast<const void*>(send(Sci::SCI_GETDOCPOINTER));
    if (document != document_) {
        states_.clear();
        document_ = document;
        colouredFrom_ = colouredTo_ = 0;
    }
    const long styled = send(Sci::SCI_GETENDSTYLED);
    const long lines = send(Sci::SCI_GETLINECOUNT);
    const int earliest = int(send(Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(styled)) + 1);
    first = std::max(first, earliest);
    last = int(std::min<long>(last, lines - 1));
    if (first > last)
        return false;
    const bool unicodeLineEnds = send(Sci::SCI_GETLINEENDTYPESACTIVE) & Sci::SC_LINE_END_TYPE_UNICODE;
    const auto bytes = [this](qsizetype at, qsizetype length) {
        return reinterpret_cast<const char*>(editor_.SendScintilla(Sci::SCI_GETRANGEPOINTER,
            static_cast<unsigned long>(at), static_cast<long>(length)));
    };
    // A line carried on from the one before is coloured from where that one starts.
    constexpr int MostLinesCarried = 1000;
    long from = 0;
    JavaLineStates::State state{JavaLineStates::Kind::Continued};
    for (int tries = 0; state.kind == JavaLineStates::Kind::Continued; ++tries, --first) {
        if (first < earliest || tries > MostLinesCarried)
            return false;
        from = send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(first));
        state = states_.stateAt(from, unicodeLineEnds, bytes);
    }
    if (state.kind == JavaLineStates::Kind::Unknown)
        return false;
    const long to = last + 1 < lines ? send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(last + 1)) : send(Sci::SCI_GETLENGTH);
    // The lexer starts from the style of the byte before the line, and looks back from there for
    // the last character that is no space and no comment.
    // Between those two there are only spaces and comments, whatever an earlier colouring of a
    // text since changed left there.
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
