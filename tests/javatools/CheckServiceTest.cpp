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
#include <QLabel>
#include <QSignalSpy>
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

const QString Broken = QStringLiteral("public class Hello { void f() { int x = ; } }");
const QString Fixed = QStringLiteral("public class Hello { void f() { int x = 1; } }");
} // namespace

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
    QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 1, StartMs);
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
    QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 1, StartMs);
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
        QTRY_VERIFY_WITH_TIMEOUT(c.output().contains(QStringLiteral("Check While Typing is off")), StartMs);
        EXPECT_TRUE(c.output().contains(QStringLiteral("Check While Typing is off: the compile service failed 4 times")))
            << s.what << ": " << c.output().toStdString();
        EXPECT_EQ(c.output().count(QStringLiteral("Check While Typing")), 1) << s.what;
        QTRY_VERIFY_WITH_TIMEOUT(!c.checker().action()->isChecked(), 5000);
        EXPECT_EQ(c.checker().service(), nullptr) << s.what;
        EXPECT_EQ(c.marks().count(), 0) << s.what;
        EXPECT_EQ(c.count(), QString()) << s.what;
    }
}
