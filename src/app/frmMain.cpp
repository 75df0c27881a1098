#include "frmMain.h"

#include "ChangedOnDiskBar.h"
#include "RecentFiles.h"
#include "StatusPanel.h"

#include "about/About.h"
#include "document/Document.h"
#include "document/EditCommands.h"
#include "editor/EditorControl.h"
#include "host/AppInfo.h"
#include "host/DialogLayout.h"
#include "host/HostError.h"
#include "host/HostServices.h"
#include "javatools/CheckWhileTyping.h"
#include "javatools/CodeCompletion.h"
#include "javatools/CompilerOutputPanel.h"
#include "javatools/InteractionsPane.h"
#include "javatools/JavaEditing.h"
#include "javatools/JavaTools.h"
#include "javatools/NewApplet.h"
#include "search/Search.h"

#include <QCloseEvent>
#include <QPrinter>
#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPushButton>
#include <QVBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProxyStyle>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <cmath>

namespace {
// The toolbar band is its buttons' height and a pixel of frame above and below.
class ToolbarBandStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        switch (metric) {
        case PM_ToolBarItemMargin:
        case PM_ToolBarItemSpacing:
            return 0;
        case PM_ToolBarFrameWidth:
            return 1;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }
};
} // namespace

frmMain::frmMain(HostServices& host, QWidget* parent, const std::function<void(EditorControl&)>& editorReady)
    : QMainWindow(parent), host_(host)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(AppInfo::Title);
    cd1_ = host_.makeFileDialog(this);
    createEditor();
    if (editorReady)
        editorReady(*text1_);
    document_ = std::make_unique<Document>(*text1_, *cd1_, host_);
    connect(document_.get(), &Document::currentFileChanged, this,
            [this] { setWindowTitle(AppInfo::TitlePrefix + document_->displayName()); });
    setRecentFilesStore(RecentFiles::defaultStorePath());
    connect(document_.get(), &Document::fileUsed, this, [this](const QString& path) {
        const QString absolute = QDir::cleanPath(QDir::current().absoluteFilePath(path));
        // A name given on the command line that is not a file yet joins the list once it is saved.
        if (host_.files->stat(absolute).exists)
            recent_->add(absolute);
    });
    javaTools_ = std::make_unique<JavaTools>(*this, *document_, *text1_, host_);
    javaTools_->setNewWindowOpener([this](const QString& path, int line, int column) { openInNewWindow(path, line, column); });
    // The output panel is read from the same distance as the text: both zoom together.
    connect(text1_, &EditorControl::zoomChanged, this, [this](int level) { javaTools_->outputPanel()->setZoom(level); });
    createActions();
    createToolBar();
    createStatusBar();
    createDiskChangeBar();
    setTabOrder(toolbar1_, text1_);
    // The size the window takes when it is restored from maximized.
    resize(DialogLayout::px(6630), DialogLayout::px(5910));
    text1_->setFocus();

    // The output panel never takes the focus when it opens, and Tab is a character in the editor:
    // F6 moves between the editor and the panel, so that its links can be followed from the keyboard.
    auto* switchPane = new QShortcut(QKeySequence(Qt::Key_F6), this);
    connect(switchPane, &QShortcut::activated, this, &frmMain::switchPane);

    timer1_ = new QTimer(this);
    timer1_->setInterval(500);
    connect(timer1_, &QTimer::timeout, this, &frmMain::Timer1_Timer);
    timer1_->start();
    Timer1_Timer();
    updateCaretPanel();
}

frmMain::~frmMain()
{
    // The wizard writes into this window's document; it must not outlive it.
    NewApplet::closeWizard();
}

void frmMain::createEditor()
{
    text1_ = new EditorControl(this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setAccessibleName(QStringLiteral("Editor"));

    QFont font(QStringList{QStringLiteral("Georgia"), QStringLiteral("DejaVu Serif"), QStringLiteral("serif")});
    font.setStyleHint(QFont::Serif);
    font.setPointSizeF(11.25);

    text1_->showJava(font);
    JavaEditing::installAutoIndent(*text1_);
    // Cut, Copy, Paste and Select All go through the Edit menu's commands (and the host's clipboard),
    // so the control must not take their keys for itself.
    text1_->leaveMenuKeysToMenus();

    // The editor sits in a frame of its own, so that a notice can take a strip above it.
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("EditorArea"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(text1_);
    setCentralWidget(central);
    connect(text1_, &EditorControl::Change, this, &frmMain::Text1_Change);
    connect(text1_, &EditorControl::cursorPositionChanged, this, &frmMain::updateCaretPanel);
    connect(text1_, &EditorControl::lineSeparatorsLeftOut, this, [this] {
        host_.messageBox->show(QStringLiteral("This file has lines too long to show whole, so it is shown in pieces, "
                                              "and a line separator (U+2028, U+2029 or U+0085) cannot be put into it. "
                                              "The line separators typed or pasted were left out."),
                               mb::OKOnly | mb::Exclamation, AppInfo::Title);
    });
}

QAction* frmMain::addCommand(const QString& name, const QString& caption, void (frmMain::*handler)(),
                             const QList<QKeySequence>& shortcuts)
{
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    action->setShortcuts(shortcuts);
    connect(action, &QAction::triggered, this, [this, handler] { runFromMenu(handler); });
    return action;
}

void frmMain::createActions()
{
    QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFile_ = mnuFile;
    mnuFile->addAction(addCommand(QStringLiteral("mnuNew"), QStringLiteral("New"), &frmMain::mnuNew_Click,
                                  {QKeySequence(Qt::CTRL | Qt::Key_N)}));
    mnuFile->addAction(addCommand(QStringLiteral("mnuNewWindow"), QStringLiteral("New Window"), &frmMain::mnuNewWindow_Click,
                                  {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)}));
    mnuFile->addAction(addCommand(QStringLiteral("mnuNewApplet"), QStringLiteral("New Applet..."), &frmMain::mnuNewApplet_Click));
    mnuFile->addAction(addCommand(QStringLiteral("mnuOpen"), QStringLiteral("Open..."), &frmMain::mnuOpen_Click,
                                  {QKeySequence(Qt::CTRL | Qt::Key_O)}));
    mnuFile->addAction(addCommand(QStringLiteral("mnuOpenInNewWindow"), QStringLiteral("Open in New Window..."),
                                  &frmMain::mnuOpenInNewWindow_Click));
    mnuFile->addAction(addCommand(QStringLiteral("mnuSave"), QStringLiteral("Save..."), &frmMain::mnuSave_Click,
                                  {QKeySequence(Qt::CTRL | Qt::Key_S)}));
    mnuFile->addAction(addCommand(QStringLiteral("mnuSaveAs"), QStringLiteral("Save As..."), &frmMain::mnuSaveAs_Click,
                                  {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}));
    mnuFile->addAction(addCommand(QStringLiteral("mnuPrint"), QStringLiteral("Print..."), &frmMain::mnuPrint_Click,
                                  {QKeySequence(Qt::CTRL | Qt::Key_P)}));
    mnuFile->addSeparator()->setObjectName(QStringLiteral("mnuSep1"));
    mnuExit_ = addCommand(QStringLiteral("mnuExit"), QStringLiteral("E&xit"), &frmMain::mnuExit_Click);
    mnuFile->addAction(mnuExit_);
    // Another window may have opened or saved a file meanwhile: the list is read as the menu opens.
    connect(mnuFile, &QMenu::aboutToShow, this, &frmMain::updateRecentFilesMenu);
    updateRecentFilesMenu();

    QMenu* mnuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    mnuEdit->addAction(addCommand(QStringLiteral("mnuUndo"), QStringLiteral("Undo"), &frmMain::mnuUndo_Click,
                                  {QKeySequence(Qt::CTRL | Qt::Key_Z)}));
    mnuEdit->addAction(addCommand(QStringLiteral("mnuRedo"), QStringLiteral("Redo"), &frmMain::mnuRedo_Click,
                                  {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}));
    mnuEdit->addSeparator()->setObjectName(QStringLiteral("mnuSepUndo"));
    mnuEdit->addAction(addCommand(QStringLiteral("mnuCut"), QStringLiteral("Cut"), &frmMain::mnuCut_Click,
                                  {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)}));
    mnuEdit->addAction(addCommand(QStringLiteral("mnuCopy"), QStringLiteral("Copy"), &frmMain::mnuCopy_Click,
                                  {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)}));
    mnuEdit->addAction(addCommand(QStringLiteral("mnuPaste"), QStringLiteral("Paste"), &frmMain::mnuPaste_Click,
                                  {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)}));
    mnuEdit->addSeparator()->setObjectName(QStringLiteral("mnuSep2"));
    mnuEdit->addAction(addCommand(QStringLiteral("mnuFind"), QStringLiteral("Find..."), &frmMain::mnuFind_Click,
                                  {QKeySequence(Qt::CTRL | Qt::Key_F)}));
    mnuEdit->addAction(addCommand(QStringLiteral("mnuFindNext"), QStringLiteral("Find Next"), &frmMain::mnuFindNext_Click,
                                  {QKeySequence(Qt::Key_F3)}));
    addAction(addCommand(QStringLiteral("mnuFindPrevious"), QStringLiteral("Find Previous"), &frmMain::mnuFindPrevious_Click,
                         {QKeySequence(Qt::SHIFT | Qt::Key_F3)}));
    mnuEdit->addAction(addCommand(QStringLiteral("mnuReplace"), QStringLiteral("Replace..."), &frmMain::mnuReplace_Click,
                                  {QKeySequence(Qt::CTRL | Qt::Key_H)}));
    mnuEdit->addAction(addCommand(QStringLiteral("mnuGoToLine"), QStringLiteral("Go to Line..."), &frmMain::mnuGoToLine_Click,
                                  {QKeySequence(Qt::CTRL | Qt::Key_G)}));
    mnuEdit->addAction(addCommand(QStringLiteral("mnuSelectAll"), QStringLiteral("Select All"), &frmMain::mnuSelectAll_Click,
                                  {QKeySequence(Qt::CTRL | Qt::Key_A)}));
    mnuEdit->addAction(addCommand(QStringLiteral("mnuDateTime"), QStringLiteral("Date and Time"), &frmMain::mnuDateTime_Click));
    mnuEdit->addAction(addCommand(QStringLiteral("mnuToggleComment"), QStringLiteral("Comment or Uncomment Lines"),
                                  &frmMain::mnuToggleComment_Click, {QKeySequence(Qt::CTRL | Qt::Key_Slash)}));
    mnuEdit->addActions({javaTools_->completion().completeAction(), javaTools_->completion().hintAction()});

    QMenu* mnuView = menuBar()->addMenu(QStringLiteral("&View"));
    mnuView->setObjectName(QStringLiteral("mnuView"));
    mnuView->addAction(addCommand(QStringLiteral("mnuZoomIn"), QStringLiteral("Zoom In"), &frmMain::mnuZoomIn_Click,
                                  {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)}));
    mnuView->addAction(addCommand(QStringLiteral("mnuZoomOut"), QStringLiteral("Zoom Out"), &frmMain::mnuZoomOut_Click,
                                  {QKeySequence(Qt::CTRL | Qt::Key_Minus)}));
    mnuView->addAction(addCommand(QStringLiteral("mnuZoomNormal"), QStringLiteral("Normal Size"), &frmMain::mnuZoomNormal_Click,
                                  {QKeySequence(Qt::CTRL | Qt::Key_0)}));
    mnuView->addSeparator();
    mnuView->addAction(javaTools_->interactions().action());

    QMenu* mnuTools = menuBar()->addMenu(QStringLiteral("&Tools"));
    mnuTools->setObjectName(QStringLiteral("mnuTools"));
    mnuTools->addAction(addCommand(QStringLiteral("mnuCompile"), QStringLiteral("Compile With Sun JDK 1.2"), &frmMain::mnuCompile_Click,
                                   {QKeySequence(Qt::Key_F7)}));
    mnuTools->addAction(addCommand(QStringLiteral("mnuRun"), QStringLiteral("Run"), &frmMain::mnuRun_Click,
                                   {QKeySequence(Qt::Key_F5)}));
    mnuTools->addAction(addCommand(QStringLiteral("mnuNextError"), QStringLiteral("Next Error"), &frmMain::mnuNextError_Click,
                                   {QKeySequence(Qt::Key_F8)}));
    mnuTools->addAction(addCommand(QStringLiteral("mnuPreviousError"), QStringLiteral("Previous Error"),
                                   &frmMain::mnuPreviousError_Click, {QKeySequence(Qt::SHIFT | Qt::Key_F8)}));
    mnuTools->addAction(addCommand(QStringLiteral("mnuCHelp"), QStringLiteral("Click Here for Help with the Compiler"), &frmMain::mnuCHelp_Click));
    if (QAction* panel = javaTools_->outputPanelAction()) {
        mnuTools->addSeparator();
        mnuTools->addAction(panel);
    }
    mnuTools->addAction(javaTools_->checkWhileTyping().action());
    mnuTools->addAction(javaTools_->completion().automaticAction());

    QMenu* mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelp->addAction(addCommand(QStringLiteral("mnuAbout"), QStringLiteral("About..."), &frmMain::mnuAbout_Click));
}

void frmMain::runFromMenu(void (frmMain::*handler)())
{
    // A command from a menu that fails tells the user why; the window stays as it was.
    try {
        (this->*handler)();
    } catch (const HostError& error) {
        host_.messageBox->show(error.message(), mb::OKOnly | mb::Exclamation, AppInfo::Title);
    }
}

QAction* frmMain::addToolButton(const QString& key, const QString& resourceIcon,
                                const QString& tooltip)
{
    // The toolbar's own images: asking the desktop's icon theme first cost a search through its folders
    // at every start, longer than building the rest of the toolbar.
    auto* button = toolbar1_->addAction(QIcon(resourceIcon), QString());
    button->setObjectName(QStringLiteral("tb") + key);
    button->setProperty("Key", key);
    button->setToolTip(tooltip);
    button->setIconText(key);
    toolbar1_->widgetForAction(button)->setFixedSize(DialogLayout::px(345), DialogLayout::px(330));
    return button;
}

void frmMain::createToolBar()
{
    toolbar1_ = addToolBar(QStringLiteral("Toolbar"));
    toolbar1_->setObjectName(QStringLiteral("Toolbar1"));
    toolbar1_->setMovable(false);
    toolbar1_->setFloatable(false);
    toolbar1_->setIconSize(QSize(16, 16));
    toolbar1_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar1_->setContextMenuPolicy(Qt::PreventContextMenu);
    auto* bandStyle = new ToolbarBandStyle;
    bandStyle->setParent(toolbar1_);
    toolbar1_->setStyle(bandStyle);
    toolbar1_->setFixedHeight(DialogLayout::px(360));

    addToolButton(QStringLiteral("New"), QStringLiteral(":/icons/new.png"), QStringLiteral("New"));
    addToolButton(QStringLiteral("Save"), QStringLiteral(":/icons/save.png"), QStringLiteral("Save"));
    addToolButton(QStringLiteral("Open"), QStringLiteral(":/icons/open.png"), QStringLiteral("Open"));
    toolbar1_->addSeparator();
    addToolButton(QStringLiteral("Find"), QStringLiteral(":/icons/find.png"), QStringLiteral("Find"));
    toolbar1_->addSeparator();
    addToolButton(QStringLiteral("Cut"), QStringLiteral(":/icons/cut.png"), QStringLiteral("Cut"));
    addToolButton(QStringLiteral("Copy"), QStringLiteral(":/icons/copy.png"), QStringLiteral("Copy"));
    addToolButton(QStringLiteral("Paste"), QStringLiteral(":/icons/paste.png"), QStringLiteral("Paste"));
    toolbar1_->addSeparator();
    QAction* compile = addToolButton(QStringLiteral("Compile"), QStringLiteral(":/icons/compile.png"),
                                     QStringLiteral("Compile"));
    compile->setStatusTip(QStringLiteral("Compile using Sun JDK 1.1.7"));
    compile->setWhatsThis(QStringLiteral("Compile using Sun JDK 1.1.7"));

    connect(toolbar1_, &QToolBar::actionTriggered, this, &frmMain::Toolbar1_ButtonClick);
}

void frmMain::createStatusBar()
{
    caretPanel_ = new StatusPanel(DialogLayout::px(2000), this);
    caretPanel_->setObjectName(QStringLiteral("StatusBar1Panel1"));
    caretPanel_->setAccessibleName(QStringLiteral("Caret position"));
    clockPanel_ = new StatusPanel(DialogLayout::px(2000), this);
    clockPanel_->setObjectName(QStringLiteral("StatusBar1Panel2"));
    clockPanel_->setAccessibleName(QStringLiteral("Date and time"));
    // Two panels side by side from the left, each 2000 twips wide unless its text needs more.
    for (QLabel* panel : {caretPanel_, clockPanel_})
        statusBar()->addWidget(panel);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setFixedHeight(DialogLayout::px(360));
    // The checker's count is news of its own, at the far end of the bar.
    statusBar()->addPermanentWidget(javaTools_->checkWhileTyping().statusLabel());
}

QLabel* frmMain::statusPanel(int index) const
{
    return index == 1 ? caretPanel_ : index == 2 ? clockPanel_ : nullptr;
}

void frmMain::Timer1_Timer()
{
    clockPanel_->showText(generalDateTimeText(host_.clock->Now()));
}

void frmMain::updateCaretPanel()
{
    caretPanel_->showText(QStringLiteral("Line %1, Col %2").arg(text1_->caretLine()).arg(text1_->caretColumn()));
}

void frmMain::Text1_Change()
{
    updateCaretPanel();
}

void frmMain::mnuNew_Click() { document_->New(); }
void frmMain::mnuOpen_Click() { document_->Open(); }
void frmMain::mnuNewWindow_Click() { openInNewWindow(); }

void frmMain::mnuOpenInNewWindow_Click()
{
    // The dialog is this window's, but its answer is not this document's name.
    const QString fileName = cd1_->FileName;
    cd1_->Filter = Document::Filter;
    document_->setDialogFolder();
    cd1_->ShowOpen();
    const QString chosen = cd1_->Cancelled ? QString() : cd1_->FileName;
    cd1_->FileName = fileName;
    if (!chosen.isEmpty())
        openInNewWindow(chosen);
}

void frmMain::openInNewWindow(const QString& path, int line, int column)
{
    // A process of its own: its own document, its own recovery record, and it outlives this one.
    QStringList arguments;
    if (line > 0)
        arguments << QStringLiteral("--goto=%1:%2").arg(line).arg(std::max(column, 0) + 1);
    if (!path.isEmpty())
        arguments << QStringLiteral("--") << QDir::cleanPath(QDir::current().absoluteFilePath(path));
    host_.processes->StartProcess(QCoreApplication::applicationFilePath(), arguments, ws::NormalFocus);
}

void frmMain::setRecentFilesStore(const QString& path)
{
    recent_ = std::make_unique<RecentFiles>(path);
    // An Untitled document's dialogs start where the last session left off.
    const QStringList files = recent_->files();
    if (!files.isEmpty())
        document_->setLastFolder(QFileInfo(files.first()).absolutePath());
    if (mnuFile_)
        updateRecentFilesMenu();
}

QStringList frmMain::recentFiles() const
{
    return recent_->files();
}

void frmMain::updateRecentFilesMenu()
{
    // Never called from one of these items' own signals: the menu is closed while they run.
    qDeleteAll(recentItems_);
    recentItems_.clear();
    const QStringList files = recent_->files();
    for (qsizetype i = 0; i < files.size(); ++i) {
        auto* item = new QAction(recentFileCaption(int(i), files[i]), this);
        item->setObjectName(QStringLiteral("mnuRecent%1").arg(i + 1));
        item->setEnabled(!document_->loading());
        const QString path = files[i];
        connect(item, &QAction::triggered, this, [this, path] {
            try {
                openRecentFile(path);
            } catch (const HostError& error) {
                host_.messageBox->show(error.message(), mb::OKOnly | mb::Exclamation, AppInfo::Title);
            }
        });
        recentItems_ << item;
    }
    if (!recentItems_.isEmpty()) {
        auto* separator = new QAction(this);
        separator->setSeparator(true);
        recentItems_ << separator;
    }
    mnuFile_->insertActions(mnuExit_, recentItems_);
}

void frmMain::openRecentFile(const QString& path)
{
    if (!host_.files->stat(path).exists) {
        recent_->remove(path);
        host_.messageBox->show(QStringLiteral("%1 cannot be found: it was moved, renamed or deleted. It is taken off the "
                                              "list of recent files.")
                                   .arg(QDir::toNativeSeparators(path)),
                               mb::OKOnly | mb::Exclamation, AppInfo::Title);
        return;
    }
    if (document_->loading() || !document_->maybeSave())
        return;
    document_->loadFile(path);
}
void frmMain::mnuSave_Click() { document_->Save(); }
void frmMain::mnuSaveAs_Click() { document_->SaveAs(); }

void frmMain::mnuPrint_Click()
{
    if (!host_.choosePrinter)
        return;
    const std::unique_ptr<QPrinter> printer = text1_->makePrinter();
    printer->setDocName(document_->displayName());
    if (!host_.choosePrinter(*printer, this))
        return;
    if (!text1_->print(*printer))
        throw HostError(QStringLiteral("The document could not be printed: the printer did not start."));
}

void frmMain::mnuExit_Click()
{
    close();
}

bool frmMain::event(QEvent* event)
{
    // Qt writes a hovered control's status tip over the status bar's panels; they keep the caret line
    // and the clock instead.
    if (event->type() == QEvent::StatusTip)
        return true;
    return QMainWindow::event(event);
}

void frmMain::createDiskChangeBar()
{
    diskBar_ = new ChangedOnDiskBar(centralWidget());
    static_cast<QVBoxLayout*>(centralWidget()->layout())->insertWidget(0, diskBar_);
    connect(document_.get(), &Document::diskChangeNoticed, this,
            [this](DiskChange change) { diskBar_->showChange(change, document_->CurrentFileName()); });
    connect(diskBar_, &ChangedOnDiskBar::reloadClicked, this, [this] {
        document_->reloadFromDisk();
        text1_->setFocus(Qt::OtherFocusReason);
    });
    connect(diskBar_, &ChangedOnDiskBar::keepClicked, this, [this] {
        document_->keepMyVersion();
        text1_->setFocus(Qt::OtherFocusReason);
    });
    connect(document_.get(), &Document::loadingChanged, this, [this](bool loading) { enableDocumentCommands(!loading); });
}

void frmMain::enableDocumentCommands(bool enabled)
{
    // Exit, the compiler's help, the output panel and About do not touch the text.
    static const QStringList untouched = {QStringLiteral("mnuExit"), QStringLiteral("mnuCHelp"), QStringLiteral("mnuAbout"),
                                          QStringLiteral("mnuNewWindow"), QStringLiteral("mnuOpenInNewWindow")};
    QList<QAction*> commands = actions(); // the window's own shortcuts (Find Previous)
    for (QAction* menu : menuBar()->actions()) {
        if (menu->menu())
            commands += menu->menu()->actions();
    }
    commands += toolbar1_->actions();
    for (QAction* command : commands) {
        const QString name = command->objectName();
        if (command->isSeparator() || command->menu() || !(name.startsWith(QStringLiteral("mnu")) || name.startsWith(QStringLiteral("tb")))
            || untouched.contains(name))
            continue;
        command->setEnabled(enabled);
    }
}

void frmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Coming back to the window is when a user expects it to know what other programs did meanwhile.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        document_->checkDisk();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (!document_->maybeSave()) {
        event->ignore();
        return;
    }
    event->accept();
    // The dialogs have no owner window, so closing this window alone would leave them running.
    QCoreApplication::quit();
}

void frmMain::mnuUndo_Click() { text1_->undo(); }
void frmMain::mnuRedo_Click() { text1_->redo(); }
void frmMain::mnuCut_Click() { EditCommands::Cut(*text1_, *host_.clipboard); }
void frmMain::mnuCopy_Click() { EditCommands::Copy(*text1_, *host_.clipboard); }
void frmMain::mnuPaste_Click() { EditCommands::Paste(*text1_, *host_.clipboard); }
void frmMain::mnuSelectAll_Click() { EditCommands::SelectAll(*text1_); }
void frmMain::mnuDateTime_Click() { EditCommands::DateTime(*text1_, *host_.clock); }
void frmMain::mnuToggleComment_Click() { JavaEditing::toggleComments(*text1_); }

void frmMain::mnuFind_Click() { Search::showFindDialog(*text1_, *host_.messageBox); }
void frmMain::mnuFindNext_Click() { Search::findNext(*text1_, *host_.messageBox, false); }
void frmMain::mnuFindPrevious_Click() { Search::findNext(*text1_, *host_.messageBox, true); }
void frmMain::mnuReplace_Click() { Search::showReplaceDialog(*text1_, *host_.messageBox); }
void frmMain::mnuGoToLine_Click() { Search::showGoToLineDialog(*text1_, *host_.messageBox); }

void frmMain::mnuZoomIn_Click() { text1_->zoomIn(); }
void frmMain::mnuZoomOut_Click() { text1_->zoomOut(); }
void frmMain::mnuZoomNormal_Click() { text1_->zoomTo(0); }

void frmMain::mnuNewApplet_Click() { NewApplet::showWizard(*document_); }
void frmMain::mnuCompile_Click() { javaTools_->mnuCompile_Click(); }
void frmMain::mnuCHelp_Click() { javaTools_->mnuCHelp_Click(); }
void frmMain::mnuRun_Click() { javaTools_->mnuRun_Click(); }
void frmMain::mnuNextError_Click() { javaTools_->goToNextDiagnostic(true); }
void frmMain::mnuPreviousError_Click() { javaTools_->goToNextDiagnostic(false); }

void frmMain::mnuAbout_Click() { About::showAboutBox(host_); }

void frmMain::Toolbar1_ButtonClick(QAction* button)
{
    static const QHash<QString, void (frmMain::*)()> commands = {
        {QStringLiteral("New"), &frmMain::mnuNew_Click},     {QStringLiteral("Save"), &frmMain::mnuSave_Click},
        {QStringLiteral("Open"), &frmMain::mnuOpen_Click},   {QStringLiteral("Find"), &frmMain::mnuFind_Click},
        {QStringLiteral("Cut"), &frmMain::mnuCut_Click},     {QStringLiteral("Copy"), &frmMain::mnuCopy_Click},
        {QStringLiteral("Paste"), &frmMain::mnuPaste_Click}, {QStringLiteral("Compile"), &frmMain::mnuCompile_Click},
    };
    const auto command = commands.constFind(button ? button->property("Key").toString() : QString());
    if (command == commands.constEnd())
        return;
    try {
        (this->*command.value())();
    } catch (const HostError&) {
        // A command started from the toolbar that fails ends there, without a message.
    }
}

void frmMain::switchPane()
{
    CompilerOutputPanel* panel = javaTools_->outputPanel();
    // While a program runs, its input line is where the keyboard is wanted in the panel.
    if (panel->isVisible() && !panel->hasFocusInside())
        (panel->inputTask() != 0 ? static_cast<QWidget*>(panel->inputLine()) : panel->view())->setFocus(Qt::ShortcutFocusReason);
    else
        text1_->setFocus(Qt::ShortcutFocusReason);
}
