#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>

class ChangedOnDiskBar;
class CommonDialog;
class Document;
class EditorControl;
class JavaTools;
class QAction;
class QLabel;
class StatusPanel;
class QMenu;
class RecentFiles;
class QTimer;
class QToolBar;
struct HostServices;

// The main window: the editor, its menus, toolbar and status bar, and one handler per command.
class frmMain : public QMainWindow {
    Q_OBJECT

public:
    // editorReady runs as soon as the editor exists, before the rest of the window is built, so that
    // a file given at start can be made room for meanwhile.
    explicit frmMain(HostServices& host, QWidget* parent = nullptr,
                     const std::function<void(EditorControl&)>& editorReady = {});
    ~frmMain() override;

    EditorControl& Text1() { return *text1_; }
    CommonDialog& cd1() { return *cd1_; }
    Document& document() { return *document_; }
    QToolBar* Toolbar1() const { return toolbar1_; }
    QLabel* statusPanel(int index) const; // 1: caret line, 2: date and time
    JavaTools& javaTools() { return *javaTools_; }
    ChangedOnDiskBar* diskChangeBar() const { return diskBar_; }

    // Menu and toolbar handlers.
    void mnuNew_Click();
    void mnuNewWindow_Click();
    void mnuNewApplet_Click();
    void mnuOpen_Click();
    void mnuOpenInNewWindow_Click();
    void mnuSave_Click();
    void mnuSaveAs_Click();
    void mnuPrint_Click();
    void mnuExit_Click();
    void mnuUndo_Click();
    void mnuRedo_Click();
    void mnuCut_Click();
    void mnuCopy_Click();
    void mnuPaste_Click();
    void mnuFind_Click();
    void mnuFindNext_Click();
    void mnuFindPrevious_Click();
    void mnuReplace_Click();
    void mnuGoToLine_Click();
    void mnuSelectAll_Click();
    void mnuDateTime_Click();
    void mnuToggleComment_Click();
    void mnuZoomIn_Click();
    void mnuZoomOut_Click();
    void mnuZoomNormal_Click();
    void mnuCompile_Click();
    void mnuCHelp_Click();
    void mnuRun_Click();
    void mnuNextError_Click();
    void mnuPreviousError_Click();
    void mnuAbout_Click();
    // A file of the File menu's recent list: opened here after the usual save question, or taken
    // off the list with a message when it is gone.
    void openRecentFile(const QString& path);
    // Starts another editor, a window of its own, with path (none: an empty document) at line
    // (1-based, 0: the start) and column (0-based).
    void openInNewWindow(const QString& path = QString(), int line = 0, int column = -1);
    // Where the list of recent files is kept (tests keep theirs apart).
    void setRecentFilesStore(const QString& path);
    QStringList recentFiles() const;

    // Runs the command of the toolbar button's Key. A HostError a command lets through ends that
    // command quietly; the window stays usable.
    void Toolbar1_ButtonClick(QAction* button);
    // F6: the keyboard goes from the editor to the compiler output panel and back.
    void switchPane();

    void Timer1_Timer();
    void Text1_Change();
    void updateCaretPanel();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void createEditor();
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void runFromMenu(void (frmMain::*handler)());
    void createDiskChangeBar();
    void updateRecentFilesMenu();
    // Off while a load fills the editor: every command that reads, replaces or writes the text.
    void enableDocumentCommands(bool enabled);
    QAction* addCommand(const QString& name, const QString& caption, void (frmMain::*handler)(),
                        const QList<QKeySequence>& shortcuts = {});
    QAction* addToolButton(const QString& key, const QString& resourceIcon,
                           const QString& tooltip);

    HostServices& host_;
    EditorControl* text1_ = nullptr;
    std::unique_ptr<CommonDialog> cd1_;
    std::unique_ptr<Document> document_;
    std::unique_ptr<JavaTools> javaTools_;
    QToolBar* toolbar1_ = nullptr;
    StatusPanel* caretPanel_ = nullptr;
    StatusPanel* clockPanel_ = nullptr;
    QTimer* timer1_ = nullptr;
    ChangedOnDiskBar* diskBar_ = nullptr;
    QMenu* mnuFile_ = nullptr;
    QAction* mnuExit_ = nullptr;
    QList<QAction*> recentItems_; // the numbered files and the separator after them
    std::unique_ptr<RecentFiles> recent_;
};
