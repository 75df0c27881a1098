// Real processes: the host's process starter with console output, and javac itself.
#include "app/frmMain.h"
#include "document/Document.h"
#include "host/ConsoleOutput.h"
#include "host/EditorControl.h"
#include "host/HostError.h"
#include "host/QtFileStore.h"
#include "host/QtProcessStarter.h"
#include "javatools/CompilerOutputPanel.h"
#include "javatools/DiagnosticMarks.h"
#include "javatools/JavaTools.h"
#include "javatools/NewApplet.h"
#include "javatools/frmNewApplet.h"
#include "support/FakeHost.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/types.h>

namespace {
// Generous: javac under the sanitizers on a busy machine takes its time.
constexpr int RunTimeoutMs = 240000;

class RecordingOutput : public ConsoleOutput {
public:
    void processStarted(qint64 taskId, const QString& commandLine, const QString& workingDirectory) override
    {
        events << QStringLiteral("start %1 %2 in %3").arg(taskId).arg(commandLine, workingDirectory);
    }
    void processOutput(qint64, const QString& text, Channel channel) override
    {
        (channel == Channel::Error ? error : output) += text;
    }
    void processFinished(qint64 taskId, int exitCode, bool crashed) override
    {
        events << QStringLiteral("end %1 %2%3").arg(taskId).arg(exitCode).arg(crashed ? " crashed" : "");
        ++finished;
    }
    void processFailedToStart(qint64 taskId, const QString& reason) override
    {
        events << QStringLiteral("failed %1 %2").arg(taskId).arg(reason);
    }

    QStringList events;
    QString output;
    QString error;
    int finished = 0;
};

TEST(QtProcessStarter, ConsoleRunsReportTheirStreamsAndExitStatus)
{
    QtProcessStarter starter;
    RecordingOutput sink;
    starter.setConsoleOutput(&sink);
    const QString line = "sh -c \"printf '[%s]' \\\"$@\\\"; echo oops >&2; exit 3\" sh \"a b\" c";
    QElapsedTimer timer;
    timer.start();
    const qint64 id = starter.StartProcess(line, ws::MinimizedFocus);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sink.finished == 1; }, RunTimeoutMs));
    EXPECT_EQ(sink.events, QStringList({QStringLiteral("start %1 %2 in %3").arg(id).arg(line, QDir::currentPath()),
                                        QStringLiteral("end %1 3").arg(id)}));
    EXPECT_EQ(sink.output, "[a b][c]");
    EXPECT_EQ(sink.error, "oops\n");
}

TEST(QtProcessStarter, StartReturnsBeforeTheProgramEnds)
{
    QtProcessStarter starter;
    RecordingOutput sink;
    starter.setConsoleOutput(&sink);
    QTemporaryDir dir;
    const QString go = dir.filePath("go");
    // The program ends only once the test lets it.
    starter.StartProcess(QStringLiteral("sh -c \"until [ -e '%1' ]; do sleep 0.02; done\"").arg(go), ws::MinimizedFocus);
    EXPECT_EQ(sink.finished, 0);
    QFile(go).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sink.finished == 1; }, RunTimeoutMs));
}

TEST(QtProcessStarter, AMissingProgramFailsWithTheSystemsReason)
{
    QtProcessStarter starter;
    RecordingOutput sink;
    starter.setConsoleOutput(&sink);
    for (const QString& line : {QStringLiteral("tolvane-no-such-program Hello.java"), QStringLiteral("/nonexistent/javac x")}) {
        sink.events.clear();
        try {
            starter.StartProcess(line, ws::MinimizedFocus);
            ADD_FAILURE() << "started " << line.toStdString();
        } catch (const HostError& error) {
            EXPECT_TRUE(error.message().contains("No such file or directory")) << error.message().toStdString();
            ASSERT_EQ(sink.events.size(), 2);
            EXPECT_TRUE(sink.events[1].startsWith("failed")) << sink.events[1].toStdString();
            EXPECT_TRUE(sink.events[1].contains("No such file or directory"));
        }
    }
    EXPECT_THROW(starter.StartProcess("tolvane-no-such-program", ws::NormalFocus), HostError);
    EXPECT_THROW(starter.StartProcess("   ", ws::MinimizedFocus), HostError);
}

TEST(QtProcessStarter, RunsWithoutASinkAndOutlivingTheStarter)
{
    auto starter = std::make_unique<QtProcessStarter>();
    RecordingOutput sink;
    starter->setConsoleOutput(&sink);
    QTemporaryDir dir;
    const QString go = dir.filePath("go");
    const QString done = dir.filePath("done");
    starter->StartProcess(QStringLiteral("sh -c \"until [ -e '%1' ]; do sleep 0.02; done; echo late; : > '%2'\"").arg(go, done),
                          ws::MinimizedFocus);
    starter.reset(); // the run goes on and reports to no one
    QFile(go).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(done); }, RunTimeoutMs));
    QCoreApplication::processEvents();
    EXPECT_EQ(sink.finished, 0);
    EXPECT_TRUE(sink.output.isEmpty());

    QtProcessStarter quiet;
    const QString quietDone = dir.filePath("quiet");
    EXPECT_NO_THROW(quiet.StartProcess(QStringLiteral("sh -c \": > '%1'\"").arg(quietDone), ws::MinimizedFocus));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(quietDone); }, RunTimeoutMs));
}

TEST(QtProcessStarter, AnInteractiveRunTakesInputAndStopEndsItsWholeGroup)
{
    QtProcessStarter starter;
    RecordingOutput sink;
    starter.setConsoleOutput(&sink);
    QTemporaryDir temp;
    ConsoleStart how;
    how.workingDirectory = temp.path();
    how.interactive = true;
    const QByteArray lang = qgetenv("LANG");
    const QByteArray ctype = qgetenv("LC_CTYPE");
    const QByteArray all = qgetenv("LC_ALL");
    qunsetenv("LC_CTYPE");
    qunsetenv("LC_ALL");
    qputenv("LANG", "C");
    // A grandchild that would outlive a kill of its parent alone.
    const qint64 id = starter.startConsole(
        "sh -c \"pwd; echo $LC_CTYPE; read a; echo got $a; sleep 300 & echo $! > child; wait\"", how);
    qputenv("LANG", lang);
    if (!ctype.isNull())
        qputenv("LC_CTYPE", ctype);
    if (!all.isNull())
        qputenv("LC_ALL", all);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sink.output.count(u'\n') == 2; }, RunTimeoutMs));
    EXPECT_EQ(sink.output, temp.path() + "\nC.UTF-8\n");
    EXPECT_TRUE(starter.writeInput(id, QString::fromUtf8("\u00e9t\u00e9\n")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(temp.path() + "/child") && sink.output.contains("got"); }, RunTimeoutMs));
    EXPECT_TRUE(sink.output.endsWith(QString::fromUtf8("got \u00e9t\u00e9\n")));
    QFile childFile(temp.path() + "/child");
    ASSERT_TRUE(QTest::qWaitFor([&] { return childFile.size() > 0; }, RunTimeoutMs));
    ASSERT_TRUE(childFile.open(QIODevice::ReadOnly));
    const pid_t child = childFile.readAll().trimmed().toInt();
    ASSERT_GT(child, 0);

    EXPECT_TRUE(starter.stop(id));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sink.finished == 1; }, RunTimeoutMs));
    // The grandchild goes too (a zombie until init reaps it counts as gone).
    const auto gone = [child] {
        QFile status(QStringLiteral("/proc/%1/stat").arg(child));
        return !status.open(QIODevice::ReadOnly) || status.readAll().contains(") Z ");
    };
    EXPECT_TRUE(QTest::qWaitFor(gone, 10000));
    EXPECT_FALSE(starter.stop(id));
    EXPECT_FALSE(starter.writeInput(id, "late\n"));
}

class JavacTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("javac").isEmpty())
            GTEST_SKIP() << "javac is not on the search path (Debian: default-jdk-headless)";
        ASSERT_TRUE(temp.isValid());
        folder = temp.path() + "/My Applets";
        ASSERT_TRUE(QDir().mkpath(folder));
        host.services.processes = std::make_unique<QtProcessStarter>();
        host.services.files = std::make_unique<QtFileStore>();
        window = std::make_unique<frmMain>(host.services);
    }

    // Compiles the current document and waits for javac to end; its exit status.
    int compile()
    {
        QSignalSpy finished(panel(), &CompilerOutputPanel::runFinished);
        window->mnuCompile_Click();
        if (!finished.wait(RunTimeoutMs)) {
            ADD_FAILURE() << "javac did not finish";
            return -1;
        }
        return finished.at(0).at(1).toInt();
    }

    CompilerOutputPanel* panel() { return window->javaTools().outputPanel(); }

    QTemporaryDir temp;
    QString folder;
    FakeHost host;
    std::unique_ptr<frmMain> window;
};

TEST_F(JavacTest, TheGeneratedAppletCompilesBesideItsSource)
{
    window->mnuNewApplet_Click();
    frmNewApplet* wizard = frmNewApplet::instance();
    ASSERT_NE(wizard, nullptr);
    wizard->txtName->setText("Hello");
    wizard->OKButton->click();

    host.fileDialog->willChoose(folder + "/Hello.java");
    window->mnuSave_Click();
    ASSERT_TRUE(QFile::exists(folder + "/Hello.java"));

    EXPECT_EQ(compile(), 0) << panel()->text().toStdString(); // a removal warning about Applet is no failure
    EXPECT_TRUE(QFile::exists(folder + "/Hello.class"));
    const QString text = panel()->text();
    EXPECT_TRUE(text.contains("javac \"" + folder + "/Hello.java\"")) << text.toStdString();
    EXPECT_TRUE(text.contains("finished with exit status 0"));
    EXPECT_FALSE(panel()->isHidden());
    EXPECT_TRUE(host.messageBox->calls.isEmpty());
}

TEST_F(JavacTest, ASyntaxErrorIsMarkedAndReachableFromThePanel)
{
    window->mnuNew_Click();
    EditorControl& text1 = window->Text1();
    text1.setText("public class Bad {\r\n  int x = \r\n}\r\n");
    host.fileDialog->willChoose(folder + "/Bad.java");
    window->mnuSave_Click();

    EXPECT_EQ(compile(), 1);
    JavaTools& tools = window->javaTools();
    ASSERT_GE(panel()->diagnostics().size(), 1) << panel()->text().toStdString();
    const ReportedDiagnostic& reported = panel()->diagnostics()[0];
    EXPECT_EQ(reported.path, folder + "/Bad.java");
    EXPECT_EQ(reported.diagnostic.line, 3);
    EXPECT_TRUE(reported.diagnostic.isError);
    EXPECT_EQ(text1.markersAtLine(2), 1u << DiagnosticMarks::ErrorMarker);
    EXPECT_TRUE(tools.marks().messagesOnLine(2).startsWith("error: ")) << tools.marks().messagesOnLine(2).toStdString();

    text1.setCursorPosition(0, 0);
    ASSERT_TRUE(panel()->activateBlock(panel()->blockOfDiagnostic(0)));
    EXPECT_EQ(text1.caretLine(), 3);
    EXPECT_TRUE(host.messageBox->calls.isEmpty());
    EXPECT_FALSE(QFile::exists(folder + "/Bad.class"));
}

TEST_F(JavacTest, NoJavacOnThePathIsReportedInThePanelAndAMessage)
{
    window->mnuNew_Click();
    window->Text1().setText("class Kept {}");
    host.fileDialog->willChoose(folder + "/Kept.java");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", temp.path().toLocal8Bit()); // a folder without javac
    window->mnuCompile_Click();
    qputenv("PATH", path);

    ASSERT_EQ(host.messageBox->calls.size(), 1);
    const QString message = host.messageBox->calls[0].text;
    EXPECT_TRUE(message.contains("Cannot start javac: No such file or directory")) << message.toStdString();
    EXPECT_TRUE(message.contains("sudo apt install default-jdk"));
    const QString text = panel()->text();
    EXPECT_TRUE(text.contains("[1] javac \"" + folder + "/Kept.java\"")) << text.toStdString();
    EXPECT_TRUE(text.contains("[1] Cannot start javac: No such file or directory"));
    EXPECT_TRUE(text.contains("default-jdk"));
    EXPECT_EQ(window->Text1().Text(), "class Kept {}");
    EXPECT_TRUE(QFile::exists(folder + "/Kept.java")); // saved first
}

TEST_F(JavacTest, AWindows1252FileIsCompiledWithItsEncoding)
{
    QFile file(folder + "/Caf.java");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("public class Caf { String s = \"caf\xe9\"; }\r\n");
    file.close();
    host.fileDialog->willChoose(folder + "/Caf.java");
    window->mnuOpen_Click();
    ASSERT_EQ(window->document().Format().encoding, TextEncoding::Windows1252);
    EXPECT_EQ(compile(), 0) << panel()->text().toStdString();
    EXPECT_TRUE(QFile::exists(folder + "/Caf.class"));
}
} // namespace

namespace {
void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST_F(JavacTest, ClassesBesideTheFileAndOddNamesCompileWhereverTheEditorStarted)
{
    // The editor runs elsewhere (the test's folder); the program's classes are found beside it.
    writeFile(folder + "/Helper.java", "class Helper { static int two() { return 2; } }\n");
    writeFile(folder + "/pkg/calc/Adder.java", "package calc;\nclass Adder { static int add(int a, int b) { return a + b; } }\n");
    struct Case {
        QString path;
        QByteArray source;
        QString classFile;
    };
    const Case cases[] = {
        {folder + "/Main.java", "public class Main { int x = Helper.two(); }\n", folder + "/Main.class"},
        {folder + "/pkg/calc/Sum.java", "package calc;\npublic class Sum { int x = Adder.add(1, 2); }\n", folder + "/pkg/calc/Sum.class"},
        // Names that javac would take for an option or an argument file.
        {folder + "/-J-version.java", "class Dash {}\n", folder + "/Dash.class"},
        {folder + "/@opts.java", "class At {}\n", folder + "/At.class"},
    };
    for (const Case& c : cases) {
        writeFile(c.path, c.source);
        host.fileDialog->willChoose(c.path);
        window->mnuOpen_Click();
        EXPECT_EQ(compile(), 0) << panel()->text().toStdString();
        EXPECT_TRUE(QFile::exists(c.classFile)) << c.classFile.toStdString();
    }
}

TEST_F(JavacTest, ANonAsciiFolderCompilesWithoutAUtf8LocaleAndAnErrorsColumnIsFound)
{
    const QString unicode = temp.path() + QString::fromUtf8("/Gr\u00f6\u00dfe \u65e5\u672c");
    writeFile(unicode + "/T.java", "public class T {\n\tvoid f() {\n\t\tint x = 1; \tint z = qq;\n\t}\n}\n");
    host.fileDialog->willChoose(unicode + "/T.java");
    window->mnuOpen_Click();
    const QByteArray lang = qgetenv("LANG");
    const QByteArray all = qgetenv("LC_ALL");
    qunsetenv("LANG");
    qunsetenv("LC_ALL");
    const int status = compile();
    qputenv("LANG", lang);
    if (!all.isNull())
        qputenv("LC_ALL", all);
    EXPECT_EQ(status, 1) << panel()->text().toStdString();
    ASSERT_EQ(panel()->diagnostics().size(), 1) << panel()->text().toStdString();
    EXPECT_EQ(panel()->diagnostics()[0].path, unicode + "/T.java");
    EXPECT_EQ(panel()->diagnostics()[0].column, 22);
    ASSERT_TRUE(panel()->activateBlock(panel()->blockOfDiagnostic(0)));
    EXPECT_EQ(window->Text1().SelStart(), window->Text1().Text().indexOf("qq"));
}
} // namespace
