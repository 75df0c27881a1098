#include "CodeCompletion.h"

#include "CheckWhileTyping.h"
#include "CompileService.h"
#include "CompletionList.h"
#include "JavaSource.h"

#include "document/Document.h"
#include "editor/EditorControl.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>

using namespace ServiceFraming;

namespace {
bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

bool isWord(QStringView text)
{
    return std::all_of(text.begin(), text.end(), isWordChar);
}
} // namespace

CodeCompletion::CodeCompletion(Document& document, EditorControl& text1, CheckWhileTyping& checker, Hooks hooks, QObject* parent)
    : QObject(parent), document_(document), text1_(text1), checker_(checker), hooks_(std::move(hooks))
{
    const bool available = checker_.action()->isEnabled(); // there is a JDK to ask
    complete_ = new QAction(QStringLiteral("Complete"), this);
    complete_->setObjectName(QStringLiteral("mnuComplete"));
    complete_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Space));
    complete_->setEnabled(available);
    connect(complete_, &QAction::triggered, this, &CodeCompletion::mnuComplete_Click);

    hint_ = new QAction(QStringLiteral("Parameter Hints"), this);
    hint_->setObjectName(QStringLiteral("mnuParameterHints"));
    hint_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Space));
    hint_->setEnabled(available);
    connect(hint_, &QAction::triggered, this, &CodeCompletion::mnuParameterHints_Click);

    automatic_ = new QAction(QStringLiteral("Complete Automatically"), this);
    automatic_->setObjectName(QStringLiteral("mnuCompleteAutomatically"));
    automatic_->setCheckable(true);
    automatic_->setChecked(available);
    automatic_->setEnabled(available);
    connect(automatic_, &QAction::toggled, this, [this](bool on) {
        if (!on)
            pause_.stop();
    });

    pause_.setSingleShot(true);
    pause_.setInterval(PauseMs);
    connect(&pause_, &QTimer::timeout, this, [this] { ask(pauseWants_); });
    connect(&document_, &Document::bytesChanged, this, &CodeCompletion::onBytesChanged);
    connect(&document_, &Document::textChanged, this, &CodeCompletion::onChange);
    connect(&text1_, &EditorControl::listChosen, this, &CodeCompletion::onChosen);
    // Enter right after a letter must take the first of the list that letter narrowed, not of the one
    // shown before it (where nothing may fit the name any more, and Enter would close the list).
    connect(&text1_, &EditorControl::keyArriving, this, &CodeCompletion::narrowKeptList);
    connect(&text1_, &EditorControl::cursorPositionChanged, this, [this] {
        // The hint follows the caret: another argument, or out of the call.
        if (text1_.tipShown() && automatic_->isChecked() && !(pause_.isActive() && pauseWants_ == Want::List)) {
            pauseWants_ = Want::Hint;
            pause_.start();
        }
    });
    // Checking the item again after the service was given up starts a new one, for completion too.
    connect(checker_.action(), &QAction::toggled, this, [this](bool on) {
        if (on)
            givenUp_ = false;
    });
}

void CodeCompletion::mnuComplete_Click()
{
    pause_.stop();
    ask(Want::ListOnDemand);
}

void CodeCompletion::mnuParameterHints_Click()
{
    pause_.stop();
    ask(Want::Hint);
}

CompileService* CodeCompletion::service()
{
    CompileService* service = checker_.sharedService();
    if (service && service != connected_) {
        connected_ = service;
        inFlight_ = Want::Nothing;
        connect(service, &CompileService::completed, this, &CodeCompletion::onCompleted);
        connect(service, &CompileService::faulted, this, [this] {
            // What was asked is lost with the process; the next question starts a new one.
            inFlight_ = Want::Nothing;
            pending_ = Want::Nothing;
        });
        connect(service, &CompileService::gaveUp, this, [this](const QString& reason) {
            givenUp_ = true;
            if (hooks_.report)
                hooks_.report(QStringLiteral("Completion is off: the compile service failed %1 times in a row; the last time %2.")
                                  .arg(CompileService::MaxRestarts + 1)
                                  .arg(reason));
        });
        connect(service, &QObject::destroyed, this, [this] {
            inFlight_ = Want::Nothing;
            pending_ = Want::Nothing;
        });
    }
    return service;
}

void CodeCompletion::ask(Want want)
{
    if (want == Want::Nothing || givenUp_ || document_.byteCount() > CheckWhileTyping::MaxLength)
        return;
    const QString path = hooks_.path ? hooks_.path() : QString();
    const QString folder = hooks_.folder ? hooks_.folder() : QString();
    // A saved file that is not Java source has nothing to complete from.
    if (!folder.isEmpty() && QFileInfo(path).suffix().compare(QLatin1String("java"), Qt::CaseInsensitive) != 0)
        return;
    CompileService* service = this->service();
    if (!service)
        return;
    if (service->completing()) {
        pending_ = want;
        return;
    }
    CompletionRequest request;
    request.id = ++lastId_;
    request.path = path.isEmpty() ? QStringLiteral("Untitled") : path;
    request.folder = folder;
    request.source = document_.text();
    // A byte order mark is kept in the text but is no character of the program; a blank keeps offsets.
    if (request.source.startsWith(QChar(0xFEFF)))
        request.source[0] = u' ';
    if (!folder.isEmpty()) {
        // The same source root as the check, Compile and Run: the program's other classes are seen.
        request.folder = javaSourceRootOf(QDir::fromNativeSeparators(path), request.source).root;
    }
    request.caret = text1_.caretOffset();
    request.what = want == Want::Hint ? CompletionRequest::What::Parameters : CompletionRequest::What::Names;
    sentVersion_ = version_;
    sentCaret_ = request.caret;
    inFlight_ = service->complete(request) ? want : Want::Nothing;
}

void CodeCompletion::onCompleted(const CompletionReply& reply)
{
    if (reply.id != lastId_)
        return;
    const Want want = inFlight_;
    inFlight_ = Want::Nothing;
    emit answered(reply);
    if (pending_ != Want::Nothing) {
        const Want next = std::exchange(pending_, Want::Nothing);
        ask(next);
        return;
    }
    const qsizetype caret = text1_.caretOffset();
    const bool stale = sentVersion_ != version_ || caret != sentCaret_;
    if (stale) {
        // Asked again for the text as it is now, while the name asked about is still being typed.
        const bool stillTyping = reply.wordStart >= 0 && caret >= reply.wordStart
            && isWord(text1_.textBetween(reply.wordStart, caret));
        if (want == Want::Hint || stillTyping)
            ask(want);
        return;
    }
    if (want == Want::Hint) {
        showHint(reply);
        return;
    }
    candidates_ = reply.candidates;
    listStart_ = reply.wordStart;
    showList(want == Want::ListOnDemand);
}

void CodeCompletion::showList(bool insertSingle)
{
    const qsizetype caret = text1_.caretOffset();
    const QString prefix = listStart_ >= 0 && caret >= listStart_ ? text1_.textBetween(listStart_, caret) : QString();
    shown_ = listStart_ >= 0 && caret >= listStart_ && isWord(prefix) ? CompletionList::rank(candidates_, prefix)
                                                                       : QList<CompletionCandidate>();
    if (shown_.isEmpty()) {
        closeAll();
        return;
    }
    if (insertSingle && !prefix.isEmpty()) {
        const auto begins = std::count_if(shown_.begin(), shown_.end(), [&prefix](const CompletionCandidate& c) {
            return c.name.startsWith(prefix, Qt::CaseInsensitive);
        });
        if (begins == 1 && shown_.first().name.startsWith(prefix, Qt::CaseInsensitive)) {
            onChosen(0);
            return;
        }
    }
    QStringList labels;
    labels.reserve(shown_.size());
    for (const CompletionCandidate& c : shown_)
        labels << CompletionList::label(c);
    if (!text1_.showList(labels)) {
        closeAll();
        return;
    }
    emit listShown(int(shown_.size()));
}

void CodeCompletion::onChosen(int index)
{
    if (index < 0 || index >= shown_.size() || listStart_ < 0)
        return;
    const CompletionCandidate chosen = shown_[index];
    const qsizetype start = listStart_;
    closeAll();
    qsizetype end = text1_.caretOffset();
    const qsizetype length = text1_.textLength();
    // The rest of the word at the caret goes too: it is the name being replaced.
    QString after = text1_.textBetween(end, std::min(length, end + 256));
    qsizetype rest = 0;
    while (rest < after.size() && isWordChar(after[rest]))
        ++rest;
    end += rest;
    after = after.mid(rest).section(u'\n', 0, 0);
    const CompletionList::Insertion insertion = CompletionList::insertion(chosen, after);
    text1_.replaceOffsets(start, end, insertion.text);
    text1_.setCaretOffset(start + insertion.caret);
    if (insertion.opensCall)
        ask(Want::Hint);
}

void CodeCompletion::showHint(const CompletionReply& reply)
{
    if (reply.callStart < 0 || reply.signatures.isEmpty()) {
        text1_.closeTip();
        return;
    }
    const CompletionList::Hint hint = CompletionList::hint(reply.signatures, reply.argument);
    if (text1_.showTip(reply.callStart, hint.text, hint.highlightFrom, hint.highlightTo))
        emit hintShown(hint.text);
}

void CodeCompletion::closeAll()
{
    text1_.closeList();
    listStart_ = -1;
    candidates_.clear();
    shown_.clear();
}

void CodeCompletion::onBytesChanged(qsizetype, qsizetype removed, const char* inserted, qsizetype insertedLength)
{
    if (!automatic_->isChecked())
        return;
    if (removed != 0 || insertedLength != 1) {
        if (pauseWants_ == Want::List)
            pause_.stop();
        return;
    }
    const char typed = inserted[0];
    if (typed == '.') {
        pauseWants_ = Want::List;
        pause_.start();
    } else if (typed == '(' || (typed == ',' && text1_.tipShown())) {
        if (!(pause_.isActive() && pauseWants_ == Want::List)) {
            pauseWants_ = Want::Hint;
            pause_.start();
        }
    } else if (pause_.isActive() && pauseWants_ == Want::List) {
        // A name typed on after the '.' still wants the list; anything else does not.
        if (!isWordChar(QChar::fromLatin1(typed)))
            pause_.stop();
        else
            pause_.start();
    }
}

void CodeCompletion::onChange()
{
    ++version_;
    if (listStart_ < 0)
        return;
    if (!text1_.listShown()) {
        listStart_ = -1; // closed by the user (Esc, a click, the caret moved away)
        return;
    }
    if (updatingList_)
        return;
    // Narrowed once the control has finished with the key that changed the text, or before the next
    // key if that comes first (narrowKeptList).
    updatingList_ = true;
    QTimer::singleShot(0, this, &CodeCompletion::narrowKeptList);
}

void CodeCompletion::narrowKeptList()
{
    if (!updatingList_)
        return;
    updatingList_ = false;
    if (listStart_ >= 0 && text1_.listShown())
        showList(false);
}
