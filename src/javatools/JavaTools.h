#pragma once

#include <QObject>
#include <QString>

class CheckWhileTyping;
class CompilerOutputPanel;
class DiagnosticMarks;
class Document;
class EditorControl;
class QAction;
class QMainWindow;
struct HostServices;
struct ReportedDiagnostic;

// Compiling the current file with javac, and the compiler help. Compiles run in the background;
// what javac prints appears in the compiler output panel (docked at the bottom of the window), and
// the lines it reports for the document being edited are marked in the editor's margin.
class JavaTools : public QObject {
    Q_OBJECT

public:
    JavaTools(QMainWindow& window, Document& document, EditorControl& text1, HostServices& host);
    ~JavaTools() override;

    void mnuCompile_Click();
    void mnuCHelp_Click();

    // Shows and hides the compiler output panel (for the Tools menu).
    QAction* outputPanelAction() const;
    CompilerOutputPanel* outputPanel() const { return panel_; }
    DiagnosticMarks& marks() { return *marks_; }
    // Tools > "Check While Typing" and its count for the status bar.
    CheckWhileTyping& checkWhileTyping() const { return *checker_; }

    // Goes to line (1-based) of the file at path: in the editor when that is the document being
    // edited, otherwise after offering to open it.
    void goToDiagnostic(const QString& path, int line);

private:
    bool isCurrentDocument(const QString& path) const;
    void markDiagnostic(const ReportedDiagnostic& diagnostic);
    void markLastCompile();
    void goToLine(int line);
    void setUpCheckWhileTyping();

    Document& document_;
    EditorControl& text1_;
    HostServices& host_;
    CompilerOutputPanel* panel_ = nullptr;
    DiagnosticMarks* marks_ = nullptr;
    CheckWhileTyping* checker_ = nullptr;
    qint64 lastCompileTask_ = 0;
};
