#pragma once

#include "ServiceFraming.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class CheckWhileTyping;
class CompileService;
class Document;
class EditorControl;
class QAction;

// Completion and parameter hints from the compile service that checks while typing (the same process).
// Ctrl+Space lists what can stand at the caret, a moment after "." too (Complete Automatically); the
// list narrows as the name is typed, and choosing inserts the name, a method with its parentheses.
// After the "(" of a call a tip shows the parameter lists of its overloads. Typing never waits: an
// answer for a text that has changed since is dropped and the question asked again.
class CodeCompletion : public QObject {
    Q_OBJECT

public:
    struct Hooks {
        std::function<QString()> path;   // the document's path, or its name before the first save
        std::function<QString()> folder; // where its other classes are; empty before the first save
        std::function<void(const QString&)> report; // a line in the compiler output
    };

    static constexpr int PauseMs = 200; // shorter than the check's: the list comes before the check

    // Follows document's text; draws the list and the hint in text1, the view that shows it.
    CodeCompletion(Document& document, EditorControl& text1, CheckWhileTyping& checker, Hooks hooks, QObject* parent = nullptr);

    QAction* completeAction() const { return complete_; }  // Edit > "Complete" (Ctrl+Space)
    QAction* hintAction() const { return hint_; }          // Edit > "Parameter Hints" (Ctrl+Shift+Space)
    QAction* automaticAction() const { return automatic_; } // Tools > "Complete Automatically"

    void mnuComplete_Click();
    void mnuParameterHints_Click();

    // What the list shows now, best first (empty when it is closed).
    const QList<ServiceFraming::CompletionCandidate>& shownCandidates() const { return shown_; }

signals:
    // An answer was used (or dropped as stale): for tests and measurements.
    void answered(const ServiceFraming::CompletionReply& reply);
    void listShown(int count);
    void hintShown(const QString& text);

private:
    enum class Want { Nothing, List, ListOnDemand, Hint };
    void ask(Want want);
    void sendPending();
    void onCompleted(const ServiceFraming::CompletionReply& reply);
    void onBytesChanged(qsizetype position, qsizetype removed, const char* inserted, qsizetype insertedLength);
    void onChange();
    void narrowKeptList();
    void onChosen(int index);
    void showList(bool insertSingle);
    void showHint(const ServiceFraming::CompletionReply& reply);
    void closeAll();
    CompileService* service();

    Document& document_;
    EditorControl& text1_;
    CheckWhileTyping& checker_;
    Hooks hooks_;
    QAction* complete_ = nullptr;
    QAction* hint_ = nullptr;
    QAction* automatic_ = nullptr;
    QPointer<CompileService> connected_;
    QTimer pause_;
    Want pauseWants_ = Want::Nothing;
    Want pending_ = Want::Nothing; // asked while another question was in flight
    Want inFlight_ = Want::Nothing;
    quint32 lastId_ = 0;
    quint64 version_ = 0; // counts changes of the text
    quint64 sentVersion_ = 0;
    qsizetype sentCaret_ = -1;
    bool givenUp_ = false;

    // The list on screen: every candidate for the word that begins at listStart_, and those shown.
    QList<ServiceFraming::CompletionCandidate> candidates_;
    QList<ServiceFraming::CompletionCandidate> shown_;
    qsizetype listStart_ = -1;
    bool updatingList_ = false;
};
