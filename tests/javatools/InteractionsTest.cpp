// The Interactions pane against the real service on the JDK's jdk.jshell engine.
#include "app/frmMain.h"
#include "document/Document.h"
#include "editor/EditorControl.h"
#include "javatools/CompilerOutputPanel.h"
#include "javatools/InteractionsEngine.h"
#include "javatools/InteractionsPane.h"
#include "javatools/JavaLookup.h"
#include "javatools/JavaTools.h"
#include "support/FakeHost.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

using InteractionsProtocol::Item;
using InteractionsProtocol::ItemKind;

namespace {
// A session starts two virtual machines; generous for a busy machine under the sanitizers.
constexpr int StartMs = 120000;

QStringList realService()
{
    const QStringList command = interactionsServiceCommand();
    EXPECT_FALSE(command.isEmpty()) << "no JDK or no service jar (scripts/install-deps: default-jdk-headless)";
    return command;
}

// The engine with what it said, one evaluation at a time.
struct Session {
    Session() : engine(realService())
    {
        QObject::connect(&engine, &InteractionsEngine::output, [this](const QString& text, bool) { printed += text; });
        QSignalSpy ready(&engine, &InteractionsEngine::ready);
        engine.startSession(QString());
        EXPECT_TRUE(ready.wait(StartMs));
    }
    struct Answer {
        bool complete = false;
        QList<Item> items;
    };
    Answer evaluate(const QString& source)
    {
        QSignalSpy spy(&engine, &InteractionsEngine::evaluated);
        EXPECT_TRUE(engine.evaluate(source));
        if (!spy.wait(StartMs))
            return {};
        return {spy[0][1].toBool(), spy[0][2].value<QList<Item>>()};
    }
    InteractionsEngine engine;
    QString printed;
};

// The kind and what the transcript would show of the first thing an evaluation told.
QString first(const Session::Answer& answer)
{
    if (!answer.complete)
        return QStringLiteral("(continues)");
    if (answer.items.isEmpty())
        return QStringLiteral("(nothing)");
    const Item& item = answer.items.first();
    switch (item.kind) {
    case ItemKind::Value:
        return (item.name.isEmpty() ? QString() : item.name + QStringLiteral(" = ")) + item.value + QStringLiteral(" : ")
            + item.type;
    case ItemKind::Declared:
        return QStringLiteral("declared ") + item.name;
    case ItemKind::Error:
        return QStringLiteral("error [%1,%2) ").arg(item.start).arg(item.end) + item.message.section(u'\n', 0, 0);
    case ItemKind::Exception:
        return QStringLiteral("exception ") + item.message.section(u'\n', 0, 0);
    case ItemKind::Note:
        return QStringLiteral("note");
    }
    return {};
}
} // namespace

TEST(InteractionsEngine, EvaluatesWhatALearnerTypes)
{
    qRegisterMetaType<QList<Item>>();
    Session s;
    // In order: later inputs use what earlier ones declared.
    const struct {
        QString source;
        QString told;
    } cases[] = {
        {"7/2", "3 : int"},
        {"7.0 / 2", "3.5 : double"},
        {"\"ab\" + 1", "\"ab1\" : String"},
        {"int k = 20;", "k = 20 : int"},
        {"k + 22", "42 : int"},
        {"k = k * 2", "k = 40 : int"},
        {"void f() {", "(continues)"},
        {"1 +", "(continues)"},
        {"int twice(int x) { return 2 * x; }", "declared method twice(int)"},
        {"twice(k)", "80 : int"},
        {"class Box { int v = 5; }", "declared class Box"},
        {"new Box().v", "5 : int"},
        {"import java.time.*;", "declared import java.time.*"},
        {"Duration.ofSeconds(90).toMinutes()", "1 : long"},
        {"List.of(1, 2).size()", "2 : int"}, // java.util is at hand from the start
        {"int x = ;", "error [8,8) illegal start of expression"},
        {"undefinedName + 1", "error [0,13) cannot find symbol"},
        {"int a = 1; a + k", "a = 1 : int"},
        {"1/0", "exception java.lang.ArithmeticException: / by zero"},
        {"String s = null; s.length()", "s = null : String"},
        {"", "(nothing)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(first(s.evaluate(c.source)), c.told) << c.source.toStdString();

    // Several snippets in one input: each tells its own.
    const Session::Answer both = s.evaluate(QStringLiteral("int m = 3; m * m"));
    ASSERT_EQ(both.items.size(), 2);
    EXPECT_EQ(both.items[1].value, "9");
    // What the code prints arrives as it is printed.
    EXPECT_EQ(first(s.evaluate(QStringLiteral("System.out.println(\"h\u00e9llo\")"))), "(nothing)");
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.printed == QStringLiteral("h\u00e9llo\n"); }, 10000)) << s.printed.toStdString();
}

TEST(InteractionsEngine, StopSystemInAndSystemExitLeaveTheSessionUsable)
{
    qRegisterMetaType<QList<Item>>();
    Session s;
    const qint64 service = s.engine.processId();

    // An endless loop is interrupted, and the declarations made before it are still there.
    s.evaluate(QStringLiteral("int kept = 7;"));
    QSignalSpy evaluated(&s.engine, &InteractionsEngine::evaluated);
    ASSERT_TRUE(s.engine.evaluate(QStringLiteral("while (true) { }")));
    QTest::qWait(500);
    EXPECT_TRUE(s.engine.isBusy());
    s.engine.stop();
    ASSERT_TRUE(evaluated.wait(StartMs));
    EXPECT_EQ(first(s.evaluate(QStringLiteral("kept"))), "kept = 7 : int");

    // System.in asks for a line and reads it, after a stop as before.
    QSignalSpy wanted(&s.engine, &InteractionsEngine::inputWanted);
    evaluated.clear();
    ASSERT_TRUE(s.engine.evaluate(QStringLiteral("new java.util.Scanner(System.in).nextInt() * 2")));
    ASSERT_TRUE(wanted.wait(StartMs));
    wanted.clear();
    s.engine.sendInput(QStringLiteral("21"));
    // The line typed is what the code reads: no second line is asked for.
    ASSERT_TRUE(evaluated.wait(StartMs));
    EXPECT_EQ(evaluated[0][2].value<QList<Item>>().value(0).value, "42");
    EXPECT_TRUE(wanted.isEmpty());

    // Line by line: each read asks once, and gets exactly the line typed (an empty one, too).
    evaluated.clear();
    const QStringList lines{QStringLiteral("a b"), QString(), QStringLiteral("\u00e9")};
    ASSERT_TRUE(s.engine.evaluate(QStringLiteral("new java.io.BufferedReader(new java.io.InputStreamReader(System.in))"
                                                 ".lines().limit(3).collect(java.util.stream.Collectors.joining(\"|\"))")));
    for (int i = 0; i < lines.size(); ++i) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return wanted.size() == i + 1; }, StartMs)) << wanted.size();
        s.engine.sendInput(lines[i]);
    }
    ASSERT_TRUE(evaluated.wait(StartMs));
    EXPECT_EQ(evaluated[0][2].value<QList<Item>>().value(0).value, "\"a b||\u00e9\"");
    EXPECT_EQ(wanted.size(), lines.size());

    // A read of System.in is stopped too.
    evaluated.clear();
    wanted.clear();
    ASSERT_TRUE(s.engine.evaluate(QStringLiteral("System.in.read()")));
    ASSERT_TRUE(wanted.wait(StartMs));
    s.engine.stop();
    ASSERT_TRUE(evaluated.wait(StartMs));

    // System.exit ends the session's machine only: a fresh session takes its place.
    QSignalSpy ended(&s.engine, &InteractionsEngine::sessionEnded);
    s.evaluate(QStringLiteral("System.exit(0)"));
    if (ended.isEmpty()) {
        ASSERT_TRUE(ended.wait(StartMs));
    }
    EXPECT_EQ(first(s.evaluate(QStringLiteral("6 * 7"))), "42 : int");
    EXPECT_EQ(s.engine.processId(), service) << "the service itself went on";
}

TEST(InteractionsPane, StoryOfALearnerWithTheOpenDocumentsClass)
{
    qRegisterMetaType<QList<Item>>();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    qputenv("XDG_STATE_HOME", folder.filePath(QStringLiteral("state")).toUtf8());
    const QString source = folder.filePath(QStringLiteral("Acc.java"));
    const QByteArray text = "public class Acc {\n    public static int twice(int x) { return 2 * x; }\n}\n";
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    // Compiled already: the pane starts without compiling again.
    ASSERT_EQ(QProcess::execute(QStringLiteral("javac"), {source}), 0);

    FakeHost host;
    host.files->files[source] = text;
    host.services.interactionsServiceCommand = [] { return realService(); };
    frmMain window(host.services);
    window.show();
    ASSERT_TRUE(window.document().loadFile(source));
    InteractionsPane& pane = window.javaTools().interactions();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    QSignalSpy ready(&pane, &InteractionsPane::sessionReady);
    window.Text1().setFocus();
    QTest::keyClick(&window.Text1(), Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(pane.isVisible());
    EXPECT_TRUE(pane.action()->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), pane.input());
    EXPECT_TRUE(pane.input()->accessibleName().contains(QStringLiteral("Interactions")));
    ASSERT_TRUE(ready.wait(StartMs));
    EXPECT_EQ(QDir(pane.classPath()), QDir(folder.path()));
    EXPECT_EQ(host.processes->calls.size(), 0) << "nothing compiled: the classes were up to date";

    const auto type = [&](const QString& line) {
        QSignalSpy answered(&pane, &InteractionsPane::answered);
        QTest::keyClicks(pane.input(), line);
        QTest::keyClick(pane.input(), Qt::Key_Return);
        EXPECT_TRUE(answered.wait(StartMs)) << line.toStdString();
    };
    type(QStringLiteral("7/2"));
    type(QStringLiteral("int k = 20;"));
    type(QStringLiteral("k + 22"));
    type(QStringLiteral("Acc.twice(50)"));
    // Lines typed while code runs wait their turn (they are no System.in for code that does not read it).
    {
        QSignalSpy answered(&pane, &InteractionsPane::answered);
        for (const char* line : {"Thread.sleep(1500)", "void later() {", "}"}) {
            QTest::keyClicks(pane.input(), QString::fromLatin1(line));
            QTest::keyClick(pane.input(), Qt::Key_Return);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return answered.size() == 3; }, StartMs)) << answered.size();
        EXPECT_TRUE(pane.transcript()->toPlainText().endsWith(QStringLiteral("method later() declared")));
    }
    // Stop ends an endless loop, and says so.
    {
        QSignalSpy answered(&pane, &InteractionsPane::answered);
        QTest::keyClicks(pane.input(), QStringLiteral("while (true) { }"));
        QTest::keyClick(pane.input(), Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor([&] { return pane.stopButton()->isEnabled(); }));
        QTest::mouseClick(pane.stopButton(), Qt::LeftButton);
        ASSERT_TRUE(answered.wait(StartMs));
        EXPECT_TRUE(pane.transcript()->toPlainText().endsWith(QStringLiteral("Stopped.")));
    }
    type(QStringLiteral("void hi() {"));
    type(QStringLiteral("}"));
    type(QStringLiteral("System.exit(0)"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane.transcript()->toPlainText().contains(QStringLiteral("The session ended")); }, StartMs))
        << pane.transcript()->toPlainText().toStdString();
    type(QStringLiteral("1 + 1"));
    const QString transcript = pane.transcript()->toPlainText();
    for (const char* shown : {"> 7/2\n3 (int)", "> int k = 20;\nk = 20 (int)", "> k + 22\n42 (int)",
                              "> Acc.twice(50)\n100 (int)", "> void hi() {\n. }\nmethod hi() declared", "> 1 + 1\n2 (int)"})
        EXPECT_TRUE(transcript.contains(QString::fromUtf8(shown))) << shown << "\nin:\n" << transcript.toStdString();

    // Up brings back what was typed, in a later window too.
    QTest::keyClick(pane.input(), Qt::Key_Up);
    EXPECT_EQ(pane.input()->text(), "1 + 1");
    frmMain later(host.services);
    later.javaTools().interactions().setHistoryFile(folder.filePath(QStringLiteral("state/tolvane/interactions-history")));
    later.javaTools().interactions().open();
    QTest::keyClick(later.javaTools().interactions().input(), Qt::Key_Up);
    EXPECT_EQ(later.javaTools().interactions().input()->text(), "1 + 1");
    qunsetenv("XDG_STATE_HOME");
}

TEST(InteractionsPane, CompilesAStaleDocumentFirstAndPicksItsClassesUpOnReset)
{
    QTemporaryDir folder;
    const QString source = folder.filePath(QStringLiteral("Acc.java"));
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("public class Acc {}\n");
    }
    FakeHost host;
    host.files->files[source] = "public class Acc {}\n";
    host.services.interactionsServiceCommand = [] { return QStringList{QStringLiteral("/nonexistent/java")}; };
    frmMain window(host.services);
    ASSERT_TRUE(window.document().loadFile(source));
    InteractionsPane& pane = window.javaTools().interactions();
    pane.setHistoryFile(QString());

    window.resize(1000, 700);
    window.show();

    // No class file yet: javac runs first, and the session waits for it.
    pane.open();
    ASSERT_EQ(host.processes->calls.size(), 1);
    // The compiler output, shown for the compile, shares the width with the pane half and half.
    CompilerOutputPanel* output = window.javaTools().outputPanel();
    output->processStarted(host.processes->lastTaskId, host.processes->calls[0].commandLine, folder.path());
    ASSERT_TRUE(output->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::abs(output->width() - pane.width()) < 60; }, 2000))
        << output->width() << " beside " << pane.width();
    EXPECT_TRUE(host.processes->calls[0].commandLine.startsWith(QStringLiteral("javac ")));
    EXPECT_FALSE(pane.engine()->isRunning());
    EXPECT_FALSE(pane.resetButton()->isEnabled());
    // A service that cannot start says so in the transcript; the window goes on.
    QSignalSpy failed(pane.engine(), &InteractionsEngine::failed);
    output->processFinished(host.processes->lastTaskId, 0, false);
    ASSERT_TRUE(failed.wait(10000));
    EXPECT_TRUE(pane.transcript()->toPlainText().contains(QStringLiteral("Compiling Acc.java first...")));
    EXPECT_TRUE(pane.transcript()->toPlainText().contains(QStringLiteral("The Interactions service stopped")));
    EXPECT_TRUE(pane.resetButton()->isEnabled());

    // Unsaved changes make the classes stale too: Reset saves and compiles again.
    window.Text1().setText(QStringLiteral("public class Acc { static int one() { return 1; } }\n"));
    pane.reset();
    ASSERT_EQ(host.processes->calls.size(), 2);
    EXPECT_FALSE(window.document().Modified());
}

TEST(InteractionsPane, WithoutAJdkSaysWhatToInstallOnce)
{
    FakeHost host; // no service command: no JDK
    frmMain window(host.services);
    InteractionsPane& pane = window.javaTools().interactions();
    pane.setHistoryFile(QString());
    pane.open();
    pane.open();
    QTest::keyClicks(pane.input(), QStringLiteral("7/2"));
    QTest::keyClick(pane.input(), Qt::Key_Return);
    EXPECT_EQ(pane.transcript()->toPlainText().count(QStringLiteral("sudo apt install default-jdk")), 1);
    EXPECT_TRUE(host.messageBox->calls.isEmpty());
}
