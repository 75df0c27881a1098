#pragma once

#include "DiagnosticMarks.h"

#include "host/ProcessStarter.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class CheckWhileTyping;
class CodeCompletion;
class CompilerOutputPanel;
class InteractionsPane;
class Document;
class EditorControl;
class QAction;
class QMainWindow;
class RunProgram;
struct HostServices;
struct ReportedDiagnostic;

// Compiling the current file with javac, and the compiler help. Compiles run in the background;
// what javac prints appears in the compiler output panel (docked at the bottom of the window), and
// the lines it reports for the document being edited are marked in the editor's margin. Both
// compiling and running work on the file, so a document with unsaved changes is saved first.
class JavaTools : public QObject {
    Q_OBJECT

public:
    JavaTools(QMainWindow& window, Document& document, EditorControl& text1, HostServices& host);
    ~JavaTools() override;

    void mnuCompile_Click();
    void mnuCHelp_Click();
    void mnuRun_Click();
    // F8 and Shift+F8: the caret goes to the next (or previous) line with a compiler's or the
    // checker's message, going round at the end, and the message is shown there. The message, or
    // what was said instead when there is none.
    QString goToNextDiagnostic(bool forward);

    // Saves the document if needed and starts javac on it; the run's task id, 0 when nothing was
    // started (the save did not happen, or javac could not start: the user was told).
    qint64 compile();
    // Saves a document with unsaved changes or without a file (Save's own steps); false, after
    // a note in the panel naming command, when it was not saved.
    bool saveForTools(const QString& command);
    // How javac and java are started for the document: in its folder.
    ConsoleStart consoleStartForDocument() const;
    RunProgram& runner() { return *run_; }

    // Shows and hides the compiler output panel (for the Tools menu).
    QAction* outputPanelAction() const;
    CompilerOutputPanel* outputPanel() const { return panel_; }
    DiagnosticMarks& marks() { return *marks_; }
    // Tools > "Check While Typing" and its count for the status bar.
    CheckWhileTyping& checkWhileTyping() const { return *checker_; }
    // View > Interactions.
    InteractionsPane& interactions() const { return *interactions_; }
    // Edit > "Complete", "Parameter Hints" and Tools > "Complete Automatically".
    CodeCompletion& completion() const { return *completion_; }

    // Goes to line (1-based) and column (0-based; -1 the line's start) of the file at path: in the
    // editor when that is the document being edited, otherwise after offering to open it.
    void goToDiagnostic(const QString& path, int line, int column = -1);
    // How a file is opened in a window of its own at line and column; with one, a diagnostic in
    // another file may be opened there instead of in this window.
    using NewWindowOpener = std::function<void(const QString& path, int line, int column)>;
    void setNewWindowOpener(NewWindowOpener opener) { openInNewWindow_ = std::move(opener); }

private:
    bool isCurrentDocument(const QString& path) const;
    Diagnostic compileDiagnostic(const ReportedDiagnostic& reported) const;
    void markLastCompile();
    void goToLine(int line, int column);
    void setUpCheckWhileTyping();

    Document& document_;
    EditorControl& text1_;
    HostServices& host_;
    CompilerOutputPanel* panel_ = nullptr;
    DiagnosticMarks* marks_ = nullptr;
    RunProgram* run_ = nullptr;
    CheckWhileTyping* checker_ = nullptr;
    InteractionsPane* interactions_ = nullptr;
    CodeCompletion* completion_ = nullptr;
    qint64 lastCompileTask_ = 0;
    QList<Diagnostic> compileShown_; // the last compile's, for this document
    NewWindowOpener openInNewWindow_;
};
