// javac itself, started from the main window's Compile.
#include "app/frmMain.h"
#include "document/Document.h"
#include "editor/EditorControl.h"
#include "host/QtFileStore.h"
#include "host/QtProcessStarter.h"
#include "javatools/CompilerOutputPanel.h"
#include "javatools/DiagnosticMarks.h"
#include "javatools/JavaTools.h"
#include "javatools/NewApplet.h"
#include "javatools/frmNewApplet.h"
#include "support/FakeHost.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
// Generous: javac under the sanitizers on a busy machine takes its time.
constexpr int RunTimeoutMs = 240000;

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
