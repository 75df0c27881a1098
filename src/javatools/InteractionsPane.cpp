#include "InteractionsPane.h"

#include "CompilerOutputPanel.h"
#include "InteractionsEngine.h"
#include "JavaSource.h"
#include "JavaTools.h"
#include "RunProgram.h"

#include "document/Document.h"
#include "editor/EditorControl.h"
#include "host/HostServices.h"
#include "host/QtFileStore.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

#include <limits>

using InteractionsProtocol::Item;
using InteractionsProtocol::ItemKind;

namespace {
// A transcript that is never cleared must not fill the memory.
constexpr int MaxLines = 20000;
constexpr qint64 MaxHistoryBytes = 1 << 20;

const QString NoJdkText = QStringLiteral(
    "Interactions need a Java Development Kit (JDK) 11 or later whose javac is on the search path (PATH). "
    "On Debian or Ubuntu, install one with:\n    sudo apt install default-jdk\n"
    "Other systems: install a JDK (for example from https://adoptium.net) and add its bin folder to PATH, "
    "then press Reset.");
} // namespace

InteractionsInput::InteractionsInput(QWidget* parent) : QLineEdit(parent)
{
    setMaxLength(std::numeric_limits<int>::max());
}

void InteractionsInput::keyPressEvent(QKeyEvent* event)
{
    std::optional<QString> shown;
    switch (event->key()) {
    case Qt::Key_Up:
        shown = history_.older(text());
        break;
    case Qt::Key_Down:
        shown = history_.newer();
        break;
    case Qt::Key_Escape:
        history_.endWalk();
        clear();
        emit abandoned();
        return;
    default:
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (shown)
        setText(*shown);
}

InteractionsPane::InteractionsPane(JavaTools& tools, Document& document, EditorControl& text1, HostServices& host,
                                   QWidget* parent)
    : QDockWidget(QStringLiteral("Interactions"), parent), tools_(tools), document_(document), text1_(text1), host_(host)
{
    setObjectName(QStringLiteral("Interactions"));
    historyFile_ = QtFileStore::stateFolder() + QStringLiteral("/interactions-history");

    auto* pane = new QWidget(this);
    auto* column = new QVBoxLayout(pane);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    transcript_ = new QPlainTextEdit(pane);
    transcript_->setObjectName(QStringLiteral("txtInteractions"));
    transcript_->setAccessibleName(QStringLiteral("Interactions transcript"));
    transcript_->setReadOnly(true);
    transcript_->setUndoRedoEnabled(false);
    transcript_->setMaximumBlockCount(MaxLines);
    // The compiler output's font: the two panes read alike, and columns of output line up.
    transcript_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    column->addWidget(transcript_);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(4, 0, 4, 2);
    prompt_ = new QLabel(pane);
    prompt_->setFont(transcript_->font());
    input_ = new InteractionsInput(pane);
    input_->setObjectName(QStringLiteral("txtInteractionsInput"));
    input_->setAccessibleName(QStringLiteral("Interactions input"));
    input_->setFont(transcript_->font());
    stop_ = new QPushButton(QStringLiteral("Sto&p"), pane);
    stop_->setObjectName(QStringLiteral("cmdInteractionsStop"));
    // The output panel has a Stop of its own: a screen reader must tell the two apart.
    stop_->setAccessibleName(QStringLiteral("Stop evaluation"));
    stop_->setToolTip(QStringLiteral("Interrupts the evaluation going on"));
    reset_ = new QPushButton(QStringLiteral("&Reset"), pane);
    reset_->setObjectName(QStringLiteral("cmdInteractionsReset"));
    reset_->setToolTip(QStringLiteral("Starts a fresh session with the document's classes as compiled now"));
    row->addWidget(prompt_);
    row->addWidget(input_, 1);
    row->addWidget(stop_);
    row->addWidget(reset_);
    column->addLayout(row);
    setWidget(pane);
    setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea);
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);

    action_ = new QAction(QStringLiteral("Interactions"), this);
    action_->setObjectName(QStringLiteral("mnuInteractions"));
    action_->setCheckable(true);
    action_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I));
    connect(action_, &QAction::triggered, this, [this] {
        const QWidget* focus = QApplication::focusWidget();
        if (isVisible() && focus && isAncestorOf(focus)) {
            hide();
            text1_.setFocus(Qt::ShortcutFocusReason);
        } else {
            open();
        }
        action_->setChecked(isVisible());
    });
    connect(this, &QDockWidget::visibilityChanged, this, [this] { action_->setChecked(isVisible()); });

    const QStringList command = host_.interactionsServiceCommand ? host_.interactionsServiceCommand() : QStringList();
    engine_ = new InteractionsEngine(command, this);
    connect(engine_, &InteractionsEngine::ready, this, [this](const QString& note) {
        if (!note.isEmpty())
            append(note, Style::Error);
        append(classPath_.isEmpty() ? QStringLiteral("Ready.")
                                    : QStringLiteral("Ready, with the classes of %1.").arg(QDir::toNativeSeparators(classPath_)),
               Style::Note);
        updateState();
        emit sessionReady();
        runNext();
    });
    connect(engine_, &InteractionsEngine::evaluated, this, &InteractionsPane::evaluated);
    connect(engine_, &InteractionsEngine::output, this,
            [this](const QString& text, bool isError) { append(text, isError ? Style::Error : Style::Output, false); });
    connect(engine_, &InteractionsEngine::inputWanted, this, [this] {
        wantsInput_ = true;
        updateState();
    });
    connect(engine_, &InteractionsEngine::sessionEnded, this, [this](const QString& note) {
        append(note, Style::Note);
        updateState();
    });
    connect(engine_, &InteractionsEngine::failed, this, [this](const QString& reason) {
        pending_.clear();
        queued_.clear();
        append(QStringLiteral("The Interactions service stopped (%1). Reset starts a new one.").arg(reason), Style::Error);
        updateState();
        emit answered();
    });
    connect(tools_.outputPanel(), &CompilerOutputPanel::runFinished, this, [this](qint64 taskId, int exitCode, bool crashed) {
        if (taskId != compileTask_ || taskId == 0)
            return;
        compileTask_ = 0;
        if (exitCode != 0 || crashed)
            append(QStringLiteral("The document did not compile (see Compiler Output): its classes are at hand as they "
                                  "were compiled last."),
                   Style::Note);
        startEngine();
    });
    // The output panel that comes up after the pane (a compile before the session) takes its half too,
    // rather than the sliver a new dock gets beside one already there.
    connect(tools_.outputPanel(), &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible)
            shareWidthWithOutput();
    });
    connect(input_, &QLineEdit::returnPressed, this, &InteractionsPane::submit);
    connect(input_, &InteractionsInput::abandoned, this, [this] {
        if (!pending_.isEmpty()) {
            pending_.clear();
            append(QStringLiteral("(the unfinished input was dropped)"), Style::Note);
        }
        updateState();
    });
    connect(stop_, &QPushButton::clicked, this, &InteractionsPane::stop);
    connect(reset_, &QPushButton::clicked, this, &InteractionsPane::reset);
    updateState();
}

InteractionsPane::~InteractionsPane() = default;

void InteractionsPane::shareWidthWithOutput()
{
    // Beside the compiler output, half of the width each: both hold lines worth reading whole.
    auto* window = qobject_cast<QMainWindow*>(parentWidget());
    if (window && isVisible() && tools_.outputPanel()->isVisible() && !isFloating() && !tools_.outputPanel()->isFloating())
        window->resizeDocks({tools_.outputPanel(), this}, {1, 1}, Qt::Horizontal);
}

void InteractionsPane::open()
{
    loadHistory();
    const bool wasVisible = isVisible();
    show();
    raise();
    if (!wasVisible)
        shareWidthWithOutput();
    input_->setFocus(Qt::ShortcutFocusReason);
    if (!engine_->isRunning() && compileTask_ == 0 && !told_)
        startSession();
}

void InteractionsPane::reset()
{
    if (compileTask_ != 0)
        return; // a session is on its way already
    pending_.clear();
    queued_.clear();
    wantsInput_ = false;
    stopping_ = false;
    told_ = false;
    append(QStringLiteral("Reset: a fresh session starts; what was declared is gone."), Style::Note);
    startSession();
    input_->setFocus(Qt::OtherFocusReason);
}

void InteractionsPane::stop()
{
    queued_.clear();
    if (!engine_->isBusy())
        return;
    stopping_ = true;
    wantsInput_ = false;
    engine_->stop();
    updateState();
}

void InteractionsPane::startSession()
{
    if (!host_.interactionsServiceCommand || host_.interactionsServiceCommand().isEmpty()) {
        if (!told_)
            append(NoJdkText, Style::Error);
        told_ = true;
        updateState();
        return;
    }
    classPath_.clear();
    setup_.clear();
    if (document_.HasFileName()) {
        const QFileInfo source(QDir::cleanPath(QDir::current().absoluteFilePath(document_.CurrentFileName())));
        const QString text = document_.text();
        const JavaProgramInfo info = describeJavaProgram(text);
        // The same source root as Compile and Run.
        const JavaSourceRootInfo root = javaSourceRootOf(source.filePath(), text);
        if (root.misplaced) {
            append(misplacedPackageText(source.fileName(), root.packageName, QDir::toNativeSeparators(source.absolutePath()))
                       + QStringLiteral(" Its classes are not at hand."),
                   Style::Note);
        } else {
            classPath_ = root.root;
            // The session's code lives in a package of its own, and Java lets no package reach classes
            // of the default package: those are declared in the session from the document's text. A
            // package's classes are imported.
            setup_ = root.packageName.isEmpty() ? text : QStringLiteral("import %1.*;").arg(root.packageName);
            const QString classFile = source.absolutePath() + u'/' + info.firstClass + QStringLiteral(".class");
            if (!info.firstClass.isEmpty()
                && (document_.Modified() || classesOutOfDate(root.root, source.filePath(), classFile))) {
                append(QStringLiteral("Compiling %1 first...").arg(source.fileName()), Style::Note);
                compileTask_ = tools_.compile();
                if (compileTask_ != 0) {
                    updateState();
                    return; // the session starts when the compile has ended
                }
            }
        }
    }
    startEngine();
}

void InteractionsPane::startEngine()
{
    append(QStringLiteral("Starting Java..."), Style::Note);
    engine_->startSession(classPath_, setup_);
    updateState();
}

void InteractionsPane::submit()
{
    const QString line = input_->text();
    input_->clear();
    input_->history().add(line);
    saveHistory();
    if (engine_->isBusy() && wantsInput_) {
        // The code going on waits for a line of System.in.
        append(line, Style::Input);
        engine_->sendInput(line);
        wantsInput_ = false;
        updateState();
        return;
    }
    const bool continuing = !pending_.isEmpty() || !queued_.isEmpty();
    if (!continuing && line.trimmed().isEmpty())
        return;
    append((continuing && !pending_.isEmpty() ? QStringLiteral(". ") : QStringLiteral("> ")) + line, Style::Input);
    // Typed while the session starts, or while the last input still runs: it comes next.
    queued_.append(line);
    runNext();
}

void InteractionsPane::runNext()
{
    if (queued_.isEmpty())
        return;
    if (!engine_->isReady()) {
        if (!engine_->isRunning() && compileTask_ == 0)
            startSession();
        updateState();
        return;
    }
    const QString line = queued_.takeFirst();
    const bool continuing = !pending_.isEmpty();
    const QString source = continuing ? pending_ + u'\n' + line : line;
    // An empty line ends an input that still looks unfinished: the compiler says what is missing.
    const bool force = continuing && line.trimmed().isEmpty();
    pending_.clear();
    if (source.trimmed().isEmpty())
        return runNext();
    engine_->evaluate(source, force);
    updateState();
}

void InteractionsPane::evaluated(const QString& source, bool complete, const QList<Item>& items)
{
    if (std::exchange(stopping_, false))
        append(QStringLiteral("Stopped."), Style::Note);
    if (!complete) {
        pending_ = source;
    } else {
        for (const Item& item : items) {
            const bool bad = item.kind == ItemKind::Error || item.kind == ItemKind::Exception;
            append(InteractionsText::describe(item, source),
                   bad ? Style::Error : item.kind == ItemKind::Note ? Style::Note : Style::Answer);
        }
    }
    wantsInput_ = false;
    updateState();
    emit answered();
    runNext();
}

void InteractionsPane::append(const QString& text, Style style, bool endLine)
{
    QTextCharFormat format;
    switch (style) {
    case Style::Input:
        format.setFontWeight(QFont::Bold);
        break;
    case Style::Error:
        format.setForeground(QColor(0xb0, 0x00, 0x20));
        break;
    case Style::Note:
        format.setForeground(transcript_->palette().color(QPalette::PlaceholderText));
        format.setFontItalic(true);
        break;
    case Style::Answer:
    case Style::Output:
        break;
    }
    QTextCursor cursor(transcript_->document());
    cursor.movePosition(QTextCursor::End);
    const bool empty = transcript_->document()->isEmpty();
    // Printed text may end in the middle of a line, which the next print goes on with.
    if (!empty && !(lineOpen_ && !endLine))
        cursor.insertBlock(QTextBlockFormat(), format);
    QString shown = text;
    lineOpen_ = !endLine && !shown.endsWith(u'\n');
    if (!endLine && shown.endsWith(u'\n'))
        shown.chop(1);
    cursor.insertText(shown, format);
    transcript_->verticalScrollBar()->setValue(transcript_->verticalScrollBar()->maximum());
}

void InteractionsPane::updateState()
{
    const bool busy = engine_->isBusy();
    stop_->setEnabled(busy);
    reset_->setEnabled(compileTask_ == 0);
    if (wantsInput_) {
        prompt_->setText(QStringLiteral("in:"));
        input_->setPlaceholderText(QStringLiteral("The code reads System.in: a line for it, Enter sends it"));
    } else if (!pending_.isEmpty()) {
        prompt_->setText(QStringLiteral("..."));
        input_->setPlaceholderText(QStringLiteral("More of the input; an empty line evaluates it as it is, Esc drops it"));
    } else {
        prompt_->setText(QStringLiteral(">"));
        input_->setPlaceholderText(busy ? QStringLiteral("Evaluating... (Stop interrupts it)")
                                        : QStringLiteral("Java to evaluate: an expression, a statement or a declaration"));
    }
}

void InteractionsPane::loadHistory()
{
    if (historyLoaded_)
        return;
    historyLoaded_ = true;
    if (historyFile_.isEmpty())
        return;
    QFile file(historyFile_);
    if (file.open(QIODevice::ReadOnly))
        input_->history() = InteractionsHistory::load(file.read(MaxHistoryBytes));
}

void InteractionsPane::saveHistory()
{
    if (historyFile_.isEmpty() || !historyLoaded_)
        return;
    QDir().mkpath(QFileInfo(historyFile_).absolutePath());
    // A history that cannot be written is only a convenience lost; the pane goes on.
    QSaveFile file(historyFile_);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(input_->history().save());
        file.commit();
    }
}
