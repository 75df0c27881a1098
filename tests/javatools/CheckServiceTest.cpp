// Check While Typing against the real compile service (the JDK's compiler) and against services that
// misbehave.
#include "app/frmMain.h"
#include "document/Document.h"
#include "editor/EditorControl.h"
#include "javatools/CheckWhileTyping.h"
#include "javatools/CompileService.h"
#include "javatools/CompilerOutputPanel.h"
#include "javatools/DiagnosticMarks.h"
#include "javatools/JavaLookup.h"
#include "javatools/JavaTools.h"
#include "support/FakeHost.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSignalSpy>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace {
// The first check starts a virtual machine; generous for a busy machine under the sanitizers.
constexpr int StartMs = 120000;

using Ranges = QList<std::pair<qsizetype, qsizetype>>;

// The main window with the compile service given: the check as the program wires it.
struct Checked {
    explicit Checked(QStringList command)
    {
        host.services.checkServiceCommand = [command] { return command; };
        window = std::make_unique<frmMain>(host.services);
    }
    // Sets the text and waits for the result of checking it.
    QList<QVariant> type(const QString& text)
    {
        QSignalSpy spy(&checker(), &CheckWhileTyping::shown);
        editor().setText(text);
        if (!spy.wait(StartMs))
            return {};
        return spy.takeFirst();
    }
    EditorControl& editor() { return window->Text1(); }
    CheckWhileTyping& checker() { return window->javaTools().checkWhileTyping(); }
    DiagnosticMarks& marks() { return window->javaTools().marks(); }
    QString count() { return checker().statusLabel()->text(); }
    QString output() { return window->javaTools().outputPanel()->text(); }

    FakeHost host;
    std::unique_ptr<frmMain> window;
};

QStringList realService()
{
    const QStringList command = checkServiceCommand();
    EXPECT_FALSE(command.isEmpty()) << "no JDK or no service jar (scripts/install-deps: default-jdk-headless)";
    return command;
}

void writeFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(text);
}

const QString Broken = QStringLiteral("public class Hello { void f() { int x = ; } }");
const QString Fixed = QStringLiteral("public class Hello { void f() { int x = 1; } }");
} // namespace

TEST(CheckWhileTyping, TheServicesStartFromTheClassArchiveBesideTheirJarWhenThereIsOne)
{
    QTemporaryDir dir;
    const QString jar = dir.filePath(QStringLiteral("tolvane-check.jar"));
    writeFile(jar, "jar");
    const QStringList without = checkServiceCommand(jar);
    if (without.isEmpty())
        GTEST_SKIP() << "no JDK";
    // Whatever the virtual machine logs goes to standard error, never into the replies.
    EXPECT_TRUE(without.contains(QStringLiteral("-Xlog:all=warning:stderr")));
    EXPECT_FALSE(without.join(u' ').contains(QStringLiteral("SharedArchiveFile")));
    writeFile(dir.filePath(QStringLiteral("tolvane-check.jsa")), "archive");
    EXPECT_TRUE(checkServiceCommand(jar).contains(QStringLiteral("-XX:SharedArchiveFile=") +
                                                  dir.filePath(QStringLiteral("tolvane-check.jsa"))));
}

TEST(CheckWhileTyping, TypedErrorIsMarkedAndGoesWithItsFix)
{
    Checked c(realService());
    ASSERT_TRUE(c.checker().action()->isChecked());
    EXPECT_EQ(c.type(Broken), (QList<QVariant>{1, 0}));
    // The compiler's empty range at the ';' still shows a squiggle.
    EXPECT_EQ(c.editor().indicatorRanges(CheckWhileTyping::ErrorIndicator), (Ranges{{40, 41}}));
    EXPECT_EQ(c.count(), QStringLiteral("1 error"));
    EXPECT_EQ(c.marks().messagesOnLine(0), QStringLiteral("error: illegal start of expression"));

    EXPECT_EQ(c.type(Fixed), (QList<QVariant>{0, 0}));
    EXPECT_TRUE(c.editor().indicatorRanges(CheckWhileTyping::ErrorIndicator).isEmpty());
    EXPECT_EQ(c.marks().count(), 0);
    EXPECT_EQ(c.count(), QStringLiteral("No errors"));

    // A text changed while the service works on the old one: the old result never shows.
    QSignalSpy shown(&c.checker(), &CheckWhileTyping::shown);
    QObject::connect(&c.checker(), &CheckWhileTyping::checking, &c.editor(),
                     [&c] { c.editor().setText(Fixed + QStringLiteral(" ")); }, Qt::SingleShotConnection);
    c.editor().setText(Broken);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 1; }, StartMs)) << shown.size();
    EXPECT_EQ(shown.first(), (QList<QVariant>{0, 0}));

    // A Compile started later wins over what the check showed, and the next check over the Compile.
    ASSERT_EQ(c.type(Broken), (QList<QVariant>{1, 0}));
    c.host.fileDialog->willChoose(QStringLiteral("/p/Hello.java")); // Compile saves the text first
    c.window->mnuCompile_Click();
    EXPECT_FALSE(c.checker().showsSquiggles());
    EXPECT_EQ(c.marks().count(), 0);
    EXPECT_EQ(c.count(), QString());
    EXPECT_EQ(c.type(Broken + QStringLiteral(" ")), (QList<QVariant>{1, 0}));
    EXPECT_EQ(c.marks().count(), 1);
    EXPECT_FALSE(c.output().contains(QStringLiteral("Check While Typing")));
}

TEST(CheckWhileTyping, KilledServiceIsNoticedAndRestarted)
{
    Checked c(realService());
    ASSERT_EQ(c.type(Broken), (QList<QVariant>{1, 0}));
    const qint64 first = c.checker().service()->processId();
    ASSERT_GT(first, 0);

    QSignalSpy faulted(c.checker().service(), &CompileService::faulted);
    QSignalSpy shown(&c.checker(), &CheckWhileTyping::shown);
    ::kill(pid_t(first), SIGKILL);
    ASSERT_TRUE(faulted.wait(StartMs));
    EXPECT_EQ(c.marks().count(), 0);
    // Checked again by a new service, without any typing.
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 1; }, StartMs)) << shown.size();
    EXPECT_EQ(shown.first(), (QList<QVariant>{1, 0}));
    EXPECT_NE(c.checker().service()->processId(), first);
    EXPECT_EQ(c.checker().service()->starts(), 2);
    EXPECT_FALSE(c.output().contains(QStringLiteral("Check While Typing")));
}

TEST(CheckWhileTyping, FolderIsSeenNameIsKeptAndNoClassFileIsWritten)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile helper(dir.filePath(QStringLiteral("Helper.java")));
    ASSERT_TRUE(helper.open(QIODevice::WriteOnly));
    helper.write("public class Helper { static int two() { return 2; } }\n");
    helper.close();
    Checked c(realService());
    c.window->document().setCurrentFile(dir.filePath(QStringLiteral("Main.java")), FileFormat());

    EXPECT_EQ(c.type(QStringLiteral("public class Main { int x = Helper.two(); }")), (QList<QVariant>{0, 0}));
    // Saved as Main.java, the document's name holds as it does for javac.
    EXPECT_EQ(c.type(QStringLiteral("public class Other { }")), (QList<QVariant>{1, 0}));
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.class")}, QDir::Files), QStringList());
}

TEST(CheckWhileTyping, MisbehavingServiceIsRestartedAFewTimesThenLeftOff)
{
    const struct {
        const char* what;
        QStringList command;
    } cases[] = {
        {"answers with its own request", {QStringLiteral("cat")}},
        {"never answers", {QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("exec sleep 60")}},
        {"ends at once", {QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("exit 3")}},
        {"cannot be started", {QStringLiteral("/nonexistent/java")}},
    };
    for (const auto& s : cases) {
        Checked c(s.command);
        c.checker().setReplyTimeouts(300, 300);
        c.editor().setText(Broken);
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.output().contains(QStringLiteral("Check While Typing is off")); }, StartMs))
            << s.what << ": " << c.output().toStdString();
        EXPECT_TRUE(c.output().contains(QStringLiteral("Check While Typing is off: the compile service failed 4 times")))
            << s.what << ": " << c.output().toStdString();
        EXPECT_EQ(c.output().count(QStringLiteral("Check While Typing")), 1) << s.what;
        ASSERT_TRUE(QTest::qWaitFor([&] { return !c.checker().action()->isChecked(); }, 5000)) << s.what;
        EXPECT_EQ(c.checker().service(), nullptr) << s.what;
        EXPECT_EQ(c.marks().count(), 0) << s.what;
        EXPECT_EQ(c.count(), QString()) << s.what;
    }
}

TEST(CheckWhileTyping, APackagedFileIsCheckedAgainstItsSourceRoot)
{
    // A Maven layout: the file's own package and the project's other packages live under the root.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.filePath(QStringLiteral("src/main/java"));
    writeFile(root + QStringLiteral("/org/algo/sorts/SortAlgorithm.java"),
              "package org.algo.sorts;\npublic interface SortAlgorithm { int[] sort(int[] a); }\n");
    writeFile(root + QStringLiteral("/org/algo/utils/Swap.java"),
              "package org.algo.utils;\npublic class Swap { public static class Pair { public int a, b; } }\n");
    Checked c(realService());
    c.window->document().setCurrentFile(root + QStringLiteral("/org/algo/sorts/Bubble.java"), FileFormat());

    // Unsaved text that uses the same package, another package and a nested class of it.
    const QString bubble = QStringLiteral("package org.algo.sorts;\nimport org.algo.utils.Swap;\n"
                                          "class Bubble implements SortAlgorithm {\n"
                                          "  public int[] sort(int[] a) { Swap.Pair p = new Swap.Pair(); return a; }\n}\n");
    EXPECT_EQ(c.type(bubble), (QList<QVariant>{0, 0})) << c.marks().messagesOnLine(2).toStdString();
    EXPECT_EQ(c.type(QString(bubble).replace(QStringLiteral("return a;"), QStringLiteral("return p;"))),
              (QList<QVariant>{1, 0}));
    EXPECT_TRUE(c.marks().messagesOnLine(3).contains(QStringLiteral("incompatible types")));

    // The same file in a folder that does not spell its package: one clear error on the package
    // name, and its neighbours are still found.
    const QString stray = dir.filePath(QStringLiteral("stray"));
    writeFile(stray + QStringLiteral("/SortAlgorithm.java"),
              "package org.algo.sorts;\npublic interface SortAlgorithm { int[] sort(int[] a); }\n");
    c.window->document().setCurrentFile(stray + QStringLiteral("/Bubble.java"), FileFormat());
    const QString strayText = QStringLiteral("package org.algo.sorts;\n"
                                             "class Bubble implements SortAlgorithm { public int[] sort(int[] a) { return a; } }\n");
    EXPECT_EQ(c.type(strayText), (QList<QVariant>{1, 0}));
    EXPECT_EQ(c.editor().indicatorRanges(CheckWhileTyping::ErrorIndicator), (Ranges{{8, 22}}));
    EXPECT_EQ(c.marks().messagesOnLine(0),
              QStringLiteral("error: Bubble.java declares the package org.algo.sorts, so it belongs in a folder "
                             "org/algo/sorts under the program's source folder; it is in %1.")
                  .arg(QDir::toNativeSeparators(stray)));
    EXPECT_EQ(c.marks().messagesOnLine(1), QString());
}

TEST(CheckWhileTyping, ANeighbourChangedOnDiskIsSeenByTheNextCheck)
{
    // The service keeps what the compiler read between checks: a neighbour rewritten, as a source or
    // as a class file alone, must still be read afresh.
    for (const bool classFileOnly : {false, true}) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const auto writeHelper = [&](const QByteArray& method) {
            const QString source = dir.filePath(QStringLiteral("Helper.java"));
            writeFile(source, "public class Helper { static int " + method + "() { return 2; } }\n");
            if (classFileOnly) {
                QProcess javac;
                javac.start(QStringLiteral("javac"), {source});
                ASSERT_TRUE(javac.waitForFinished(StartMs) && javac.exitCode() == 0);
                QFile::remove(source);
            }
        };
        writeHelper("two");
        Checked c(realService());
        c.window->document().setCurrentFile(dir.filePath(QStringLiteral("Main.java")), FileFormat());
        EXPECT_EQ(c.type(QStringLiteral("public class Main { int x = Helper.two(); }")), (QList<QVariant>{0, 0}))
            << classFileOnly;
        writeHelper("three");
        EXPECT_EQ(c.type(QStringLiteral("public class Main { int x = Helper.two();  }")), (QList<QVariant>{1, 0}))
            << classFileOnly;
        EXPECT_EQ(c.type(QStringLiteral("public class Main { int x = Helper.three(); }")), (QList<QVariant>{0, 0}))
            << classFileOnly;
    }
}

TEST(CheckWhileTyping, ACheckTheCompilerCannotFinishIsNeverNoErrors)
{
    Checked c(realService());
    QSignalSpy failed(&c.checker(), &CheckWhileTyping::couldNotCheck);
    ASSERT_EQ(c.type(Broken), (QList<QVariant>{1, 0}));
    // Nesting deep enough to overflow the compiler's stack, and a type error javac never reaches.
    const QString deep = QStringLiteral("public class Hello { int x = ") + QString(6000, u'(') + u'1' + QString(6000, u')')
        + QStringLiteral("; String s = 1; }");
    QSignalSpy shown(&c.checker(), &CheckWhileTyping::shown);
    c.editor().setText(deep);
    ASSERT_TRUE(failed.wait(StartMs));
    EXPECT_EQ(shown.size(), 0);
    EXPECT_EQ(c.count(), QStringLiteral("Check could not run"));
    EXPECT_TRUE(c.checker().statusLabel()->toolTip().contains(QStringLiteral("could not finish checking")));
    EXPECT_TRUE(c.checker().statusLabel()->toolTip().contains(QStringLiteral("StackOverflowError")));
    // The earlier text's squiggles do not stay to pass for this one's.
    EXPECT_FALSE(c.checker().showsSquiggles());
    EXPECT_EQ(c.marks().count(), 0);

    // The service lives on: the next text is checked as usual.
    EXPECT_EQ(c.type(Fixed), (QList<QVariant>{0, 0}));
    EXPECT_EQ(c.count(), QStringLiteral("No errors"));
    EXPECT_EQ(c.checker().statusLabel()->toolTip(), QString());
    EXPECT_EQ(c.checker().service()->starts(), 1);
}
