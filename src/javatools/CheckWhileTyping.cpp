#include "CheckWhileTyping.h"

#include "CompileService.h"

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

CheckWhileTyping::CheckWhileTyping(EditorControl& text1, QStringList serviceCommand, Hooks hooks, QObject* parent)
    : QObject(parent), text1_(text1), command_(std::move(serviceCommand)), hooks_(std::move(hooks))
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
        clearMarks();
        setCount(QString());
        return;
    }
    checkNow();
}

void CheckWhileTyping::onChange()
{
    ++version_;
    // Marks belong to the text they were set on: a whole new file drops them at once.
    if (!marks_.isEmpty() && (text1_.documentId() != markedDocument_ || text1_.textLength() == 0)) {
        clearMarks();
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

void CheckWhileTyping::checkNow()
{
    if (!action_->isChecked() || command_.isEmpty())
        return;
    ensureService();
    if (service_->busy() || service_->givenUp())
        return; // the reply in flight asks for another check when the text has changed meanwhile

    const Source source = hooks_.source ? hooks_.source() : Source{};
    const QString suffix = QFileInfo(source.path).suffix();
    const bool java = source.folder.isEmpty() || suffix.compare(QLatin1String("java"), Qt::CaseInsensitive) == 0;
    if (!java || text1_.textLength() > MaxLength) {
        clearMarks();
        setCount(QString());
        return;
    }

    CheckRequest request;
    request.id = ++lastId_;
    request.path = source.path.isEmpty() ? QStringLiteral("Untitled") : source.path;
    request.folder = source.folder;
    request.source = text1_.Text();
    // A byte order mark is kept in the text but is no character of the program; a blank keeps offsets.
    if (request.source.startsWith(QChar(0xFEFF)))
        request.source[0] = u' ';
    sentVersion_ = version_;
    sentText_ = request.source;
    if (service_->check(request))
        emit checking();
}

void CheckWhileTyping::onReplied(const CheckReply& reply)
{
    const bool stale = reply.id != lastId_ || reply.id <= droppedUpTo_ || sentVersion_ != version_;
    if (!stale)
        show(reply);
    sentText_.clear();
    // The text changed while the service worked, and the pause after the change is over already.
    if (sentVersion_ != version_ && !pause_.isActive())
        checkNow();
}

void CheckWhileTyping::onFaulted(const QString&)
{
    clearMarks();
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
    clearMarks();
    setCount(QString());
}

void CheckWhileTyping::show(const CheckReply& reply)
{
    if (hooks_.dropCompileMarks)
        hooks_.dropCompileMarks();
    clearMarks();
    int errors = 0;
    int warnings = 0;
    const int lines = text1_.lines();
    for (const CheckDiagnostic& d : reply.diagnostics) {
        const auto [from, to] = visibleRange(d, sentText_);
        text1_.fillIndicator(d.isError ? ErrorIndicator : WarningIndicator, from, to);
        (d.isError ? errors : warnings)++;
        if (d.line - 1 >= lines)
            continue;
        const int handle = text1_.markerAdd(d.line - 1, d.isError ? ErrorMarker : WarningMarker);
        if (handle >= 0)
            marks_.push_back({handle, (d.isError ? QStringLiteral("error: ") : QStringLiteral("warning: ")) + d.message});
    }
    markedDocument_ = text1_.documentId();
    setCount(countText(errors, warnings));
    emit shown(errors, warnings);
}

void CheckWhileTyping::clearMarks()
{
    if (marks_.isEmpty() && text1_.indicatorRanges(ErrorIndicator).isEmpty() && text1_.indicatorRanges(WarningIndicator).isEmpty())
        return;
    text1_.clearIndicator(ErrorIndicator);
    text1_.clearIndicator(WarningIndicator);
    for (const Mark& mark : std::as_const(marks_))
        text1_.markerDeleteHandle(mark.handle);
    marks_.clear();
}

void CheckWhileTyping::setCount(const QString& text)
{
    if (!label_ || label_->text() == text)
        return;
    label_->setText(text);
    // Screen readers read a named label's text through its description.
    label_->setAccessibleDescription(text);
}

QString CheckWhileTyping::messagesOnLine(int line) const
{
    QStringList messages;
    for (const Mark& mark : marks_) {
        if (text1_.markerLine(mark.handle) == line)
            messages << mark.message;
    }
    return messages.join(u'\n');
}

bool CheckWhileTyping::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != text1_.viewport() || event->type() != QEvent::ToolTip || marks_.isEmpty())
        return QObject::eventFilter(watched, event);
    // Over a squiggle or a mark in the margin: what the compiler says about that line.
    auto* help = static_cast<QHelpEvent*>(event);
    int line = -1;
    if (text1_.inMargins(help->pos())) {
        line = text1_.lineAtPoint(help->pos());
    } else if (const qsizetype offset = text1_.offsetAt(help->pos()); offset >= 0) {
        if (text1_.indicatorAt(ErrorIndicator, offset) || text1_.indicatorAt(WarningIndicator, offset))
            line = text1_.lineAtPoint(help->pos());
    }
    const QString messages = line >= 0 ? messagesOnLine(line) : QString();
    if (messages.isEmpty())
        return QObject::eventFilter(watched, event);
    QToolTip::showText(help->globalPos(), messages, text1_.viewport());
    return true;
}
