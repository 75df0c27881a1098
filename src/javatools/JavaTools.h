#pragma once

#include <QObject>

class Document;
class EditorControl;
class QAction;
class QMainWindow;
struct HostServices;

// The Tools: the new-applet wizard, compiling the current file with javac, and the compiler help.
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

private:
    QMainWindow& window_;
    Document& document_;
    EditorControl& text1_;
    HostServices& host_;
};
