#include "CheckWhileTyping.h"

#include "CompileService.h"
#include "DiagnosticMarks.h"
#include "JavaSource.h"

#include "host/EditorControl.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>

using namespace ServiceFraming;

namespace {
bool isLineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}

// The compiler gives an empty range where something is missing (a ';' expected): the squiggle goes
// under the character there, or the one before it at the end of a line or of the text.
std::pair<qsizetype, qsizetype> visibleRange(const CheckDiagnostic& d, const QString& text)
{
    if (d.end > d.start)
        return {d.start, d.end};
    if (d.start < text.size() && !isLineEnd(text[d.start]))
        return {d.start, d.start + 1};
    if (d.start > 0 && !isLineEnd(text[d.start - 1]))
        return {d.start - 1, d.start};
    return {d.start, d.start};
}

QString countText(int errors, int warnings)
{
    if (errors == 0 && warnings == 0)
        return QStringLiteral("No errors");
    QStringList parts;
    if (errors > 0)
        parts << (errors == 1 ? QStringLiteral("1 error") : QStringLiteral("%1 errors").arg(errors));
    if (warnings > 0)
        parts << (warnings == 1 ? QStringLiteral("1 warning") : QStringLiteral("%1 warnings").arg(warnings));
    return parts.join(QStringLiteral(", "));
}
} // namespace

CheckWhileTyping::CheckWhileTyping(EditorControl& text1, DiagnosticMarks& marks, QStringList serviceCommand, Hooks hooks,
                                   QObject* parent)
    : QObject(parent), text1_(text1), marks_(marks), command_(std::move(serviceCommand)), hooks_(std::move(hooks))
{
    action_ = new QAction(QStringLiteral("Check While Typing"), this);
    action_->setObjectName(QStringLiteral("mnuCheckWhileTyping"));
    action_->setCheckable(true);
    // Without a JDK there is nothing to check with; the compiler help says what is needed.
    action_->setEnabled(!command_.isEmpty());
    action_->setChecked(!command_.isEmpty());
    connect(action_, &QAction::toggled, this, &CheckWhileTyping::setEnabled);

    label_ = new QLabel;
    label_->setObjectName(QStringLiteral("StatusBarCheck"));
    label_->setAccessibleName(QStringLiteral("Compiler check"));

    text1_.indicatorDefine(QsciScintilla::SquiggleIndicator, ErrorIndicator);
    text1_.setIndicatorForegroundColor(QColor(0xe0, 0x10, 0x10), ErrorIndicator);
    text1_.indicatorDefine(QsciScintilla::SquiggleIndicator, WarningIndicator);
    text1_.setIndicatorForegroundColor(QColor(0xd0, 0x90, 0x00), WarningIndicator);

    pause_.setSingleShot(true);
    pause_.setInterval(PauseMs);
    connect(&pause_, &QTimer::timeout, this, &CheckWhileTyping::checkNow);
    connect(&text1_, &EditorControl::Change, this, &CheckWhileTyping::onChange);
    text1_.viewport()->installEventFilter(this);
}

CheckWhileTyping::~CheckWhileTyping()
{
    text1_.viewport()->removeEventFilter(this);
    delete label_.data();
}

void CheckWhileTyping::setReplyTimeouts(int firstMs, int laterMs)
{
    firstTimeoutMs_ = firstMs;
    laterTimeoutMs_ = laterMs;
    if (service_)
        service_->setReplyTimeouts(firstMs, laterMs);
}

void CheckWhileTyping::setEnabled(bool on)
{
    pause_.stop();
    if (!on) {
        delete service_;
        service_ = nullptr;
        clearShown();
        setCount(QString());
        return;
    }
    checkNow();
}

void CheckWhileTyping::onChange()
{
    ++version_;
    // What was found belongs to the text it was found in: a whole new text drops it at once.
    if (squiggles_ && (text1_.documentId() != markedDocument_ || text1_.utf8Length() == 0)) {
        clearShown();
        setCount(QString());
    }
    if (action_->isChecked() && !command_.isEmpty())
        pause_.start();
}

void CheckWhileTyping::ensureService()
{
    if (service_)
        return;
    service_ = new CompileService(command_, this);
    service_->setReplyTimeouts(firstTimeoutMs_, laterTimeoutMs_);
    connect(service_, &CompileService::replied, this, &CheckWhileTyping::onReplied);
    connect(service_, &CompileService::faulted, this, &CheckWhileTyping::onFaulted);
    connect(service_, &CompileService::gaveUp, this, &CheckWhileTyping::onGaveUp);
}

CompileService* CheckWhileTyping::sharedService()
{
    if (command_.isEmpty())
        return nullptr;
    ensureService();
    return service_;
}

void CheckWhileTyping::checkNow()
{
    if (!action_->isChecked() || command_.isEmpty())
        return;
    const Source source = hooks_.source ? hooks_.source() : Source{};
    const QString suffix = QFileInfo(source.path).suffix();
    const bool java = source.folder.isEmpty() || suffix.compare(QLatin1String("java"), Qt::CaseInsensitive) == 0;
    if (!java || text1_.utf8Length() > MaxLength) {
        clearShown();
        setCount(QString());
        return;
    }
    ensureService();
    if (service_->busy() || service_->givenUp())
        return; // the reply in flight asks for another check when the text has changed meanwhile

    CheckRequest request;
    request.id = ++lastId_;
    request.path = source.path.isEmpty() ? QStringLiteral("Untitled") : source.path;
    request.folder = source.folder;
    request.source = text1_.Text();
    // A byte order mark is kept in the text but is no character of the program; a blank keeps offsets.
    if (request.source.startsWith(QChar(0xFEFF)))
        request.source[0] = u' ';
    sentMisplaced_ = CheckDiagnostic{};
    if (!source.folder.isEmpty()) {
        // The same source root as Compile and Run, so that the squiggles agree with javac.
        const JavaSourceRootInfo root = javaSourceRootOf(QDir::fromNativeSeparators(source.path), request.source);
        request.folder = root.root;
        if (root.misplaced) {
            request.misplacedPackage = root.packageName;
            sentMisplaced_.start = root.packageStart;
            sentMisplaced_.end = root.packageEnd;
            sentMisplaced_.line = int(QStringView(request.source).left(root.packageStart).count(u'\n')) + 1;
            sentMisplaced_.message = misplacedPackageText(QFileInfo(source.path).fileName(), root.packageName,
                                                          QDir::toNativeSeparators(root.root));
        }
    }
    sentVersion_ = version_;
    sentText_ = request.source;
    if (service_->check(request))
        emit checking();
}

void CheckWhileTyping::onReplied(const CheckReply& reply)
{
    const bool stale = reply.id != lastId_ || reply.id <= droppedUpTo_ || sentVersion_ != version_;
    if (!stale && reply.failed)
        showFailure(reply.failure);
    else if (!stale)
        show(reply);
    sentText_.clear();
    // The text changed while the service worked, and the pause after the change is over already.
    if (sentVersion_ != version_ && !pause_.isActive())
        checkNow();
}

void CheckWhileTyping::onFaulted(const QString&)
{
    clearShown();
    setCount(QString());
    // A new service is started for the text as it is now, unless this was one fault too many.
    if (!service_->givenUp())
        QTimer::singleShot(0, this, &CheckWhileTyping::checkNow);
}

void CheckWhileTyping::onGaveUp(const QString& reason)
{
    if (hooks_.report)
        hooks_.report(QStringLiteral("Check While Typing is off: the compile service failed %1 times in a row; "
                                     "the last time %2.")
                          .arg(CompileService::MaxRestarts + 1)
                          .arg(reason));
    // Unchecking stops the service; checking the item again starts a new one.
    QTimer::singleShot(0, this, [this] { action_->setChecked(false); });
}

void CheckWhileTyping::compileStarted()
{
    droppedUpTo_ = lastId_;
    pause_.stop();
    clearShown();
    setCount(QString());
}

void CheckWhileTyping::recheck()
{
    ++version_; // a result on its way was for the old name
    clearShown();
    setCount(QString());
    if (action_->isChecked() && !command_.isEmpty())
        pause_.start();
}

void CheckWhileTyping::show(const CheckReply& reply)
{
    clearShown();
    marks_.clear(); // a Compile's marks too: these are newer
    if (hooks_.checkShown)
        hooks_.checkShown();
    int errors = 0;
    int warnings = 0;
    QList<CheckDiagnostic> diagnostics = reply.diagnostics;
    if (!sentMisplaced_.message.isEmpty())
        diagnostics.prepend(sentMisplaced_);
    for (const CheckDiagnostic& d : std::as_const(diagnostics)) {
        const auto [from, to] = visibleRange(d, sentText_);
        text1_.fillIndicator(d.isError ? ErrorIndicator : WarningIndicator, from, to);
        (d.isError ? errors : warnings)++;
        marks_.mark(d.line - 1, d.isError, (d.isError ? QStringLiteral("error: ") : QStringLiteral("warning: ")) + d.message);
    }
    squiggles_ = !diagnostics.isEmpty();
    marksAreMine_ = marks_.count() > 0;
    markedDocument_ = text1_.documentId();
    setCount(countText(errors, warnings));
    emit shown(errors, warnings);
}

void CheckWhileTyping::showFailure(const QString& reason)
{
    // Squiggles from an earlier text would pass for this one's, and an empty count for a clean bill.
    clearShown();
    setCount(QStringLiteral("Check could not run"),
             QStringLiteral("The compiler could not finish checking this text (%1), so its errors are unknown. "
                            "Compile shows what javac makes of it.")
                 .arg(reason));
    emit couldNotCheck(reason);
}

// The squiggles go; the margin marks go only when they are the check's (a Compile's stay).
void CheckWhileTyping::clearShown()
{
    if (!squiggles_ && !marksAreMine_)
        return;
    text1_.clearIndicator(ErrorIndicator);
    text1_.clearIndicator(WarningIndicator);
    squiggles_ = false;
    if (marksAreMine_)
        marks_.clear();
    marksAreMine_ = false;
}

void CheckWhileTyping::setCount(const QString& text, const QString& explanation)
{
    if (!label_)
        return;
    label_->setToolTip(explanation);
    if (label_->text() == text)
        return;
    label_->setText(text);
    // Screen readers read a named label's text through its description.
    label_->setAccessibleDescription(text);
}

bool CheckWhileTyping::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != text1_.viewport() || event->type() != QEvent::ToolTip || !squiggles_)
        return QObject::eventFilter(watched, event);
    // Over a squiggle: what the compiler says about that line (the margin marks explain themselves).
    auto* help = static_cast<QHelpEvent*>(event);
    const qsizetype offset = text1_.offsetAt(help->pos());
    const bool over = offset >= 0 && (text1_.indicatorAt(ErrorIndicator, offset) || text1_.indicatorAt(WarningIndicator, offset));
    const QString messages = over ? marks_.messagesOnLine(text1_.lineAtY(help->pos().y())) : QString();
    if (messages.isEmpty())
        return QObject::eventFilter(watched, event);
    QToolTip::showText(help->globalPos(), messages, text1_.viewport());
    return true;
}
