#include "JavaTools.h"

#include "CheckWhileTyping.h"
#include "CompilerOutputPanel.h"
#include "JavaToolsText.h"
#include "frmNewApplet.h"

#include "app/frmMain.h"
#include "document/Document.h"
#include "host/CommonDialog.h"
#include "host/EditorControl.h"
#include "host/HostError.h"
#include "host/HostServices.h"
#include "host/QtProcessStarter.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QHelpEvent>
#include <QMainWindow>
#include <QShortcut>
#include <QToolTip>

#include <algorithm>

namespace {
constexpr int MarkerMargin = 1;

QString absolutePath(const QString& path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

bool sameFile(const QString& a, const QString& b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (first.exists() && second.exists())
        return first.canonicalFilePath() == second.canonicalFilePath();
    return absolutePath(a) == absolutePath(b);
}

CommonDialog* fileDialogOf(QMainWindow& window)
{
    auto* main = qobject_cast<frmMain*>(&window);
    return main ? &main->cd1() : nullptr;
}
} // namespace

JavaTools::JavaTools(QMainWindow& window, Document& document, EditorControl& text1, HostServices& host)
    : window_(window), document_(document), text1_(text1), host_(host)
{
    panel_ = new CompilerOutputPanel(&window_);
    window_.addDockWidget(Qt::BottomDockWidgetArea, panel_);
    panel_->hide();
    connect(panel_, &CompilerOutputPanel::diagnosticReported, this, &JavaTools::onDiagnosticReported);
    connect(panel_, &CompilerOutputPanel::diagnosticActivated, this,
            [this](const ReportedDiagnostic& reported) { goToDiagnostic(reported.path, reported.diagnostic.line); });
    // The panel never takes the focus when it opens, and Tab is a character in the editor: F6 moves
    // between the editor and the panel, so that the error links can be followed from the keyboard.
    auto* switchPane = new QShortcut(QKeySequence(Qt::Key_F6), &window_);
    connect(switchPane, &QShortcut::activated, this, [this] {
        if (panel_->isVisible() && !panel_->view()->hasFocus())
            panel_->view()->setFocus(Qt::ShortcutFocusReason);
        else
            text1_.setFocus(Qt::ShortcutFocusReason);
    });

    qtStarter_ = dynamic_cast<QtProcessStarter*>(host_.processes.get());
    if (qtStarter_)
        qtStarter_->setConsoleOutput(panel_);

    setUpMargin();
    // Markers belong to the text they were set on: a text replaced whole, or another file, drops them.
    connect(&text1_, &EditorControl::Change, this, [this] {
        if (markers_.isEmpty())
            return;
        if (text1_.SendScintilla(QsciScintilla::SCI_GETTEXTLENGTH) == 0
            || text1_.SendScintilla(QsciScintilla::SCI_GETDOCPOINTER) != markedDocument_)
            clearMarkers();
    });
    connect(&window_, &QWidget::windowTitleChanged, this, [this] {
        if (!markers_.isEmpty())
            clearMarkers();
    });
    setUpCheckWhileTyping();
}

void JavaTools::setUpCheckWhileTyping()
{
    CheckWhileTyping::Hooks hooks;
    hooks.source = [this] {
        if (!document_.HasFileName)
            return CheckWhileTyping::Source{document_.CurrentFileName, QString()};
        const QFileInfo file(absolutePath(document_.CurrentFileName));
        return CheckWhileTyping::Source{file.filePath(), file.path()};
    };
    hooks.dropCompileMarks = [this] {
        clearMarkers();
        lastCompileTask_ = 0; // what that compile still reports is older than the check
    };
    hooks.report = [this](const QString& line) { panel_->note(0, line); };
    const QStringList command = host_.checkServiceCommand ? host_.checkServiceCommand() : QStringList();
    checker_ = new CheckWhileTyping(text1_, command, std::move(hooks), this);
}

JavaTools::~JavaTools()
{
    if (qtStarter_ && qtStarter_->consoleOutput() == panel_)
        qtStarter_->setConsoleOutput(nullptr);
    text1_.viewport()->removeEventFilter(this);
    // The wizard writes into this window; it must not outlive it.
    delete frmNewApplet::instance();
}

QAction* JavaTools::outputPanelAction() const
{
    return panel_->toggleViewAction();
}

void JavaTools::setUpMargin()
{
    text1_.setMarginType(MarkerMargin, QsciScintilla::SymbolMargin);
    text1_.setMarginWidth(MarkerMargin, 14);
    text1_.setMarginMarkerMask(MarkerMargin, (1 << ErrorMarker) | (1 << WarningMarker));
    text1_.markerDefine(QsciScintilla::Circle, ErrorMarker);
    text1_.setMarkerBackgroundColor(QColor(0xd0, 0x20, 0x20), ErrorMarker);
    text1_.setMarkerForegroundColor(QColor(0x80, 0x00, 0x00), ErrorMarker);
    text1_.markerDefine(QsciScintilla::RightTriangle, WarningMarker);
    text1_.setMarkerBackgroundColor(QColor(0xe8, 0xb0, 0x00), WarningMarker);
    text1_.setMarkerForegroundColor(QColor(0x80, 0x60, 0x00), WarningMarker);
    text1_.viewport()->installEventFilter(this);
}

void JavaTools::mnuNewApplet_Click()
{
    frmNewApplet* wizard = frmNewApplet::instance();
    if (!wizard)
        wizard = new frmNewApplet([this](const QString& imports, const QString& name) { return generateApplet(imports, name); });
    wizard->show();
    wizard->raise();
    wizard->activateWindow();
}

bool JavaTools::generateApplet(const QString& imports, const QString& name)
{
    // Unlike the first versions, unsaved work is not thrown away without a question.
    if (!document_.maybeSave())
        return false;
    text1_.setText(QString());
    text1_.SendScintilla(QsciScintilla::SCI_EMPTYUNDOBUFFER);
    if (CommonDialog* cd1 = fileDialogOf(window_))
        cd1->FileName.clear();
    document_.setTitle(name);
    document_.HasFileName = false;
    // A new document, as after New: saved as UTF-8 with CRLF line ends.
    document_.Format = FileFormat();
    text1_.setEolMode(QsciScintilla::EolWindows);
    document_.clearModified();
    text1_.setText(appletSource(imports, name));
    return true;
}

void JavaTools::mnuCompile_Click()
{
    const QString commandLine = compileCommandLine(document_.CurrentFileName, document_.Format.encoding);
    clearMarkers();
    checker_->compileStarted();
    lastCompileTask_ = 0;
    try {
        lastCompileTask_ = host_.processes->StartProcess(commandLine, ws::MinimizedFocus);
    } catch (const HostError& error) {
        // The program and the document go on as they were; the user learns why and what to do.
        const QString text = javacMissingText(error.message());
        panel_->note(0, text);
        host_.messageBox->show(text, mb::OKOnly | mb::Exclamation, QStringLiteral("Compile"));
        return;
    }
    if (document_.Modified())
        panel_->note(lastCompileTask_, QStringLiteral("Note: the document has unsaved changes; javac compiles the file as last saved, "
                                                      "not the text in the editor."));
}

void JavaTools::mnuCHelp_Click()
{
    host_.messageBox->show(compilerHelpText(), mb::Information, CompilerHelpTitle);
}

bool JavaTools::isCurrentDocument(const QString& path) const
{
    // Only a document that was loaded from or saved to its file is that file.
    return document_.HasFileName && !document_.CurrentFileName.isEmpty() && sameFile(path, document_.CurrentFileName);
}

void JavaTools::onDiagnosticReported(const ReportedDiagnostic& diagnostic)
{
    if (lastCompileTask_ != 0 && diagnostic.taskId == lastCompileTask_ && isCurrentDocument(diagnostic.path))
        markDiagnostic(diagnostic);
}

void JavaTools::markDiagnostic(const ReportedDiagnostic& reported)
{
    const int line = reported.diagnostic.line - 1;
    if (line < 0 || line >= text1_.lines())
        return; // the file as saved is longer than the text now
    const int marker = reported.diagnostic.isError ? ErrorMarker : WarningMarker;
    const int handle = text1_.markerAdd(line, marker);
    if (handle < 0)
        return;
    const QString kind = reported.diagnostic.isError ? QStringLiteral("error: ") : QStringLiteral("warning: ");
    markers_.push_back({handle, kind + reported.diagnostic.message});
    markedDocument_ = text1_.SendScintilla(QsciScintilla::SCI_GETDOCPOINTER);
}

void JavaTools::markLastCompile()
{
    if (lastCompileTask_ == 0)
        return;
    for (const ReportedDiagnostic& reported : panel_->diagnostics()) {
        if (reported.taskId == lastCompileTask_ && isCurrentDocument(reported.path))
            markDiagnostic(reported);
    }
}

void JavaTools::clearMarkers()
{
    text1_.markerDeleteAll(ErrorMarker);
    text1_.markerDeleteAll(WarningMarker);
    markers_.clear();
}

QString JavaTools::diagnosticsOnLine(int line) const
{
    QStringList messages;
    for (const MarkedLine& marked : markers_) {
        if (text1_.markerLine(marked.handle) == line)
            messages << marked.message;
    }
    return messages.join(u'\n');
}

void JavaTools::goToLine(int line)
{
    const int index = std::clamp(line - 1, 0, std::max(text1_.lines() - 1, 0));
    text1_.setCursorPosition(index, 0);
    text1_.ensureLineVisible(index);
    text1_.setFocus();
}

void JavaTools::goToDiagnostic(const QString& path, int line)
{
    if (isCurrentDocument(path)) {
        goToLine(line);
        return;
    }
    const int answer = host_.messageBox->show(
        QStringLiteral("%1 is not the document being edited.\n\nOpen it?").arg(QDir::toNativeSeparators(path)),
        mb::YesNo | mb::Question, QStringLiteral("Compiler Output"));
    if (answer != mb::Yes || !document_.maybeSave())
        return;
    if (CommonDialog* cd1 = fileDialogOf(window_))
        cd1->FileName = path;
    if (!document_.loadFile(path))
        return;
    markLastCompile();
    goToLine(line);
}

bool JavaTools::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != text1_.viewport() || event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    // Hovering a marker in the margin shows what javac said about that line.
    auto* help = static_cast<QHelpEvent*>(event);
    long textLeft = static_cast<long>(text1_.SendScintilla(QsciScintilla::SCI_GETMARGINLEFT));
    for (unsigned long margin = 0; margin < 5; ++margin)
        textLeft += static_cast<long>(text1_.SendScintilla(QsciScintilla::SCI_GETMARGINWIDTHN, margin));
    if (markers_.isEmpty() || help->pos().x() >= textLeft)
        return false;
    const auto position = text1_.SendScintilla(QsciScintilla::SCI_POSITIONFROMPOINT,
                                               static_cast<unsigned long>(textLeft), static_cast<long>(help->pos().y()));
    const int line = static_cast<int>(text1_.SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, static_cast<unsigned long>(position)));
    const QString messages = diagnosticsOnLine(line);
    if (messages.isEmpty()) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(help->globalPos(), messages, text1_.viewport());
    return true;
}
