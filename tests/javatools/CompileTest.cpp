#include "app/frmMain.h"
#include "document/Document.h"
#include "editor/EditorControl.h"
#include "javatools/CompilerOutputPanel.h"
#include "javatools/DiagnosticMarks.h"
#include "javatools/JavaTools.h"
#include "javatools/NewApplet.h"
#include "javatools/RunProgram.h"
#include "support/FakeHost.h"

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QApplication>
#include <QDir>
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

TEST_F(CompileTest, StartsJavacOnTheCurrentFileInItsFolderAndReturns)
{
    struct Step {
        const char* what;
        std::function<void()> act;
        QString commandLine;
        QString folder;
    };
    const QString here = QDir::currentPath();
    const Step steps[] = {
        {"a path with blanks", [&] { open("/home/ann/My Applets/Hello.java", "class Hello {}\r\n"); },
         "javac \"/home/ann/My Applets/Hello.java\"", "/home/ann/My Applets"},
        {"a Windows-1252 file", [&] { open("/p/Caf\u00e9.java", "// caf\xe9\r\n"); },
         "javac -encoding windows-1252 /p/Caf\u00e9.java", "/p"},
        // Names that look like options or argument files reach javac as paths.
        {"a name like an option", [&] { open("/p/-J-version.java", "class A {}\r\n"); }, "javac /p/-J-version.java", "/p"},
        {"a relative name like an argument file", [&] { open("@opts.java", "class A {}\r\n"); },
         "javac " + here + "/@opts.java", here},
        {"a package under its source folder", [&] { open("/src/calc/Sum.java", "package calc;\r\nclass Sum {}\r\n"); },
         "javac -sourcepath /src /src/calc/Sum.java", "/src/calc"},
    };
    for (const Step& step : steps) {
        step.act();
        host.processes->calls.clear();
        window.mnuCompile_Click();
        ASSERT_EQ(host.processes->calls.size(), 1) << step.what;
        EXPECT_EQ(host.processes->calls[0].commandLine, step.commandLine) << step.what;
        EXPECT_EQ(host.processes->calls[0].windowStyle, ws::MinimizedFocus) << step.what;
        EXPECT_EQ(host.processes->calls[0].how.workingDirectory, step.folder) << step.what;
        EXPECT_FALSE(host.processes->calls[0].how.interactive) << step.what;

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

TEST_F(CompileTest, CompileSavesWhatIsOnScreenFirst)
{
    // Unsaved changes to a file are saved to it, with no dialog.
    open("/p/A.java", "class A {}\r\n");
    text1.setText("class A { int x; }");
    window.mnuCompile_Click();
    EXPECT_EQ(host.files->files.value("/p/A.java"), "class A { int x; }\r\n");
    ASSERT_EQ(host.processes->calls.size(), 1);
    EXPECT_EQ(host.processes->calls[0].commandLine, "javac /p/A.java");
    EXPECT_FALSE(doc.Modified());

    // A document without a file asks for a name: after the wizard, after New, right after start.
    struct Step {
        const char* what;
        std::function<void()> act;
    };
    const Step steps[] = {
        {"the wizard", [&] { ASSERT_TRUE(NewApplet::generateApplet(doc, "", "Hello")); }},
        {"New", [&] { window.mnuNew_Click(); }},
    };
    for (const Step& step : steps) {
        step.act();
        host.processes->calls.clear();
        const qsizetype dialogs = cd1.calls.size();
        cd1.willChoose("/p/Hello.java");
        window.mnuCompile_Click();
        ASSERT_EQ(cd1.calls.size(), dialogs + 1) << step.what;
        EXPECT_EQ(cd1.calls.last().kind, "save") << step.what;
        ASSERT_EQ(host.processes->calls.size(), 1) << step.what;
        EXPECT_EQ(host.processes->calls[0].commandLine, "javac /p/Hello.java") << step.what;
        EXPECT_EQ(host.files->files.value("/p/Hello.java"), (text1.Text() + "\r\n").toUtf8()) << step.what;
    }

    // A cancelled or failed save compiles nothing, and the panel says why.
    text1.setText("class Hello { }");
    host.files->unwritable.insert("/p/Hello.java", "Permission denied");
    host.processes->calls.clear();
    window.mnuCompile_Click();
    EXPECT_TRUE(host.processes->calls.isEmpty());
    EXPECT_TRUE(panel.text().endsWith("Compile works on the file, so it needs the text saved first.")) << panel.text().toStdString();
    EXPECT_TRUE(doc.Modified());

    host.files->unwritable.clear();
    host.messageBox->willAnswer(mb::No); // not saved, so New asks first
    window.mnuNew_Click();
    ASSERT_EQ(doc.CurrentFileName(), "Untitled");
    cd1.willChoose(std::nullopt);
    window.mnuCompile_Click();
    EXPECT_TRUE(host.processes->calls.isEmpty());
    EXPECT_TRUE(panel.text().contains("Compile: nothing was done, because the document was not saved"));
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
    EXPECT_EQ(host.files->files.value("/p/A.java"), "class A { }\r\n"); // saved before the attempt
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
    // One model: the warning without a caret line has no range; the error's "^" gave its token.
    const QList<Diagnostic> shown = tools.marks().diagnostics();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].source, Diagnostic::Source::Compile);
    EXPECT_EQ(std::make_tuple(shown[0].line, shown[0].from, shown[0].isError), std::make_tuple(1, qsizetype(-1), false));
    EXPECT_EQ(std::make_tuple(shown[1].line, shown[1].from, shown[1].to), std::make_tuple(2, text1.offsetOfLine(2), text1.offsetOfLine(2) + 1));

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
    EXPECT_EQ(host.messageBox->calls[0].text,
              "/p/Other.java is not the document being edited.\n\nOpen it in this window? (No opens it in a new window.)");
    EXPECT_EQ(host.messageBox->calls[0].style, mb::YesNoCancel | mb::Question);
    EXPECT_EQ(doc.CurrentFileName(), "/p/Other.java");
    EXPECT_EQ(cd1.FileName, "/p/Other.java");
    EXPECT_EQ(text1.Text(), "x\r\n");
    EXPECT_EQ(tools.marks().count(), 1);
    EXPECT_EQ(text1.markersAtLine(0), 1u << DiagnosticMarks::ErrorMarker);

    // No opens it in a window of its own, at its line and column; this one stays as it is.
    host.processes->calls.clear();
    host.messageBox->willAnswer(mb::No);
    panel.activateBlock(panel.blockOfDiagnostic(1));
    EXPECT_EQ(doc.CurrentFileName(), "/p/Other.java");
    ASSERT_EQ(host.processes->calls.size(), 1);
    EXPECT_TRUE(host.processes->calls[0].commandLine.endsWith(" --goto=3:1 -- /p/Bad.java"))
        << host.processes->calls[0].commandLine.toStdString();

    // Cancel leaves everything as it is.
    host.messageBox->willAnswer(mb::Cancel);
    panel.activateBlock(panel.blockOfDiagnostic(1));
    EXPECT_EQ(doc.CurrentFileName(), "/p/Other.java");
    EXPECT_EQ(host.processes->calls.size(), 1);
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
    ASSERT_EQ(QApplication::focusWidget(), text1.focusProxy());

    panel.processStarted(1, "javac A.java", "/p");
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(QApplication::focusWidget(), text1.focusProxy());

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

    QsciScintilla& component = *text1.findChild<QsciScintilla*>();
    const int lineTop = static_cast<int>(component.SendScintilla(QsciScintilla::SCI_POINTYFROMPOSITION, 0UL,
        static_cast<long>(component.SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, 2UL))));
    const int margin0 = text1.marginWidth(0);
    const QPoint point(margin0 + 5, lineTop + 3);
    QHelpEvent event(QEvent::ToolTip, point, text1.viewport()->mapToGlobal(point));
    QApplication::sendEvent(text1.viewport(), &event);
    EXPECT_EQ(QToolTip::text(), "error: illegal start of expression");
    QToolTip::hideText();
}
} // namespace

namespace {
TEST_F(CompileTest, AnErrorsCaretLineGivesTheColumnForTheJumpAndTheUnderline)
{
    open("/p/T.java", "public class T {\r\n\tvoid f() {\r\n\t\tint x = 1; \tint z = qq;\r\n\t}\r\n}\r\n");
    window.mnuCompile_Click();
    const qint64 task = host.processes->lastTaskId;
    panel.processStarted(task, "javac /p/T.java", "/p");
    panel.processOutput(task, "/p/T.java:3: error: cannot find symbol\n\t\tint x = 1; \tint z = qq;\n", ConsoleOutput::Channel::Error);
    panel.processOutput(task, "\t\t           \t        ^\n  symbol:   variable qq\n1 error\n", ConsoleOutput::Channel::Error);
    ASSERT_EQ(panel.diagnostics().size(), 1);
    EXPECT_EQ(panel.diagnostics()[0].column, 22);

    const qsizetype qq = text1.Text().indexOf("qq");
    EXPECT_FALSE(text1.indicatorAt(DiagnosticMarks::ErrorIndicator, qq - 1));
    EXPECT_TRUE(text1.indicatorAt(DiagnosticMarks::ErrorIndicator, qq));
    EXPECT_TRUE(text1.indicatorAt(DiagnosticMarks::ErrorIndicator, qq + 1));
    EXPECT_FALSE(text1.indicatorAt(DiagnosticMarks::ErrorIndicator, qq + 2));

    ASSERT_TRUE(panel.activateBlock(panel.blockOfDiagnostic(0)));
    EXPECT_EQ(text1.SelStart(), qq);

    // The next compile takes the underline away.
    window.mnuCompile_Click();
    EXPECT_FALSE(text1.indicatorAt(DiagnosticMarks::ErrorIndicator, qq));
}

class RunTest : public CompileTest {
protected:
    void SetUp() override { folder = temp.path(); }

    // A source on disk (for the class file's age) that is also the document.
    void openSource(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        open(path, bytes);
    }
    void writeClassFile(const QString& path, int secondsAfterSource)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        const QDateTime source = QFileInfo(doc.CurrentFileName()).lastModified();
        ASSERT_TRUE(file.setFileTime(source.addSecs(secondsAfterSource), QFileDevice::FileModificationTime));
    }

    QTemporaryDir temp;
    QString folder;
};

const QByteArray SumSource = "package calc;\r\nimport java.util.Scanner;\r\npublic class Sum {\r\n"
                             "\tpublic static void main(String[] args) { }\r\n}\r\n";

TEST_F(RunTest, AnUpToDateProgramStartsWithItsClassPathAndTakesInputAndStop)
{
    openSource(folder + "/src/calc/Sum.java", SumSource);
    writeClassFile(folder + "/src/calc/Sum.class", 5);
    window.findChild<QAction*>("mnuRun")->trigger();
    ASSERT_EQ(host.processes->calls.size(), 1);
    const auto& call = host.processes->calls[0];
    EXPECT_EQ(call.commandLine, "java -cp " + folder + "/src calc.Sum");
    EXPECT_EQ(call.how.workingDirectory, folder + "/src/calc");
    EXPECT_TRUE(call.how.interactive);
    EXPECT_EQ(window.findChild<QAction*>("mnuRun")->shortcut(), QKeySequence(Qt::Key_F5));

    const qint64 task = host.processes->lastTaskId;
    panel.processStarted(task, call.commandLine, folder);
    EXPECT_EQ(panel.inputTask(), task);
    EXPECT_TRUE(panel.inputLine()->isEnabled());
    panel.processOutput(task, "Two numbers: ", ConsoleOutput::Channel::Output);
    QTest::keyClicks(panel.inputLine(), "3 4");
    QTest::keyClick(panel.inputLine(), Qt::Key_Return);
    EXPECT_EQ(host.processes->input.value(task), "3 4\n");
    EXPECT_TRUE(panel.inputLine()->text().isEmpty());
    EXPECT_TRUE(panel.text().endsWith("\nTwo numbers: 3 4")) << panel.text().toStdString();

    // A second Run while it goes starts nothing.
    window.mnuRun_Click();
    EXPECT_EQ(host.processes->calls.size(), 1);

    panel.stopButton()->click();
    EXPECT_EQ(host.processes->stopped, QList<qint64>{task});
    panel.processFinished(task, 143, false);
    EXPECT_TRUE(panel.text().endsWith("finished with exit status 143\nThe program was stopped.")) << panel.text().toStdString();
    EXPECT_EQ(panel.inputTask(), 0);
    EXPECT_FALSE(panel.inputLine()->isEnabled());
    EXPECT_FALSE(panel.stopButton()->isEnabled());
    EXPECT_TRUE(host.messageBox->calls.isEmpty());
}

TEST_F(RunTest, AMissingOrOlderClassFileIsCompiledFirst)
{
    openSource(folder + "/Hi.java", "class Hi { public static void main(String[] a) {} }\r\n");
    for (int age : {0, -5}) { // none, then one older than the source
        if (age != 0)
            writeClassFile(folder + "/Hi.class", age);
        host.processes->calls.clear();
        window.mnuRun_Click();
        ASSERT_EQ(host.processes->calls.size(), 1);
        EXPECT_EQ(host.processes->calls[0].commandLine, "javac " + folder + "/Hi.java");
        const qint64 compile = host.processes->lastTaskId;
        panel.processStarted(compile, "javac", folder);
        panel.processFinished(compile, age == 0 ? 0 : 1, false);
        if (age == 0) {
            ASSERT_EQ(host.processes->calls.size(), 2);
            EXPECT_EQ(host.processes->calls[1].commandLine, "java -cp " + folder + " Hi");
            panel.processFinished(host.processes->lastTaskId, 0, false);
        } else {
            EXPECT_EQ(host.processes->calls.size(), 1);
            EXPECT_TRUE(panel.text().endsWith("The program was not run, because it did not compile."));
        }
    }
}

TEST_F(RunTest, AnyClassOlderThanItsSourceUnderTheRootMakesRunCompileFirst)
{
    // bank.Main uses bank.Account and util.Fmt; all three were compiled after their sources were written.
    const QString root = folder + "/src";
    const QByteArray mainSource = "package bank;\r\npublic class Main { public static void main(String[] a) { } }\r\n";
    const auto setAge = [&](const QString& path, int secondsAfterMain) {
        QFile file(path);
        if (!file.exists()) {
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.close();
        }
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        const QDateTime main = QFileInfo(root + "/bank/Main.java").lastModified();
        ASSERT_TRUE(file.setFileTime(main.addSecs(secondsAfterMain), QFileDevice::FileModificationTime));
    };
    const struct {
        const char* what;
        const char* touched; // written again after its class, relative to the root; null: none
        bool compiles;
    } cases[] = {
        {"nothing changed", nullptr, false},
        {"a helper of the same package", "bank/Account.java", true},
        {"a helper in another package", "util/Fmt.java", true},
        {"a source never compiled (notes, a draft)", "bank/Draft.java", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(root).removeRecursively();
        openSource(root + "/bank/Main.java", mainSource);
        for (const char* name : {"bank/Account", "util/Fmt"}) {
            QDir().mkpath(QFileInfo(root + u'/' + name).absolutePath());
            setAge(root + u'/' + name + ".java", -20);
            setAge(root + u'/' + name + ".class", -10);
        }
        setAge(root + "/bank/Main.class", 5);
        if (c.touched)
            setAge(root + u'/' + c.touched, -5);
        EXPECT_EQ(classesOutOfDate(root, root + "/bank/Main.java", root + "/bank/Main.class"), c.compiles);

        host.processes->calls.clear();
        window.mnuRun_Click();
        ASSERT_EQ(host.processes->calls.size(), 1);
        EXPECT_EQ(host.processes->calls[0].commandLine,
                  c.compiles ? "javac -sourcepath " + root + u' ' + root + "/bank/Main.java" : "java -cp " + root + " bank.Main");
        const qint64 task = host.processes->lastTaskId;
        panel.processStarted(task, "x", folder);
        panel.processFinished(task, 0, false);
        if (c.compiles) {
            ASSERT_EQ(host.processes->calls.size(), 2);
            EXPECT_EQ(host.processes->calls[1].commandLine, "java -cp " + root + " bank.Main");
            panel.processFinished(host.processes->lastTaskId, 0, false);
        }
    }
}

TEST_F(RunTest, WhatCannotRunIsExplained)
{
    struct Case {
        const char* what;
        QString path;
        QByteArray source;
        QString says;
    };
    const Case cases[] = {
        {"the wizard's applet", "/Hello.java", "import java.applet.*;\r\npublic class Hello extends Applet\r\n{\r\n}\r\n",
         "Hello is an applet, and applets cannot run on JDK 11 and later"},
        {"a package in the wrong folder", "/Sum.java", SumSource, "declares the package calc, so it belongs in a folder calc"},
    };
    for (const Case& c : cases) {
        openSource(folder + c.path, c.source);
        host.messageBox->calls.clear();
        host.processes->calls.clear();
        window.mnuRun_Click();
        EXPECT_TRUE(host.processes->calls.isEmpty()) << c.what;
        ASSERT_EQ(host.messageBox->calls.size(), 1) << c.what;
        EXPECT_TRUE(host.messageBox->calls[0].text.contains(c.says, Qt::CaseInsensitive))
            << c.what << ": " << host.messageBox->calls[0].text.toStdString();
    }

    // No java: the same help as for javac.
    openSource(folder + "/Hi.java", "class Hi { public static void main(String[] a) {} }\r\n");
    writeClassFile(folder + "/Hi.class", 5);
    host.messageBox->calls.clear();
    host.processes->failWith = "Cannot start java: No such file or directory (it is not on the search path, PATH)";
    window.mnuRun_Click();
    ASSERT_EQ(host.messageBox->calls.size(), 1);
    EXPECT_TRUE(host.messageBox->calls[0].text.startsWith("The Java launcher could not be started.\n\nCannot start java"));
    EXPECT_TRUE(host.messageBox->calls[0].text.contains("sudo apt install default-jdk"));
    EXPECT_EQ(panel.inputTask(), 0);
}
} // namespace

namespace {
TEST_F(CompileTest, APanelFloodedByAProgramKeepsItsLatestLinesAndTheirLinks)
{
    panel.processStarted(1, "java Flood", "/p");
    panel.processOutput(1, "A.java:1: error: early\n", ConsoleOutput::Channel::Error);
    QString flood;
    for (int i = 0; i < 20000; ++i)
        flood += QStringLiteral("line %1\n").arg(i);
    panel.processOutput(1, flood, ConsoleOutput::Channel::Output);
    panel.processOutput(1, "A.java:2: error: late\n", ConsoleOutput::Channel::Error);

    EXPECT_EQ(panel.view()->document()->blockCount(), 20000);
    EXPECT_EQ(panel.blockOfDiagnostic(0), -1);
    const QTextBlock late = panel.view()->document()->findBlockByNumber(panel.blockOfDiagnostic(1));
    EXPECT_EQ(late.text(), "A.java:2: error: late");
    QString activated;
    QObject::connect(&panel, &CompilerOutputPanel::diagnosticActivated, &panel,
            [&](const ReportedDiagnostic& reported) { activated = reported.diagnostic.message; });
    host.messageBox->willAnswer(mb::No);
    ASSERT_TRUE(panel.activateBlock(panel.blockOfDiagnostic(1)));
    EXPECT_EQ(activated, "late");
    EXPECT_FALSE(panel.activateBlock(0));
}
} // namespace
