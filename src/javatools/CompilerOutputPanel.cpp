#include "CompilerOutputPanel.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace {
constexpr auto LinkPrefix = QLatin1String("diagnostic:");
}

CompilerOutputView::CompilerOutputView(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    viewport()->setMouseTracking(true);
}

void CompilerOutputView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit lineActivated(textCursor().blockNumber());
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void CompilerOutputView::mousePressEvent(QMouseEvent* event)
{
    pressedAnchor_ = event->button() == Qt::LeftButton ? anchorAt(event->position().toPoint()) : QString();
    QPlainTextEdit::mousePressEvent(event);
}

void CompilerOutputView::mouseReleaseEvent(QMouseEvent* event)
{
    QPlainTextEdit::mouseReleaseEvent(event);
    // A click on a link, not the end of a selection that began there.
    if (event->button() == Qt::LeftButton && !pressedAnchor_.isEmpty() && !textCursor().hasSelection()
        && anchorAt(event->position().toPoint()) == pressedAnchor_) {
        emit lineActivated(cursorForPosition(event->position().toPoint()).blockNumber());
    }
    pressedAnchor_.clear();
}

void CompilerOutputView::mouseMoveEvent(QMouseEvent* event)
{
    QPlainTextEdit::mouseMoveEvent(event);
    const bool onLink = !anchorAt(event->position().toPoint()).isEmpty();
    viewport()->setCursor(onLink ? Qt::PointingHandCursor : Qt::IBeamCursor);
}

CompilerOutputPanel::CompilerOutputPanel(QWidget* parent)
    : QDockWidget(QStringLiteral("Compiler Output"), parent), view_(new CompilerOutputView(this))
{
    setObjectName(QStringLiteral("CompilerOutput"));
    view_->setObjectName(QStringLiteral("txtCompilerOutput"));
    view_->setAccessibleName(QStringLiteral("Compiler output"));
    setWidget(view_);
    setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea);
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    toggleViewAction()->setObjectName(QStringLiteral("mnuCompilerOutput"));
    toggleViewAction()->setText(QStringLiteral("Compiler Output"));
    connect(view_, &CompilerOutputView::lineActivated, this, &CompilerOutputPanel::activateBlock);
}

void CompilerOutputPanel::reveal()
{
    // Shown, never focused: the user goes on typing in the editor while the compiler runs.
    if (isHidden())
        show();
    raise();
}

QString CompilerOutputPanel::label(qint64 taskId) const
{
    const auto run = runs_.constFind(taskId);
    return run == runs_.constEnd() ? QString() : QStringLiteral("[%1] ").arg(run->number);
}

int CompilerOutputPanel::append(const QString& text, Kind kind, int diagnosticIndex)
{
    QScrollBar* bar = view_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();

    QTextCharFormat format;
    switch (kind) {
    case Kind::Header:
        format.setFontWeight(QFont::Bold);
        format.setForeground(view_->palette().color(QPalette::Highlight));
        break;
    case Kind::Note:
        format.setFontItalic(true);
        break;
    case Kind::Link:
        format.setAnchor(true);
        format.setAnchorHref(LinkPrefix + QString::number(diagnosticIndex));
        format.setFontUnderline(true);
        format.setForeground(view_->palette().color(QPalette::Link));
        break;
    case Kind::Output:
        break;
    }
    QTextCursor cursor(view_->document());
    cursor.movePosition(QTextCursor::End);
    if (!empty_)
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    empty_ = false;
    cursor.insertText(text, format);
    cursor.block().setUserState(diagnosticIndex);

    if (atEnd)
        bar->setValue(bar->maximum());
    return cursor.blockNumber();
}

void CompilerOutputPanel::ensureHeader(qint64 taskId)
{
    if (taskId == lastWritten_ || !runs_.contains(taskId))
        return;
    const Run& run = runs_[taskId];
    append(label(taskId) + run.commandLine + QStringLiteral("  (continued)"), Kind::Header);
    lastWritten_ = taskId;
}

void CompilerOutputPanel::processStarted(qint64 taskId, const QString& commandLine, const QString& workingDirectory)
{
    Run run;
    run.number = ++runCount_;
    run.commandLine = commandLine;
    run.workingDirectory = workingDirectory;
    runs_.insert(taskId, run);
    reveal();
    append(label(taskId) + commandLine + QStringLiteral("  (in ") + QDir::toNativeSeparators(workingDirectory) + u')',
           Kind::Header);
    lastWritten_ = taskId;
}

void CompilerOutputPanel::processOutput(qint64 taskId, const QString& text, Channel channel)
{
    const int slot = channel == Channel::Error ? 1 : 0;
    QString pending = runs_.contains(taskId) ? runs_[taskId].pending[slot] + text : text;
    qsizetype start = 0;
    for (qsizetype end = pending.indexOf(u'\n'); end >= 0; end = pending.indexOf(u'\n', start)) {
        QString line = pending.mid(start, end - start);
        if (line.endsWith(u'\r'))
            line.chop(1);
        writeLine(taskId, line, channel);
        start = end + 1;
    }
    pending.remove(0, start);
    if (runs_.contains(taskId))
        runs_[taskId].pending[slot] = pending;
    else if (!pending.isEmpty())
        writeLine(taskId, pending, channel);
}

void CompilerOutputPanel::writeLine(qint64 taskId, const QString& line, Channel)
{
    ensureHeader(taskId);
    if (taskId != 0)
        lastWritten_ = taskId;
    if (const std::optional<JavacDiagnostic> diagnostic = parseJavacDiagnostic(line)) {
        const QString directory = runs_.contains(taskId) ? runs_[taskId].workingDirectory : QDir::currentPath();
        const QString path = QDir::cleanPath(QDir(directory).absoluteFilePath(diagnostic->file));
        const int index = static_cast<int>(diagnostics_.size());
        diagnostics_.push_back({taskId, *diagnostic, path});
        diagnosticBlocks_.push_back(append(line, Kind::Link, index));
        emit diagnosticReported(diagnostics_.back());
        return;
    }
    append(line, Kind::Output);
}

void CompilerOutputPanel::flush(qint64 taskId)
{
    if (!runs_.contains(taskId))
        return;
    for (int slot = 0; slot < 2; ++slot) {
        const QString rest = runs_[taskId].pending[slot];
        runs_[taskId].pending[slot].clear();
        if (!rest.isEmpty())
            writeLine(taskId, rest, slot == 1 ? Channel::Error : Channel::Output);
    }
}

void CompilerOutputPanel::processFinished(qint64 taskId, int exitCode, bool crashed)
{
    flush(taskId);
    // The end line names its run, so it needs no header of its own.
    const QString end = crashed ? QStringLiteral("ended abnormally (it crashed or was killed)")
                                : QStringLiteral("finished with exit status %1").arg(exitCode);
    append(label(taskId) + end, Kind::Header);
    lastWritten_ = taskId;
    emit runFinished(taskId, exitCode, crashed);
}

void CompilerOutputPanel::processFailedToStart(qint64 taskId, const QString& reason)
{
    reveal();
    append(label(taskId) + reason, Kind::Header);
    lastWritten_ = taskId;
}

void CompilerOutputPanel::note(qint64 taskId, const QString& text)
{
    reveal();
    if (taskId != 0) {
        ensureHeader(taskId);
        lastWritten_ = taskId;
    }
    for (const QString& line : text.split(u'\n'))
        append(line, Kind::Note);
}

int CompilerOutputPanel::blockOfDiagnostic(int index) const
{
    return index >= 0 && index < diagnosticBlocks_.size() ? diagnosticBlocks_[index] : -1;
}

bool CompilerOutputPanel::activateBlock(int blockNumber)
{
    const QTextBlock block = view_->document()->findBlockByNumber(blockNumber);
    if (!block.isValid())
        return false;
    const int index = block.userState();
    if (index < 0 || index >= diagnostics_.size())
        return false;
    emit diagnosticActivated(diagnostics_[index]);
    return true;
}
