#pragma once

#include <QList>
#include <QObject>
#include <QString>

class CheckWhileTyping;
class CompilerOutputPanel;
class Document;
class EditorControl;
class QAction;
class QMainWindow;
class QtProcessStarter;
struct HostServices;
struct ReportedDiagnostic;

// The Tools: the new-applet wizard, compiling the current file with javac, and the compiler help.
// Compiles run in the background; what javac prints appears in the compiler output panel, and the
// lines it reports for the document being edited are marked in the editor's margin.
class JavaTools : public QObject {
    Q_OBJECT

public:
    JavaTools(QMainWindow& window, Document& document, EditorControl& text1, HostServices& host);
    ~JavaTools() override;

    void mnuNewApplet_Click();
    void mnuCompile_Click();
    void mnuCHelp_Click();

    // Shows and hides the compiler output panel (for the Tools menu); null when there is none.
    QAction* outputPanelAction() const;
    CompilerOutputPanel* outputPanel() const { return panel_; }
    // Tools > "Check While Typing" and its count for the status bar.
    CheckWhileTyping& checkWhileTyping() const { return *checker_; }

    // The wizard's OK: replaces the document with the applet's source. False when the user chose
    // to keep the unsaved document.
    bool generateApplet(const QString& imports, const QString& name);

    // Markers in the editor's margin: the messages reported for a line (0-based), one per line of
    // the result; empty when the line has none.
    QString diagnosticsOnLine(int line) const;
    int markerCount() const { return static_cast<int>(markers_.size()); }

    // Goes to line (1-based) of the file at path: in the editor when that is the document being
    // edited, otherwise after offering to open it.
    void goToDiagnostic(const QString& path, int line);

    enum Marker { ErrorMarker = 8, WarningMarker = 9 };

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct MarkedLine {
        int handle;
        QString message;
    };

    void setUpMargin();
    void setUpCheckWhileTyping();
    bool isCurrentDocument(const QString& path) const;
    void onDiagnosticReported(const ReportedDiagnostic& diagnostic);
    void markDiagnostic(const ReportedDiagnostic& diagnostic);
    void markLastCompile();
    void clearMarkers();
    void goToLine(int line);

    QMainWindow& window_;
    Document& document_;
    EditorControl& text1_;
    HostServices& host_;
    CompilerOutputPanel* panel_ = nullptr;
    CheckWhileTyping* checker_ = nullptr;
    QtProcessStarter* qtStarter_ = nullptr;
    qint64 lastCompileTask_ = 0;
    QList<MarkedLine> markers_;
    long markedDocument_ = 0; // the editor's document the markers were set in (it may load a new one)
};
