#include "app/Startup.h"
#include "app/frmMain.h"
#include "document/Document.h"
#include "editor/EditorControl.h"
#include "support/FakeHost.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QWheelEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QApplication>
#include <QStatusTipEvent>

#include <cmath>

#include <thread>

#include <Qsci/qscilexer.h>
#include <Qsci/qsciscintilla.h>
#include <QToolBar>

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    FakeHost host;
    frmMain window{host.services};
    EditorControl& text1 = window.Text1();

    QAction* command(const char* name) { return window.findChild<QAction*>(QString::fromLatin1(name)); }
};

struct MenuItem {
    const char* name;
    const char* caption;
    QList<QKeySequence> shortcuts;
};

TEST_F(MainWindowTest, MenusHaveTheItemsCaptionsAndShortcutsUsersKnow)
{
    const QList<std::pair<QString, QList<MenuItem>>> menus = {
        {"&File",
         {{"mnuNew", "New", {QKeySequence("Ctrl+N")}},
          {"mnuNewWindow", "New Window", {QKeySequence("Ctrl+Shift+N")}},
          {"mnuNewApplet", "New Applet...", {}},
          {"mnuOpen", "Open...", {QKeySequence("Ctrl+O")}},
          {"mnuOpenInNewWindow", "Open in New Window...", {}},
          {"mnuSave", "Save...", {QKeySequence("Ctrl+S")}},
          {"mnuSaveAs", "Save As...", {QKeySequence("Ctrl+Shift+S")}},
          {"mnuPrint", "Print...", {QKeySequence("Ctrl+P")}},
          {"mnuSep1", "", {}},
          {"mnuExit", "E&xit", {}}}},
        {"&Edit",
         {{"mnuUndo", "Undo", {QKeySequence("Ctrl+Z")}},
          {"mnuRedo", "Redo", {QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}},
          {"mnuSepUndo", "", {}},
          {"mnuCut", "Cut", {QKeySequence("Ctrl+X"), QKeySequence("Shift+Del")}},
          {"mnuCopy", "Copy", {QKeySequence("Ctrl+C"), QKeySequence("Ctrl+Ins")}},
          {"mnuPaste", "Paste", {QKeySequence("Ctrl+V"), QKeySequence("Shift+Ins")}},
          {"mnuSep2", "", {}},
          {"mnuFind", "Find...", {QKeySequence("Ctrl+F")}},
          {"mnuFindNext", "Find Next", {QKeySequence("F3")}},
          {"mnuReplace", "Replace...", {QKeySequence("Ctrl+H")}},
          {"mnuGoToLine", "Go to Line...", {QKeySequence("Ctrl+G")}},
          {"mnuSelectAll", "Select All", {QKeySequence("Ctrl+A")}},
          {"mnuDateTime", "Date and Time", {}},
          {"mnuToggleComment", "Comment or Uncomment Lines", {QKeySequence("Ctrl+/")}}}},
        {"&View",
         {{"mnuZoomIn", "Zoom In", {QKeySequence("Ctrl++"), QKeySequence("Ctrl+=")}},
          {"mnuZoomOut", "Zoom Out", {QKeySequence("Ctrl+-")}},
          {"mnuZoomNormal", "Normal Size", {QKeySequence("Ctrl+0")}}}},
        {"&Tools",
         {{"mnuCompile", "Compile With Sun JDK 1.2", {QKeySequence("F7")}},
          {"mnuRun", "Run", {QKeySequence("F5")}},
          {"mnuNextError", "Next Error", {QKeySequence("F8")}},
          {"mnuPreviousError", "Previous Error", {QKeySequence("Shift+F8")}},
          {"mnuCHelp", "Click Here for Help with the Compiler", {}}}},
        {"&Help", {{"mnuAbout", "About...", {}}}},
    };

    const QList<QAction*> bar = window.menuBar()->actions();
    ASSERT_EQ(bar.size(), menus.size());
    for (qsizetype m = 0; m < menus.size(); ++m) {
        SCOPED_TRACE(menus[m].first.toStdString());
        EXPECT_EQ(bar[m]->text(), menus[m].first);
        const QList<QAction*> items = bar[m]->menu()->actions();
        const QList<MenuItem>& expected = menus[m].second;
        ASSERT_GE(items.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(expected[i].name);
            EXPECT_EQ(items[i]->objectName(), expected[i].name);
            EXPECT_EQ(items[i]->text(), expected[i].caption);
            EXPECT_EQ(items[i]->shortcuts(), expected[i].shortcuts);
            EXPECT_TRUE(items[i]->isEnabled());
            EXPECT_FALSE(items[i]->isChecked());
        }
    }
}

TEST_F(MainWindowTest, ToolbarHasElevenPositionsWithKeysAndTooltips)
{
    const QList<QAction*> buttons = window.Toolbar1()->actions();
    const QStringList keys = {"New", "Save", "Open", "", "Find", "", "Cut", "Copy", "Paste", "", "Compile"};
    ASSERT_EQ(buttons.size(), keys.size());
    for (qsizetype i = 0; i < keys.size(); ++i) {
        SCOPED_TRACE(i + 1);
        if (keys[i].isEmpty()) {
            EXPECT_TRUE(buttons[i]->isSeparator());
            continue;
        }
        EXPECT_EQ(buttons[i]->property("Key").toString(), keys[i]);
        EXPECT_EQ(buttons[i]->toolTip(), keys[i]);
        EXPECT_TRUE(buttons[i]->text().isEmpty() || buttons[i]->iconText() == keys[i]);
    }
    EXPECT_EQ(window.Toolbar1()->iconSize(), QSize(16, 16));
    EXPECT_EQ(buttons.last()->statusTip(), "Compile using Sun JDK 1.1.7");
}

TEST_F(MainWindowTest, StartsTitledWithTheApplicationTitleAndAnEmptyDocument)
{
    EXPECT_EQ(window.windowTitle(), "Tolvane 2000");
    EXPECT_TRUE(text1.Text().isEmpty());
    EXPECT_TRUE(window.document().CurrentFileName().isEmpty());
    EXPECT_FALSE(window.document().HasFileName());
    EXPECT_FALSE(window.document().Modified());
    EXPECT_TRUE(window.centralWidget()->isAncestorOf(&text1));
    const QFont font = text1.findChild<QsciScintilla*>()->lexer()->defaultFont();
    EXPECT_TRUE(font.families().startsWith("Georgia"));
    EXPECT_EQ(font.styleHint(), QFont::Serif);
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 11.25);
}

TEST_F(MainWindowTest, StatusBarShowsTheCaretLineAndTheClock)
{
    EXPECT_EQ(window.statusPanel(2)->text(), generalDateTimeText(host.clock->now));
    host.clock->now = host.clock->now.addSecs(61);
    window.Timer1_Timer();
    EXPECT_EQ(window.statusPanel(2)->text(), generalDateTimeText(host.clock->now));

    // The caret panel follows the caret as the control reports it, once it has drawn.
    window.show();
    text1.setText("first\r\nsecond\r\nthird");
    const auto caretPanelShows = [&](const QString& text) {
        return QTest::qWaitFor([&] { return window.statusPanel(1)->text() == text; });
    };
    text1.setSelStart(13); // the end of "second"
    EXPECT_TRUE(caretPanelShows("Line 2, Col 7")) << window.statusPanel(1)->text().toStdString();
    text1.setSelStart(17);
    EXPECT_TRUE(caretPanelShows("Line 3, Col 3")) << window.statusPanel(1)->text().toStdString();
    text1.setSelText("é");
    EXPECT_TRUE(caretPanelShows("Line 3, Col 4")) << window.statusPanel(1)->text().toStdString();
}

TEST_F(MainWindowTest, EditorStaysBetweenToolbarAndStatusBarAtAnySize)
{
    for (const QSize size : {QSize(800, 600), QSize(1200, 900), QSize(120, 60), QSize(1, 1)}) {
        window.resize(size);
        window.show();
        QTest::qWait(1);
        const QRect editor(text1.mapTo(&window, QPoint(0, 0)), text1.size());
        EXPECT_GE(editor.top(), window.Toolbar1()->geometry().bottom()) << size.width();
        EXPECT_LE(editor.bottom(), window.statusBar()->geometry().top()) << size.width();
        EXPECT_GE(editor.height(), 0);
    }
}

TEST_F(MainWindowTest, BandsPanelsAndRestoredSizeAreAsDesigned)
{
    // In pixels at 96 dots per inch, 15 twips to the pixel.
    EXPECT_EQ(window.size(), QSize(442, 394)) << "the size a maximized window is restored to";

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.Toolbar1()->height(), 24);
    for (QAction* button : window.Toolbar1()->actions()) {
        if (button->isSeparator())
            continue;
        QWidget* widget = window.Toolbar1()->widgetForAction(button);
        EXPECT_EQ(widget->size(), QSize(23, 22)) << button->iconText().toStdString();
        EXPECT_TRUE(window.Toolbar1()->rect().contains(widget->geometry()));
    }
    EXPECT_EQ(window.statusBar()->height(), 24);
    QLabel* caret = window.statusPanel(1);
    QLabel* clock = window.statusPanel(2);
    EXPECT_EQ(caret->width(), 133) << "panel 1 does not stretch";
    EXPECT_GE(clock->width(), 133);
    EXPECT_LT(caret->geometry().right(), clock->geometry().left());

    // Hovering a button with a description leaves the panels as they are.
    const QString caretText = caret->text();
    QStatusTipEvent tip(QStringLiteral("Compile using Sun JDK 1.1.7"));
    QCoreApplication::sendEvent(window.Toolbar1()->widgetForAction(window.Toolbar1()->actions().last()), &tip);
    EXPECT_TRUE(window.statusBar()->currentMessage().isEmpty());
    EXPECT_TRUE(caret->isVisible());
    EXPECT_EQ(caret->text(), caretText);
}

TEST_F(MainWindowTest, LineNumberMarginFitsTheLineCountFromTheLoadOn)
{
    const QFontMetrics digits(text1.findChild<QsciScintilla*>()->lexer()->defaultFont());
    QByteArray lines;
    for (int i = 0; i < 123456; ++i)
        lines += "x\n";
    const std::unique_ptr<EditorControl::PreparedLoad> load = text1.prepareLoad(lines.size());
    load->fill(lines);
    window.document().loadPrepared("/w/Long.java", FileFormat(), *load);
    EXPECT_GT(text1.marginWidth(0), digits.horizontalAdvance(QStringLiteral("123457")));

    text1.setText(QStringLiteral("one line"));
    EXPECT_LT(text1.marginWidth(0), digits.horizontalAdvance(QStringLiteral("123457")));
    text1.setText(QString(100000, u'\n'));
    EXPECT_GT(text1.marginWidth(0), digits.horizontalAdvance(QStringLiteral("100001")));
}

TEST_F(MainWindowTest, KeysFasterThanThePaintStillIndentAfterABrace)
{
    window.show();
    QTest::keyClicks(&text1, QStringLiteral("class A {"));
    QTest::keyClick(&text1, Qt::Key_Return);
    EXPECT_EQ(text1.Text(), "class A {\r\n\t");
}

double luminance(const QColor& colour)
{
    const auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

TEST(MainWindowTheme, EveryHighlightingStyleIsReadableInADarkTheme)
{
    const QPalette before = QApplication::palette();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Base, QColor(0x2d, 0x2d, 0x2d));
    dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    QApplication::setPalette(dark);
    {
        FakeHost host;
        frmMain window(host.services);
        QsciLexer* lexer = window.Text1().findChild<QsciScintilla*>()->lexer();
        int styles = 0;
        for (int style = 0; style <= QsciScintillaBase::STYLE_MAX; ++style) {
            if (lexer->description(style).isEmpty())
                continue;
            ++styles;
            const double fore = luminance(lexer->color(style));
            const double paper = luminance(lexer->paper(style));
            EXPECT_GE((std::max(fore, paper) + 0.05) / (std::min(fore, paper) + 0.05), 4.5)
                << lexer->description(style).toStdString();
        }
        EXPECT_GT(styles, 10);
    }
    QApplication::setPalette(before);
}

TEST_F(MainWindowTest, ToolbarKeysAreComparedExactly)
{
    text1.setText("abc");
    text1.setSelStart(0);
    text1.setSelLength(3);
    for (const char* key : {"cut", "CUT", " Cut", "Cut ", "", "Print", "Compile2"}) {
        QAction fake;
        fake.setProperty("Key", QString::fromLatin1(key));
        window.Toolbar1_ButtonClick(&fake);
    }
    window.Toolbar1_ButtonClick(nullptr);
    EXPECT_EQ(text1.Text(), "abc");
    EXPECT_EQ(host.clipboard->setCalls, 0);
    EXPECT_TRUE(host.messageBox->calls.isEmpty());
    EXPECT_TRUE(host.processes->calls.isEmpty());
}

TEST_F(MainWindowTest, ToolbarButtonsRunTheSameCommandsAsTheMenu)
{
    text1.setText("xabcx");
    text1.setSelStart(1);
    text1.setSelLength(3);
    window.Toolbar1()->actions()[6]->trigger(); // Cut
    EXPECT_EQ(host.clipboard->contents.value_or(""), "abc");
    EXPECT_EQ(text1.Text(), "xx");
    window.Toolbar1()->actions()[8]->trigger(); // Paste
    EXPECT_EQ(text1.Text(), "xabcx");

    host.files->files.insert("/w/B.java", "class B {}\n");
    host.fileDialog->willChoose(QStringLiteral("/w/B.java"));
    host.messageBox->willAnswer(mb::No);
    window.Toolbar1()->actions()[2]->trigger(); // Open
    EXPECT_EQ(text1.Text(), "class B {}\n");
    EXPECT_EQ(window.windowTitle(), "Tolvane 1.0- /w/B.java");

    window.Toolbar1()->actions()[1]->trigger(); // Save: has a file, so no dialog
    EXPECT_EQ(host.files->writes, QStringList{"/w/B.java"});

    window.Toolbar1()->actions()[0]->trigger(); // New
    EXPECT_EQ(window.windowTitle(), "Tolvane 1.0- Untitled");
}

TEST_F(MainWindowTest, AnErrorInACommandFromTheToolbarEndsItQuietly)
{
    text1.setText("keep");
    text1.setSelStart(0);
    text1.setSelLength(4);
    host.clipboard->failGet = true;
    EXPECT_NO_THROW(window.Toolbar1()->actions()[8]->trigger()); // Paste
    EXPECT_EQ(text1.Text(), "keep");
    EXPECT_TRUE(host.messageBox->calls.isEmpty());
    // The handler lets the error through to whoever started it; the menu shows it.
    EXPECT_THROW(window.mnuPaste_Click(), HostError);
    window.findChild<QAction*>("mnuPaste")->trigger();
    ASSERT_EQ(host.messageBox->calls.size(), 1);
    EXPECT_EQ(host.messageBox->calls[0].text, "clipboard busy");
    EXPECT_EQ(text1.Text(), "keep");
    // A file error is still reported by the command itself.
    window.Text1().markSaved();
    host.fileDialog->willChoose(QStringLiteral("/missing.java"));
    window.Toolbar1()->actions()[2]->trigger();
    ASSERT_EQ(host.messageBox->calls.size(), 2);
    EXPECT_TRUE(host.messageBox->calls[1].text.contains("/missing.java"));
}

TEST_F(MainWindowTest, NewShortcutsReachTheirCommandsFromTheEditor)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    text1.setFocus();
    host.fileDialog->willChoose(std::nullopt);
    host.fileDialog->willChoose(std::nullopt);
    host.fileDialog->willChoose(std::nullopt);
    const QList<std::pair<QKeyCombination, const char*>> keys = {
        {Qt::CTRL | Qt::Key_N, "mnuNew"},
        {Qt::CTRL | Qt::Key_O, "mnuOpen"},
        {Qt::CTRL | Qt::Key_S, "mnuSave"},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_S, "mnuSaveAs"},
        {Qt::CTRL | Qt::Key_Z, "mnuUndo"},
        {Qt::CTRL | Qt::Key_Y, "mnuRedo"},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, "mnuRedo"},
        {Qt::CTRL | Qt::Key_H, "mnuReplace"},
        {Qt::CTRL | Qt::Key_G, "mnuGoToLine"},
        {Qt::CTRL | Qt::Key_Plus, "mnuZoomIn"},
        {Qt::CTRL | Qt::Key_Equal, "mnuZoomIn"},
        {Qt::CTRL | Qt::Key_Minus, "mnuZoomOut"},
        {Qt::CTRL | Qt::Key_0, "mnuZoomNormal"},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_I, "mnuInteractions"},
    };
    for (const auto& [key, name] : keys) {
        SCOPED_TRACE(name);
        int runs = 0;
        const auto connection = QObject::connect(command(name), &QAction::triggered, [&runs] { ++runs; });
        text1.setFocus();
        QApplication::setActiveWindow(&window);
        QTest::keyClick(&text1, key.key(), key.keyboardModifiers());
        EXPECT_EQ(runs, 1) << "the key reaches the command once, not the editor's own binding too";
        QObject::disconnect(connection);
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top != &window && top->isVisible())
                top->close();
    }
    EXPECT_EQ(host.fileDialog->calls.size(), 3);
}

TEST_F(MainWindowTest, ZoomKeepsTheLineNumbersInTheirMargin)
{
    window.show();
    text1.setText(QString(1000, u'\n'));
    const int normal = text1.marginWidth(0);
    window.mnuZoomIn_Click();
    window.mnuZoomIn_Click();
    EXPECT_EQ(text1.zoomLevel(), 2);
    EXPECT_GT(text1.marginWidth(0), normal);
    window.mnuZoomNormal_Click();
    EXPECT_EQ(text1.marginWidth(0), normal);

    // Ctrl with the mouse wheel zooms too, and the margin follows.
    const QPointF at(text1.viewport()->rect().center());
    QWheelEvent wheel(at, text1.viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(text1.viewport(), &wheel);
    EXPECT_EQ(text1.zoomLevel(), 1);
    EXPECT_GT(text1.marginWidth(0), normal);
    window.mnuZoomOut_Click();
    EXPECT_EQ(text1.zoomLevel(), 0);
}

TEST(StartupOptions, CommandLineIsUnderstood)
{
    EXPECT_TRUE(parseStartupOptions({"tolvane", "--help"}).showHelp);
    EXPECT_TRUE(parseStartupOptions({"tolvane", "--version"}).showVersion);
    EXPECT_EQ(parseStartupOptions({"tolvane", "A.java"}).fileToOpen, "A.java");
    EXPECT_EQ(parseStartupOptions({"tolvane", "--", "-odd.java"}).fileToOpen, "-odd.java");
    EXPECT_FALSE(parseStartupOptions({"tolvane", "--bogus"}).error.isEmpty());
    EXPECT_FALSE(parseStartupOptions({"tolvane", "a", "b"}).error.isEmpty());
    const StartupOptions at = parseStartupOptions({"tolvane", "--goto=12:5", "--", "A.java"});
    EXPECT_EQ(std::tuple(at.line, at.column, at.fileToOpen, at.error), std::tuple(12, 5, QString("A.java"), QString()));
    EXPECT_EQ(parseStartupOptions({"tolvane", "--goto=7", "A.java"}).column, 1);
    for (const char* bad : {"--goto=", "--goto=0", "--goto=3:0", "--goto=x:1", "--goto=1:2:3", "--goto=-4"})
        EXPECT_FALSE(parseStartupOptions({"tolvane", bad, "A.java"}).error.isEmpty()) << bad;
    EXPECT_EQ(versionText(), "Tolvane 2000 1.0.10");
}

} // namespace

namespace {
TEST_F(MainWindowTest, AFileHandedOverOnAnotherThreadArrivesWholeAndUnmodified)
{
    QByteArray bytes;
    for (int i = 0; i < 2000; ++i) {
        bytes += "line " + QByteArray::number(i) + " \xC3\xA9";
        bytes += '\0';
        bytes += "x\n";
    }
    const DecodedFile decoded = decodeFile(bytes);
    std::unique_ptr<EditorControl::PreparedLoad> load = text1.prepareLoad(bytes.size());
    std::thread filler([&] { load->fill(decoded.utf8); });
    filler.join();
    window.document().loadPrepared("/w/Big.java", decoded.format, *load);
    EXPECT_EQ(text1.utf8(), bytes);
    EXPECT_EQ(window.windowTitle(), "Tolvane 1.0- /w/Big.java");
    EXPECT_TRUE(window.document().HasFileName());
    EXPECT_FALSE(window.document().Modified());
    EXPECT_EQ(text1.lineEnd(), EditorControl::LineEnd::LF);

    // A prepared load that is never shown lets go of its document quietly.
    std::unique_ptr<EditorControl::PreparedLoad> abandoned = text1.prepareLoad(10);
    abandoned->fill("abandoned");
    abandoned.reset();
    EXPECT_EQ(text1.utf8(), bytes);
}
} // namespace
