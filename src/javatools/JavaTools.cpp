#include "JavaTools.h"

#include "CheckWhileTyping.h"
#include "CompilerOutputPanel.h"
#include "DiagnosticMarks.h"
#include "JavaToolsText.h"

#include "document/Document.h"
#include "host/EditorControl.h"
#include "host/HostError.h"
#include "host/HostServices.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>

#include <algorithm>

namespace {
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
} // namespace

JavaTools::JavaTools(QMainWindow& window, Document& document, EditorControl& text1, HostServices& host)
    : document_(document), text1_(text1), host_(host)
{
    panel_ = new CompilerOutputPanel(&window);
    window.addDockWidget(Qt::BottomDockWidgetArea, panel_);
    panel_->hide();
    marks_ = new DiagnosticMarks(text1_, document_, this);
    connect(panel_, &CompilerOutputPanel::diagnosticReported, this, [this](const ReportedDiagnostic& reported) {
        if (lastCompileTask_ != 0 && reported.taskId == lastCompileTask_ && isCurrentDocument(reported.path))
            markDiagnostic(reported);
    });
    connect(panel_, &CompilerOutputPanel::diagnosticActivated, this,
            [this](const ReportedDiagnostic& reported) { goToDiagnostic(reported.path, reported.diagnostic.line); });
    host_.processes->setConsoleOutput(panel_);
    setUpCheckWhileTyping();
}

void JavaTools::setUpCheckWhileTyping()
{
    CheckWhileTyping::Hooks hooks;
    hooks.source = [this] {
        if (!document_.HasFileName())
            return CheckWhileTyping::Source{document_.CurrentFileName(), QString()};
        const QFileInfo file(absolutePath(document_.CurrentFileName()));
        return CheckWhileTyping::Source{file.filePath(), file.path()};
    };
    // What a compile still reports once the check has shown its marks is older than they are.
    hooks.checkShown = [this] { lastCompileTask_ = 0; };
    hooks.report = [this](const QString& line) { panel_->note(0, line); };
    const QStringList command = host_.checkServiceCommand ? host_.checkServiceCommand() : QStringList();
    checker_ = new CheckWhileTyping(text1_, *marks_, command, std::move(hooks), this);
    // Another file, or the same text under a new name: what was found no longer holds.
    connect(&document_, &Document::currentFileChanged, checker_, &CheckWhileTyping::recheck);
}

JavaTools::~JavaTools()
{
    if (host_.processes->consoleOutput() == panel_)
        host_.processes->setConsoleOutput(nullptr);
}

QAction* JavaTools::outputPanelAction() const
{
    return panel_->toggleViewAction();
}

void JavaTools::mnuCompile_Click()
{
    const QString commandLine = compileCommandLine(document_.CurrentFileName(), document_.fileFormat().encoding);
    marks_->clear();
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
    return document_.HasFileName() && !document_.CurrentFileName().isEmpty() && sameFile(path, document_.CurrentFileName());
}

void JavaTools::markDiagnostic(const ReportedDiagnostic& reported)
{
    // A line past the end means the file as saved is longer than the text now: nothing to mark.
    const QString kind = reported.diagnostic.isError ? QStringLiteral("error: ") : QStringLiteral("warning: ");
    marks_->mark(reported.diagnostic.line - 1, reported.diagnostic.isError, kind + reported.diagnostic.message);
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
    if (!document_.loadFile(path))
        return;
    markLastCompile();
    goToLine(line);
}
