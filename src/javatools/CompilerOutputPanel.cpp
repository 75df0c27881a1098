#include "CompilerOutputPanel.h"

#include "JavaSource.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>
#include <limits>

namespace {
constexpr auto LinkPrefix = QLatin1String("diagnostic:");
// A program that prints for ever must not fill the memory: the panel keeps the latest lines.
constexpr int MaxLines = 20000;
// A line that never ends is kept in pieces of this length, each counted as a line, so that the limit
// above bounds the memory however the program prints.
constexpr qsizetype PieceChars = 1024;
const QColor ErrorColour(0xb0, 0x00, 0x20);
}

CompilerOutputView::CompilerOutputView(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
    setMaximumBlockCount(MaxLines);
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
    auto* pane = new QWidget(this);
    auto* column = new QVBoxLayout(pane);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(view_);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(4, 0, 4, 2);
    auto* label = new QLabel(QStringLiteral("&Input:"), pane);
    input_ = new QLineEdit(pane);
    input_->setObjectName(QStringLiteral("txtProgramInput"));
    input_->setAccessibleName(QStringLiteral("Program input"));
    input_->setMaxLength(std::numeric_limits<int>::max());
    input_->setPlaceholderText(QStringLiteral("Text for the running program; Enter sends it"));
    label->setBuddy(input_);
    stop_ = new QPushButton(QStringLiteral("&Stop"), pane);
    stop_->setObjectName(QStringLiteral("cmdStop"));
    stop_->setAccessibleName(QStringLiteral("Stop"));
    stop_->setToolTip(QStringLiteral("Ends the running program and every process it started"));
    // No Alt key of its own: an Alt key pressed by habit must never end a program's input for good;
    // Ctrl+D in the input line is its key.
    endInput_ = new QPushButton(QStringLiteral("End Input"), pane);
    endInput_->setObjectName(QStringLiteral("cmdEndInput"));
    endInput_->setAccessibleName(QStringLiteral("End Input"));
    endInput_->setToolTip(QStringLiteral("Closes the program's input, as Ctrl+D in the input line does: "
                                         "a program reading until its input ends can finish"));
    row->addWidget(label);
    row->addWidget(input_, 1);
    row->addWidget(endInput_);
    row->addWidget(stop_);
    column->addLayout(row);
    setWidget(pane);
    connect(input_, &QLineEdit::returnPressed, this, &CompilerOutputPanel::submitInput);
    input_->installEventFilter(this);
    connect(endInput_, &QPushButton::clicked, this, &CompilerOutputPanel::requestEndOfInput);
    baseFontSize_ = view_->font().pointSize();
    connect(stop_, &QPushButton::clicked, this, [this] {
        if (inputTask_ != 0)
            emit stopRequested(inputTask_);
    });
    setInputTask(0);
    setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea);
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    toggleViewAction()->setObjectName(QStringLiteral("mnuCompilerOutput"));
    toggleViewAction()->setText(QStringLiteral("Compiler Output"));
    connect(view_, &CompilerOutputView::lineActivated, this, &CompilerOutputPanel::activateBlock);
}

void CompilerOutputPanel::setInputTask(qint64 taskId)
{
    inputTask_ = taskId;
    input_->setEnabled(taskId != 0);
    endInput_->setEnabled(taskId != 0);
    stop_->setEnabled(taskId != 0);
}

void CompilerOutputPanel::inputClosed()
{
    const bool hadFocus = input_->hasFocus();
    input_->clear();
    input_->setEnabled(false);
    endInput_->setEnabled(false);
    if (hadFocus && stop_->isEnabled())
        stop_->setFocus(Qt::OtherFocusReason);
}

void CompilerOutputPanel::requestEndOfInput()
{
    if (inputTask_ == 0 || !input_->isEnabled())
        return;
    const QString text = input_->text();
    input_->clear();
    emit endOfInputRequested(inputTask_, text);
}

bool CompilerOutputPanel::eventFilter(QObject* watched, QEvent* event)
{
    // Ctrl+D ends the input as in a terminal; the line edit must not take it for anything else.
    if (watched == input_ && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_D && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
            event->accept();
            if (event->type() == QEvent::KeyPress)
                requestEndOfInput();
            return true;
        }
    }
    return QDockWidget::eventFilter(watched, event);
}

void CompilerOutputPanel::setZoom(int points)
{
    QFont font = view_->font();
    font.setPointSize(std::max(1, baseFontSize_ + points));
    view_->setFont(font);
}

void CompilerOutputPanel::submitInput()
{
    if (inputTask_ == 0)
        return;
    const QString text = input_->text();
    input_->clear();
    emit inputEntered(inputTask_, text);
}

void CompilerOutputPanel::echoInput(qint64 taskId, const QString& text)
{
    // Typed text joins the prompt the program printed, if it has not ended its line.
    processOutput(taskId, text + u'\n', Channel::Output);
}

bool CompilerOutputPanel::hasFocusInside() const
{
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == this || isAncestorOf(focus));
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

int CompilerOutputPanel::addBlock(const QList<StyledText>& segments, Kind kind, Channel channel, int diagnosticIndex)
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
        if (channel == Channel::Error)
            format.setForeground(ErrorColour);
        break;
    }
    QTextCursor cursor(view_->document());
    cursor.movePosition(QTextCursor::End);
    if (!empty_)
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    empty_ = false;
    for (const StyledText& segment : segments) {
        QTextCharFormat styled = format;
        if (kind == Kind::Output) {
            if (segment.style.foreground.isValid())
                styled.setForeground(segment.style.foreground);
            if (segment.style.background.isValid())
                styled.setBackground(segment.style.background);
            if (segment.style.bold)
                styled.setFontWeight(QFont::Bold);
            if (segment.style.underline)
                styled.setFontUnderline(true);
        }
        cursor.insertText(segment.text, styled);
    }
    if (segments.isEmpty())
        cursor.setCharFormat(format);
    cursor.block().setUserState(diagnosticIndex);

    if (atEnd)
        bar->setValue(bar->maximum());
    return cursor.blockNumber();
}

int CompilerOutputPanel::append(const QString& text, Kind kind, int diagnosticIndex)
{
    const int block = addBlock({{text, ConsoleStyle()}}, kind, Channel::Output, diagnosticIndex);
    ++appended_;
    keepFirstLink();
    return block;
}

int CompilerOutputPanel::droppedLines() const
{
    return appended_ - (view_->document()->blockCount() - tailBlocks_);
}

void CompilerOutputPanel::hideTail()
{
    if (tailBlocks_ == 0)
        return;
    QTextDocument* document = view_->document();
    const int first = document->blockCount() - tailBlocks_;
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    if (tailOnly_ || first <= 0) {
        cursor.select(QTextCursor::Document);
        cursor.removeSelectedText();
        cursor.block().setUserState(-1);
        empty_ = true;
    } else {
        cursor.setPosition(document->findBlockByNumber(first).position() - 1);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    cursor.endEditBlock();
    tailBlocks_ = 0;
}

void CompilerOutputPanel::showTail()
{
    QList<qint64> waiting;
    for (auto run = runs_.cbegin(); run != runs_.cend(); ++run) {
        if (!run->pending[0].isEmpty() || !run->pending[1].isEmpty())
            waiting.push_back(run.key());
    }
    std::sort(waiting.begin(), waiting.end(), [this](qint64 a, qint64 b) { return runs_[a].number < runs_[b].number; });
    tailOnly_ = empty_;
    for (const qint64 taskId : std::as_const(waiting)) {
        const Run& run = runs_[taskId];
        for (int slot = 0; slot < 2; ++slot) {
            if (run.pending[slot].isEmpty())
                continue;
            ConsoleStyle style = run.style[slot];
            addBlock(parseConsoleText(run.pending[slot], style), Kind::Output, slot == 1 ? Channel::Error : Channel::Output, -1);
            ++tailBlocks_;
        }
    }
}

void CompilerOutputPanel::keepFirstLink()
{
    const int dropped = droppedLines();
    if (dropped <= 0)
        return;
    // The text now starts inside what was appended: the first line keeps its own link, if any.
    const auto first = std::lower_bound(diagnosticBlocks_.cbegin(), diagnosticBlocks_.cend(), dropped);
    const bool isLink = first != diagnosticBlocks_.cend() && *first == dropped;
    view_->document()->firstBlock().setUserState(isLink ? static_cast<int>(first - diagnosticBlocks_.cbegin()) : -1);
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
    hideTail();
    append(label(taskId) + commandLine + QStringLiteral("  (in ") + QDir::toNativeSeparators(workingDirectory) + u')',
           Kind::Header);
    lastWritten_ = taskId;
    showTail();
}

void CompilerOutputPanel::processOutput(qint64 taskId, const QString& text, Channel channel)
{
    const int slot = channel == Channel::Error ? 1 : 0;
    const bool known = runs_.contains(taskId);
    const QString pending = known ? runs_[taskId].pending[slot] + text : text;
    // The lines of one piece are laid out, trimmed and announced (to a screen reader too) at once:
    // a program printing without pause must not flood the window with one change per line.
    QScrollBar* bar = view_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCursor batch(view_->document());
    batch.beginEditBlock();
    hideTail();
    qsizetype start = 0;
    const auto writePiece = [&](qsizetype end, qsizetype next) {
        QString line = pending.mid(start, end - start);
        if (line.endsWith(u'\r'))
            line.chop(1);
        writeLine(taskId, line, channel);
        start = next;
    };
    for (;;) {
        const qsizetype end = pending.indexOf(u'\n', start);
        const qsizetype limit = end < 0 ? pending.size() : end;
        if (limit - start >= PieceChars) {
            qsizetype length = consolePieceLength(QStringView(pending).mid(start, limit - start), PieceChars);
            if (length <= 0)
                length = PieceChars;
            writePiece(start + length, start + length);
            continue;
        }
        if (end < 0)
            break;
        writePiece(end, end + 1);
    }
    const QString rest = pending.mid(start);
    if (known)
        runs_[taskId].pending[slot] = rest;
    else if (!rest.isEmpty())
        writeLine(taskId, rest, channel);
    showTail();
    batch.endEditBlock();
    keepFirstLink();
    if (atEnd)
        bar->setValue(bar->maximum());
}

void CompilerOutputPanel::followDiagnostic(qint64 taskId, const QString& line)
{
    // After a diagnostic's first line javac shows the source line, then a line with "^" under the
    // column; a message of several lines may come between.
    constexpr int MaxLinesToCaret = 6;
    Run& run = runs_[taskId];
    if (run.lastDiagnostic < 0)
        return;
    const int column = ++run.linesAfterDiagnostic >= 2 ? javacCaretColumn(run.diagnosticSource, line) : -1;
    if (column >= 0) {
        diagnostics_[run.lastDiagnostic].column = column;
        emit diagnosticLocated(diagnostics_[run.lastDiagnostic]);
    }
    if (column >= 0 || run.linesAfterDiagnostic >= MaxLinesToCaret) {
        run.lastDiagnostic = -1;
        run.diagnosticSource.clear();
        return;
    }
    run.diagnosticSource = line;
}

void CompilerOutputPanel::writeLine(qint64 taskId, const QString& line, Channel channel)
{
    ensureHeader(taskId);
    if (taskId != 0)
        lastWritten_ = taskId;
    ConsoleStyle unknownRunStyle;
    ConsoleStyle& style = runs_.contains(taskId) ? runs_[taskId].style[channel == Channel::Error ? 1 : 0] : unknownRunStyle;
    const QList<StyledText> segments = parseConsoleText(line, style);
    QString plain;
    for (const StyledText& segment : segments)
        plain += segment.text;
    if (const std::optional<JavacDiagnostic> diagnostic = parseJavacDiagnostic(plain)) {
        const QString directory = runs_.contains(taskId) ? runs_[taskId].workingDirectory : QDir::currentPath();
        const QString path = QDir::cleanPath(QDir(directory).absoluteFilePath(diagnostic->file));
        const int index = static_cast<int>(diagnostics_.size());
        diagnostics_.push_back({taskId, *diagnostic, path});
        append(plain, Kind::Link, index);
        diagnosticBlocks_.push_back(appended_ - 1);
        if (runs_.contains(taskId)) {
            runs_[taskId].lastDiagnostic = index;
            runs_[taskId].linesAfterDiagnostic = 0;
        }
        emit diagnosticReported(diagnostics_.back());
        return;
    }
    addBlock(segments, Kind::Output, channel, -1);
    ++appended_;
    keepFirstLink();
    if (runs_.contains(taskId))
        followDiagnostic(taskId, plain);
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
    hideTail();
    flush(taskId);
    // The end line names its run, so it needs no header of its own.
    const QString end = crashed ? QStringLiteral("ended abnormally (it crashed or was killed)")
                                : QStringLiteral("finished with exit status %1").arg(exitCode);
    append(label(taskId) + end, Kind::Header);
    lastWritten_ = taskId;
    showTail();
    emit runFinished(taskId, exitCode, crashed);
}

void CompilerOutputPanel::processFailedToStart(qint64 taskId, const QString& reason)
{
    reveal();
    hideTail();
    append(label(taskId) + reason, Kind::Header);
    lastWritten_ = taskId;
    showTail();
}

void CompilerOutputPanel::note(qint64 taskId, const QString& text)
{
    reveal();
    hideTail();
    if (taskId != 0) {
        ensureHeader(taskId);
        lastWritten_ = taskId;
    }
    for (const QString& line : text.split(u'\n'))
        append(line, Kind::Note);
    showTail();
}

int CompilerOutputPanel::blockOfDiagnostic(int index) const
{
    if (index < 0 || index >= diagnosticBlocks_.size())
        return -1;
    const int block = diagnosticBlocks_[index] - droppedLines();
    return block >= 0 ? block : -1;
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
