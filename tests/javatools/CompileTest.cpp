#include "app/frmMain.h"
#include "document/Document.h"
#include "host/EditorControl.h"
#include "javatools/CompilerOutputPanel.h"
#include "javatools/DiagnosticMarks.h"
#include "javatools/JavaTools.h"
#include "javatools/NewApplet.h"
#include "support/FakeHost.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QHelpEvent>
#include <QTest>
#include <QTextBlock>
#include <QToolBar>
#include <QToolTip>

#include <gtest/gtest.h>

namespace {
class CompileTest : public ::testing::Test {
protected:
    void open(const QString& path, const QByteArray& bytes)
    {
        host.files->files.insert(path, bytes);
        cd1.willChoose(path);
        window.mnuOpen_Click();
    }

    FakeHost host;
    frmMain window{host.services};
    EditorControl& text1 = window.Text1();
    Document& doc = window.document();
    FakeCommonDialog& cd1 = *host.fileDialog;
    JavaTools& tools = window.javaTools();
    CompilerOutputPanel& panel = *tools.outputPanel();
};

const QByteArray BadSource = "public class Bad {\r\n  int x = \r\n}\r\n";

TEST_F(CompileTest, StartsJavacOnTheCurrentFileMinimizedAndReturns)
{
    struct Step {
        const char* what;
        std::function<void()> act;
        QString commandLine;
    };
    const Step steps[] = {
        {"right after start", [] {}, "javac "},
        {"after New", [&] { window.mnuNew_Click(); }, "javac Untitled"},
        {"a path with blanks", [&] { open("/home/ann/My Applets/Hello.java", "class Hello {}\r\n"); },
         "javac \"/home/ann/My Applets/Hello.java\""},
        {"a Windows-1252 file", [&] { open("/p/Caf\u00e9.java", "// caf\xe9\r\n"); },
         "javac -encoding windows-1252 /p/Caf\u00e9.java"},
    };
    for (const Step& step : steps) {
        step.act();
        host.processes->calls.clear();
        window.mnuCompile_Click();
        ASSERT_EQ(host.processes->calls.size(), 1) << step.what;
        EXPECT_EQ(host.processes->calls[0].commandLine, step.commandLine) << step.what;
        EXPECT_EQ(host.processes->calls[0].windowStyle, ws::MinimizedFocus) << step.what;

        // The toolbar button runs the same command.
        host.processes->calls.clear();
        for (QAction* button : window.Toolbar1()->actions()) {
            if (button->property("Key").toString() == "Compile")
                window.Toolbar1_ButtonClick(button);
        }
        ASSERT_EQ(host.processes->calls.size(), 1) << step.what;
        EXPECT_EQ(host.processes->calls[0].commandLine, step.commandLine) << step.what;
    }
    EXPECT_TRUE(host.messageBox->calls.isEmpty());
}

TEST_F(CompileTest, AfterTheWizardTheOldFileIsCompiledInItsOwnEncoding)
{
    open("/p/Old.java", "// caf\xe9\r\nclass Old {}\r\n");
    ASSERT_TRUE(NewApplet::generateApplet(window.document(), "", "Hello"));
    window.mnuCompile_Click();
    ASSERT_EQ(host.processes->calls.size(), 1);
    EXPECT_EQ(host.processes->calls[0].commandLine, "javac -encoding windows-1252 /p/Old.java");
    EXPECT_TRUE(panel.text().contains("unsaved changes; javac compiles the file as last saved")) << panel.text().toStdString();
}

TEST_F(CompileTest, JavacThatCannotStartIsReportedAndHarmsNothing)
{
    open("/p/A.java", "class A {}\r\n");
    text1.setText("class A { }");
    host.processes->failWith = "Cannot start javac: No such file or directory (it is not on the search path, PATH)";
    window.mnuCompile_Click();

    ASSERT_EQ(host.messageBox->calls.size(), 1);
    const auto& call = host.messageBox->calls[0];
    EXPECT_TRUE(call.text.contains(host.processes->failWith)) << call.text.toStdString();
    EXPECT_TRUE(call.text.contains("default-jdk"));
    EXPECT_EQ(call.style, mb::OKOnly | mb::Exclamation);
    EXPECT_TRUE(panel.text().contains("default-jdk"));
    EXPECT_FALSE(panel.isHidden());
    EXPECT_EQ(text1.Text(), "class A { }");
    EXPECT_TRUE(doc.Modified());
    EXPECT_EQ(doc.CurrentFileName(), "/p/A.java");

    // From the toolbar too the user is told, and the window goes on.
    host.messageBox->calls.clear();
    for (QAction* button : window.Toolbar1()->actions()) {
        if (button->property("Key").toString() == "Compile")
            window.Toolbar1_ButtonClick(button);
    }
    EXPECT_EQ(host.messageBox->calls.size(), 1);
}

TEST_F(CompileTest, HelpShowsItsNote)
{
    window.mnuCHelp_Click();
    ASSERT_EQ(host.messageBox->calls.size(), 1);
    EXPECT_EQ(host.messageBox->calls[0].style, 64);
    EXPECT_EQ(host.messageBox->calls[0].title, "Tolvane Compiler Help");
    EXPECT_EQ(host.messageBox->calls[0].text.count("\r\n"), 1);
    EXPECT_TRUE(host.messageBox->calls[0].text.startsWith("To use the compiler option with Tolvane, you must already have a JDK (Perferably from Sun) installed and functioning"));
    EXPECT_TRUE(host.processes->calls.isEmpty());
}

TEST_F(CompileTest, PanelShowsRunsWithTheirHeadersOutputAndExitStatus)
{
    EXPECT_TRUE(panel.isHidden());
    ASSERT_EQ(tools.outputPanelAction(), panel.toggleViewAction());
    panel.processStarted(1, "javac A.java", "/p");
    EXPECT_FALSE(panel.isHidden());
    panel.processOutput(1, "first li", ConsoleOutput::Channel::Output);
    panel.processStarted(2, "javac B.java", "/p");
    panel.processOutput(1, "ne\r\nsecond line\n", ConsoleOutput::Channel::Output);
    panel.processOutput(2, "from B\n", ConsoleOutput::Channel::Error);
    panel.processOutput(1, "unfinished", ConsoleOutput::Channel::Error);
    panel.processFinished(1, 1, false);
    panel.processFinished(2, 0, false);

    EXPECT_EQ(panel.text(),
              "[1] javac A.java  (in /p)\n"
              "[2] javac B.java  (in /p)\n"
              "[1] javac A.java  (continued)\n"
              "first line\n"
              "second line\n"
              "[2] javac B.java  (continued)\n"
              "from B\n"
              "[1] javac A.java  (continued)\n"
              "unfinished\n"
              "[1] finished with exit status 1\n"
              "[2] finished with exit status 0");
}

TEST_F(CompileTest, ReportedLinesOfTheDocumentAreMarkedAndReachable)
{
    open("/p/Bad.java", BadSource);
    window.mnuCompile_Click();
    const qint64 task = host.processes->lastTaskId;
    panel.processStarted(task, "javac /p/Bad.java", "/p");
    panel.processOutput(task, "Bad.java:2: warning: something odd\nBad.java:3: error: illegal start", ConsoleOutput::Channel::Error);
    panel.processOutput(task, " of expression\n}\n^\nOther.java:1: error: class, interface, enum, or record expected\n2 errors\n",
                        ConsoleOutput::Channel::Error);
    panel.processFinished(task, 1, false);

    ASSERT_EQ(panel.diagnostics().size(), 3);
    EXPECT_EQ(panel.diagnostics()[1].path, "/p/Bad.java");
    EXPECT_EQ(panel.diagnostics()[1].diagnostic.message, "illegal start of expression");
    EXPECT_EQ(tools.marks().count(), 2);
    EXPECT_EQ(text1.markersAtLine(1), 1u << DiagnosticMarks::WarningMarker);
    EXPECT_EQ(text1.markersAtLine(2), 1u << DiagnosticMarks::ErrorMarker);
    EXPECT_EQ(tools.marks().messagesOnLine(2), "error: illegal start of expression");
    EXPECT_EQ(tools.marks().messagesOnLine(0), "");

    // The link lines look like links; the others do not.
    const QTextBlock link = panel.view()->document()->findBlockByNumber(panel.blockOfDiagnostic(1));
    EXPECT_EQ(link.text(), "Bad.java:3: error: illegal start of expression");
    EXPECT_TRUE(link.begin().fragment().charFormat().isAnchor());
    EXPECT_FALSE(panel.activateBlock(panel.blockOfDiagnostic(1) + 1));

    // Activating the error puts the caret on its line.
    text1.setCursorPosition(0, 3);
    ASSERT_TRUE(panel.activateBlock(panel.blockOfDiagnostic(1)));
    EXPECT_EQ(text1.caretLine(), 3);
    EXPECT_EQ(text1.caretColumn(), 1);
    EXPECT_TRUE(host.messageBox->calls.isEmpty());

    // Enter on the line in the panel does the same.
    text1.setCursorPosition(0, 0);
    QTextCursor cursor(link);
    panel.view()->setTextCursor(cursor);
    QTest::keyClick(panel.view(), Qt::Key_Return);
    EXPECT_EQ(text1.caretLine(), 3);

    // Another file is offered; Yes opens it at the line.
    host.files->files.insert("/p/Other.java", "x\r\n");
    host.messageBox->willAnswer(mb::Yes);
    ASSERT_TRUE(panel.activateBlock(panel.blockOfDiagnostic(2)));
    ASSERT_EQ(host.messageBox->calls.size(), 1);
    EXPECT_EQ(host.messageBox->calls[0].text, "/p/Other.java is not the document being edited.\n\nOpen it?");
    EXPECT_EQ(doc.CurrentFileName(), "/p/Other.java");
    EXPECT_EQ(cd1.FileName, "/p/Other.java");
    EXPECT_EQ(text1.Text(), "x\r\n");
    EXPECT_EQ(tools.marks().count(), 1);
    EXPECT_EQ(text1.markersAtLine(0), 1u << DiagnosticMarks::ErrorMarker);

    // No leaves everything as it is.
    host.messageBox->willAnswer(mb::No);
    panel.activateBlock(panel.blockOfDiagnostic(1));
    EXPECT_EQ(doc.CurrentFileName(), "/p/Other.java");
}

TEST_F(CompileTest, MarkersAreDroppedByANewCompileAndAnotherDocument)
{
    open("/p/Bad.java", BadSource);
    auto compileWithError = [&] {
        window.mnuCompile_Click();
        const qint64 task = host.processes->lastTaskId;
        panel.processStarted(task, "javac /p/Bad.java", "/p");
        panel.processOutput(task, "/p/Bad.java:3: error: illegal start of expression\n", ConsoleOutput::Channel::Error);
        return task;
    };
    const qint64 first = compileWithError();
    EXPECT_EQ(tools.marks().count(), 1);

    window.mnuCompile_Click();
    EXPECT_EQ(tools.marks().count(), 0);
    EXPECT_EQ(text1.markersAtLine(2), 0u);
    // Late output of the earlier run no longer marks.
    panel.processOutput(first, "/p/Bad.java:1: error: late\n", ConsoleOutput::Channel::Error);
    EXPECT_EQ(tools.marks().count(), 0);

    compileWithError();
    EXPECT_EQ(tools.marks().count(), 1);
    window.mnuNew_Click();
    EXPECT_EQ(tools.marks().count(), 0);
    EXPECT_EQ(text1.markersAtLine(0), 0u);

    open("/p/Bad.java", BadSource);
    compileWithError();
    ASSERT_TRUE(NewApplet::generateApplet(window.document(), "", "X"));
    EXPECT_EQ(tools.marks().count(), 0);
}

TEST_F(CompileTest, PanelAppearsWithoutTakingTheFocusAndReturnsFromTheToolsMenu)
{
    window.resize(600, 400);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    text1.setFocus();
    ASSERT_EQ(QApplication::focusWidget(), &text1);

    panel.processStarted(1, "javac A.java", "/p");
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(QApplication::focusWidget(), &text1);

    panel.close();
    EXPECT_FALSE(panel.isVisible());
    auto* menu = window.findChild<QMenu*>("mnuTools");
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(menu->actions().contains(panel.toggleViewAction()));
    panel.toggleViewAction()->trigger();
    EXPECT_TRUE(panel.isVisible());
}

TEST_F(CompileTest, HoveringAMarkerShowsItsMessage)
{
    window.resize(600, 400);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    open("/p/Bad.java", BadSource);
    window.mnuCompile_Click();
    const qint64 task = host.processes->lastTaskId;
    panel.processStarted(task, "javac /p/Bad.java", "/p");
    panel.processOutput(task, "Bad.java:3: error: illegal start of expression\n", ConsoleOutput::Channel::Error);

    const int lineTop = static_cast<int>(text1.SendScintilla(QsciScintilla::SCI_POINTYFROMPOSITION, 0UL,
        static_cast<long>(text1.SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, 2UL))));
    const int margin0 = static_cast<int>(text1.SendScintilla(QsciScintilla::SCI_GETMARGINWIDTHN, 0UL));
    const QPoint point(margin0 + 5, lineTop + 3);
    QHelpEvent event(QEvent::ToolTip, point, text1.viewport()->mapToGlobal(point));
    QApplication::sendEvent(text1.viewport(), &event);
    EXPECT_EQ(QToolTip::text(), "error: illegal start of expression");
    QToolTip::hideText();
}
} // namespace
