// The output panel as a terminal, and the keys of everyday editing, on scripted host services.
#include "app/frmMain.h"
#include "document/Document.h"
#include "editor/EditorControl.h"
#include "javatools/CompilerOutputPanel.h"
#include "javatools/DiagnosticMarks.h"
#include "javatools/JavaTools.h"
#include "support/FakeHost.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

namespace {
using Channel = ConsoleOutput::Channel;

class ConsoleTest : public ::testing::Test {
protected:
    void open(const QString& path, const QByteArray& bytes)
    {
        host.files->files.insert(path, bytes);
        host.fileDialog->willChoose(path);
        window.mnuOpen_Click();
    }
    QColor colourOf(const QString& blockText)
    {
        for (QTextBlock block = panel.view()->document()->begin(); block.isValid(); block = block.next()) {
            if (block.text() == blockText)
                return block.begin().fragment().charFormat().foreground().color();
        }
        ADD_FAILURE() << "no line " << blockText.toStdString();
        return {};
    }
    // Runs a program whose class file is up to date (so Run starts java at once); its task.
    qint64 run()
    {
        const QString path = temp.path() + "/Greet.java";
        const QByteArray source = "class Greet { public static void main(String[] a) {} }\n";
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(source);
        file.close();
        open(path, source);
        QFile classFile(temp.path() + "/Greet.class");
        EXPECT_TRUE(classFile.open(QIODevice::WriteOnly));
        classFile.setFileTime(QFileInfo(path).lastModified().addSecs(5), QFileDevice::FileModificationTime);
        classFile.close();
        window.mnuRun_Click();
        const qint64 task = host.processes->lastTaskId;
        panel.processStarted(task, "java Greet", temp.path());
        EXPECT_EQ(panel.inputTask(), task);
        return task;
    }

    QTemporaryDir temp;
    FakeHost host;
    frmMain window{host.services};
    EditorControl& text1 = window.Text1();
    JavaTools& tools = window.javaTools();
    CompilerOutputPanel& panel = *tools.outputPanel();
};

TEST_F(ConsoleTest, APromptWithoutLineEndShowsAtOnceAndItsLineStaysWhole)
{
    panel.processStarted(1, "java Greet", "/p");
    panel.processOutput(1, "Name? ", Channel::Output);
    EXPECT_EQ(panel.text(), "[1] java Greet  (in /p)\nName? ");
    // Other output goes above the unfinished line, which stays last.
    panel.processOutput(1, "warn", Channel::Error);
    panel.processOutput(1, "ing\n", Channel::Error);
    EXPECT_EQ(panel.text(), "[1] java Greet  (in /p)\nwarning\nName? ");
    panel.echoInput(1, "Ann");
    panel.processOutput(1, "Hello, Ann", Channel::Output);
    EXPECT_EQ(panel.text(), "[1] java Greet  (in /p)\nwarning\nName? Ann\nHello, Ann");
    panel.processFinished(1, 0, false);
    EXPECT_EQ(panel.text(), "[1] java Greet  (in /p)\nwarning\nName? Ann\nHello, Ann\n[1] finished with exit status 0");
    EXPECT_EQ(panel.view()->document()->blockCount(), 5);
}

TEST_F(ConsoleTest, ALineWithoutEndIsKeptInPiecesCountedAsLines)
{
    panel.processStarted(1, "java Flood", "/p");
    const QString chunk(8192, u'x');
    for (int i = 0; i < 100; ++i)
        panel.processOutput(1, chunk, Channel::Output);
    const QTextDocument* document = panel.view()->document();
    // 819,200 characters: 800 pieces of 1,024, the header, and no unfinished rest.
    EXPECT_EQ(document->blockCount(), 801);
    int longest = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        longest = std::max(longest, block.length() - 1);
    EXPECT_EQ(longest, 1024);
    panel.processOutput(1, "tail\n", Channel::Output);
    EXPECT_EQ(document->lastBlock().text(), "tail");
}

TEST_F(ConsoleTest, StandardErrorAndEscapeColoursAreColoursNotText)
{
    panel.processStarted(1, "java Colours", "/p");
    panel.processOutput(1, "plain\n", Channel::Output);
    panel.processOutput(1, "Exception in thread \"main\"\n", Channel::Error);
    panel.processOutput(1, "\x1b[32mgreen\x1b[0m\n\x1b[2Kcleared\n", Channel::Output);
    EXPECT_FALSE(panel.text().contains(u'\x1b'));
    EXPECT_TRUE(panel.text().endsWith("plain\nException in thread \"main\"\ngreen\ncleared"));
    const QColor plain = colourOf("plain");
    const QColor error = colourOf("Exception in thread \"main\"");
    EXPECT_NE(error, plain);
    EXPECT_GT(error.red(), 2 * error.green());
    EXPECT_EQ(colourOf("green"), QColor(0x00, 0xa0, 0x00));
    EXPECT_EQ(colourOf("cleared"), plain);
}

TEST_F(ConsoleTest, CtrlDOrEndInputClosesTheProgramsInput)
{
    for (const bool button : {false, true}) {
        const qint64 task = run();
        panel.processOutput(task, "Numbers: ", Channel::Output);
        QTest::keyClicks(panel.inputLine(), "4 5");
        if (button)
            panel.endInputButton()->click();
        else
            QTest::keyClick(panel.inputLine(), Qt::Key_D, Qt::ControlModifier);
        // What was typed goes first, as a line of its own.
        EXPECT_EQ(host.processes->input.value(task), "4 5\n");
        EXPECT_EQ(host.processes->inputClosed.back(), task);
        EXPECT_TRUE(panel.text().contains("Numbers: 4 5\n"));
        EXPECT_FALSE(panel.inputLine()->isEnabled());
        EXPECT_FALSE(panel.endInputButton()->isEnabled());
        EXPECT_TRUE(panel.stopButton()->isEnabled());
        EXPECT_EQ(panel.inputLine()->text(), "");
        panel.processFinished(task, 0, false);
    }
}

TEST_F(ConsoleTest, ProcessesLeftRunningAfterTheProgramCanBeStopped)
{
    const qint64 task = run();
    host.processes->left.insert(task, 2);
    host.processes->running.remove(task);
    panel.processFinished(task, 0, false);
    EXPECT_TRUE(panel.text().contains("2 processes it started are still running: Stop ends them."));
    ASSERT_TRUE(panel.stopButton()->isEnabled());
    EXPECT_FALSE(panel.inputLine()->isEnabled());
    panel.stopButton()->click();
    EXPECT_EQ(host.processes->stopped, QList<qint64>{task});
    EXPECT_FALSE(panel.stopButton()->isEnabled());
}

TEST_F(ConsoleTest, ThePanelZoomsWithTheEditor)
{
    const int normal = panel.view()->font().pointSize();
    window.findChild<QAction*>("mnuZoomIn")->trigger();
    window.findChild<QAction*>("mnuZoomIn")->trigger();
    EXPECT_EQ(panel.view()->font().pointSize(), normal + text1.zoomLevel());
    EXPECT_GT(text1.zoomLevel(), 0);
    window.findChild<QAction*>("mnuZoomNormal")->trigger();
    EXPECT_EQ(panel.view()->font().pointSize(), normal);
}

TEST_F(ConsoleTest, F8AndShiftF8GoRoundTheMarkedLinesAndTellTheirMessages)
{
    open("/p/Bad.java", "class Bad {\n  int a = ;\n  int b\n  int c = 1;\n}\n");
    EXPECT_EQ(window.findChild<QAction*>("mnuCompile")->shortcut(), QKeySequence(Qt::Key_F7));
    EXPECT_EQ(window.findChild<QAction*>("mnuNextError")->shortcut(), QKeySequence(Qt::Key_F8));
    EXPECT_EQ(window.findChild<QAction*>("mnuPreviousError")->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F8));
    EXPECT_EQ(tools.goToNextDiagnostic(true), "No line has an error or a warning.");
    window.mnuCompile_Click();
    const qint64 task = host.processes->lastTaskId;
    panel.processStarted(task, "javac /p/Bad.java", "/p");
    panel.processOutput(task, "Bad.java:2: error: illegal start of expression\n  int a = ;\n          ^\n"
                              "Bad.java:3: error: ';' expected\n", Channel::Error);
    panel.processFinished(task, 1, false);
    text1.setCursorPosition(0, 0);
    const struct {
        bool forward;
        int line;
        QString message;
    } steps[] = {{true, 2, "error: illegal start of expression"}, {true, 3, "error: ';' expected"},
                 {true, 2, "error: illegal start of expression"}, {false, 3, "error: ';' expected"}};
    for (const auto& step : steps) {
        EXPECT_EQ(tools.goToNextDiagnostic(step.forward), step.message);
        EXPECT_EQ(text1.caretLine(), step.line);
    }
    // Where javac showed the column, the caret goes there.
    tools.goToNextDiagnostic(false);
    EXPECT_EQ(text1.caretLine(), 2);
    EXPECT_EQ(text1.caretColumn(), 11);
}
} // namespace
