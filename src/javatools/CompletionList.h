#pragma once

#include "ServiceFraming.h"

#include <QList>
#include <QString>
#include <QStringView>

// How completion candidates are ordered, shown and inserted; no widgets here.
namespace CompletionList {

// The candidates that match prefix, best first: names that begin with it as typed, then those that
// begin with it in another case, then those that hold it; within each, locals, then members, then
// types, then keywords, each by name. Two candidates that would show alike are shown once.
QList<ServiceFraming::CompletionCandidate> rank(const QList<ServiceFraming::CompletionCandidate>& candidates,
                                                QStringView prefix);

// What the list shows: "length() : int", "s : String", "ArrayList - java.util", "for".
QString label(const ServiceFraming::CompletionCandidate& candidate);

// The text that replaces the word being typed, and where the caret goes in it. A method gets its
// parentheses (the caret inside when it takes arguments) unless a '(' already follows the word.
struct Insertion {
    QString text;
    qsizetype caret = 0;
    bool opensCall = false; // the caret is left inside a call's parentheses
};
Insertion insertion(const ServiceFraming::CompletionCandidate& candidate, QStringView textAfterWord);

// The parameter hint: one line per overload, "substring(int beginIndex, int endIndex)", and the range
// of the argument the caret is in, in the first overload that has it.
struct Hint {
    QString text;
    qsizetype highlightFrom = 0;
    qsizetype highlightTo = 0;
};
Hint hint(const QList<ServiceFraming::CompletionSignature>& signatures, int argument);

} // namespace CompletionList
