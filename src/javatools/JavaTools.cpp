#include "JavaTools.h"

#include "CheckWhileTyping.h"
#include "CodeCompletion.h"
#include "CompilerOutputPanel.h"
#include "DiagnosticMarks.h"
#include "InteractionsPane.h"
#include "JavaEditing.h"
#include "JavaSource.h"
#include "JavaToolsText.h"
#include "RunProgram.h"

#include "document/Document.h"
#include "editor/EditorControl.h"
#include "host/HostError.h"
#include "host/HostServices.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QToolTip>

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
    // A compile's diagnostics are shown as javac reports them; the caret line that gives a
    // diagnostic's column comes after it and adds its squiggle.
    connect(panel_, &CompilerOutputPanel::diagnosticReported, this, [this](const ReportedDiagnostic& reported) {
        if (lastCompileTask_ != 0 && reported.taskId == lastCompileTask_ && isCurrentDocument(reported.path)) {
            compileShown_.push_back(compileDiagnostic(reported));
            marks_->show(Diagnostic::Source::Compile, compileShown_);
        }
    });
    connect(panel_, &CompilerOutputPanel::diagnosticLocated, this, [this](const ReportedDiagnostic& reported) {
        if (lastCompileTask_ != 0 && reported.taskId == lastCompileTask_ && isCurrentDocument(reported.path)
            && !compileShown_.isEmpty()) {
            compileShown_.back() = compileDiagnostic(reported);
            marks_->show(Diagnostic::Source::Compile, compileShown_);
        }
    });
    connect(panel_, &CompilerOutputPanel::diagnosticActivated, this, [this](const ReportedDiagnostic& reported) {
        goToDiagnostic(reported.path, reported.diagnostic.line, reported.column);
    });
    host_.processes->setConsoleOutput(panel_);
    setUpCheckWhileTyping();
    run_ = new RunProgram(*this, document_, text1_, host_, this);
    interactions_ = new InteractionsPane(*this, document_, text1_, host_, &window);
    window.addDockWidget(Qt::BottomDockWidgetArea, interactions_);
    window.splitDockWidget(panel_, interactions_, Qt::Horizontal);
    interactions_->hide();
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
    checker_ = new CheckWhileTyping(document_, *marks_, command, std::move(hooks), this);
    // Another file, or the same text under a new name: what was found no longer holds.
    connect(&document_, &Document::currentFileChanged, checker_, &CheckWhileTyping::recheck);

    CodeCompletion::Hooks completing;
    completing.path = [this] {
        return document_.HasFileName() ? absolutePath(document_.CurrentFileName()) : document_.CurrentFileName();
    };
    completing.folder = [this] {
        return document_.HasFileName() ? QFileInfo(absolutePath(document_.CurrentFileName())).path() : QString();
    };
    completing.report = [this](const QString& line) { panel_->note(0, line); };
    completion_ = new CodeCompletion(document_, text1_, *checker_, std::move(completing), this);
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
    compile();
}

bool JavaTools::saveForTools(const QString& command)
{
    // The tools read the file, so what is on screen must be in it first.
    if (document_.HasFileName() && !document_.Modified())
        return true;
    if (document_.Save())
        return true;
    panel_->note(0, QStringLiteral("%1: nothing was done, because the document was not saved (the save was cancelled "
                                   "or failed). %1 works on the file, so it needs the text saved first.")
                        .arg(command));
    return false;
}

ConsoleStart JavaTools::consoleStartForDocument() const
{
    ConsoleStart how;
    // Other classes of the program are found beside the file, wherever the editor was started.
    how.workingDirectory = QFileInfo(absolutePath(document_.CurrentFileName())).absolutePath();
    return how;
}

qint64 JavaTools::compile()
{
    lastCompileTask_ = 0;
    if (!saveForTools(QStringLiteral("Compile")))
        return 0;
    compileShown_.clear();
    marks_->clear();
    checker_->compileStarted();
    // An absolute path: a name beginning with "-" or "@" is never taken for an option or an
    // argument file.
    const QString path = absolutePath(document_.CurrentFileName());
    QStringList arguments = compileArguments(path, document_.fileFormat().encoding);
    // The other classes of a package are found under the folder that holds the package's folders
    // (in the default package that is the file's folder, where javac runs and looks by itself).
    const JavaSourceRootInfo root = javaSourceRootOf(path, text1_.textBetween(0, 65536));
    if (!root.packageName.isEmpty() && !root.misplaced)
        arguments = QStringList{QStringLiteral("-sourcepath"), root.root} + arguments;
    if (root.misplaced) {
        // javac's own complaints would be about classes it cannot find; the cause comes first.
        panel_->note(0, misplacedPackageText(QFileInfo(path).fileName(), root.packageName, QDir::toNativeSeparators(root.root)));
    }
    try {
        lastCompileTask_ = host_.processes->startConsole(QStringLiteral("javac"), arguments, consoleStartForDocument());
    } catch (const HostError& error) {
        // The program and the document go on as they were; the user learns why and what to do.
        const QString text = javacMissingText(error.message());
        panel_->note(0, text);
        host_.messageBox->show(text, mb::OKOnly | mb::Exclamation, QStringLiteral("Compile"));
        return 0;
    }
    return lastCompileTask_;
}

void JavaTools::mnuRun_Click()
{
    run_->mnuRun_Click();
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

Diagnostic JavaTools::compileDiagnostic(const ReportedDiagnostic& reported) const
{
    Diagnostic d;
    d.source = Diagnostic::Source::Compile;
    d.line = reported.diagnostic.line - 1;
    d.isError = reported.diagnostic.isError;
    d.message = (d.isError ? QStringLiteral("error: ") : QStringLiteral("warning: ")) + reported.diagnostic.message;
    // A line past the end means the file as saved is longer than the text now: nothing to squiggle.
    if (reported.column < 0 || d.line < 0 || d.line >= text1_.lines())
        return d;
    QString text = text1_.text(d.line);
    while (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);
    if (const auto [column, length] = javaSquiggleAt(text, reported.column); length > 0) {
        d.from = text1_.offsetOfLine(d.line) + column;
        d.to = d.from + length;
    }
    return d;
}

void JavaTools::markLastCompile()
{
    compileShown_.clear();
    if (lastCompileTask_ == 0)
        return;
    for (const ReportedDiagnostic& reported : panel_->diagnostics()) {
        if (reported.taskId == lastCompileTask_ && isCurrentDocument(reported.path))
            compileShown_.push_back(compileDiagnostic(reported));
    }
    marks_->show(Diagnostic::Source::Compile, compileShown_);
}

void JavaTools::goToLine(int line, int column)
{
    const int index = std::clamp(line - 1, 0, std::max(text1_.lines() - 1, 0));
    qsizetype offset = text1_.offsetOfLine(index);
    if (column > 0) {
        // A line shorter than the column (the text changed since) keeps the caret at its end.
        QString text = text1_.text(index);
        while (text.endsWith(u'\n') || text.endsWith(u'\r'))
            text.chop(1);
        offset += std::min<qsizetype>(column, text.size());
    }
    text1_.setSelStart(offset);
    text1_.ensureCursorVisible();
    text1_.setFocus();
}

QString JavaTools::goToNextDiagnostic(bool forward)
{
    const int target = JavaEditing::nextMarkedLine(marks_->markedLines(), text1_.caretLine() - 1, forward);
    QString message;
    if (target < 0) {
        message = QStringLiteral("No line has an error or a warning.");
    } else {
        // The marked range's start when the line has one, else the line's.
        qsizetype offset = text1_.offsetOfLine(target);
        const qsizetype lineEnd = text1_.offsetOfLine(target + 1);
        for (const int indicator : {int(CheckWhileTyping::ErrorIndicator), int(CheckWhileTyping::WarningIndicator),
                                    int(DiagnosticMarks::ErrorIndicator), int(DiagnosticMarks::WarningIndicator)}) {
            for (const auto& [from, to] : text1_.indicatorRanges(indicator)) {
                if (from >= offset && from < lineEnd) {
                    offset = from;
                    break;
                }
            }
            if (offset != text1_.offsetOfLine(target))
                break;
        }
        text1_.setSelStart(offset);
        text1_.ensureCursorVisible();
        message = marks_->messagesOnLine(target);
    }
    const QRect caret = text1_.characterRect(text1_.caretOffset());
    QToolTip::showText(text1_.viewport()->mapToGlobal(caret.bottomLeft()), message, text1_.viewport());
    return message;
}

void JavaTools::goToDiagnostic(const QString& path, int line, int column)
{
    if (isCurrentDocument(path)) {
        goToLine(line, column);
        return;
    }
    const QString notThis = QStringLiteral("%1 is not the document being edited.\n\n").arg(QDir::toNativeSeparators(path));
    if (openInNewWindow_) {
        const int answer = host_.messageBox->show(notThis + QStringLiteral("Open it in this window? (No opens it in a new window.)"),
                                                  mb::YesNoCancel | mb::Question, QStringLiteral("Compiler Output"));
        if (answer == mb::No)
            openInNewWindow_(path, line, column);
        if (answer != mb::Yes || !document_.maybeSave())
            return;
    } else if (host_.messageBox->show(notThis + QStringLiteral("Open it?"), mb::YesNo | mb::Question,
                                      QStringLiteral("Compiler Output"))
                   != mb::Yes
               || !document_.maybeSave()) {
        return;
    }
    if (!document_.loadFile(path))
        return;
    markLastCompile();
    goToLine(line, column);
}
