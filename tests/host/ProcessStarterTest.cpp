// Real processes through the process starter, their output reported to a console.
#include "host/ConsoleOutput.h"
#include "host/HostError.h"
#include "host/QtProcessStarter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/types.h>

namespace {
// Generous: the sanitizers on a busy machine slow every start down.
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
    const QStringList arguments{"-c", "printf '[%s]' \"$@\"; echo oops >&2; exit 3", "sh", "a b", "c"};
    const QString line = "sh -c \"printf '[%s]' \\\"$@\\\"; echo oops >&2; exit 3\" sh \"a b\" c";
    const qint64 id = starter.StartProcess("sh", arguments, ws::MinimizedFocus);
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
    starter.StartProcess("sh", {"-c", QStringLiteral("until [ -e '%1' ]; do sleep 0.02; done").arg(go)}, ws::MinimizedFocus);
    EXPECT_EQ(sink.finished, 0);
    QFile(go).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sink.finished == 1; }, RunTimeoutMs));
}

TEST(QtProcessStarter, AMissingProgramFailsWithTheSystemsReason)
{
    QtProcessStarter starter;
    RecordingOutput sink;
    starter.setConsoleOutput(&sink);
    for (const QString& program : {QStringLiteral("tolvane-no-such-program"), QStringLiteral("/nonexistent/javac")}) {
        sink.events.clear();
        try {
            starter.StartProcess(program, {"Hello.java"}, ws::MinimizedFocus);
            ADD_FAILURE() << "started " << program.toStdString();
        } catch (const HostError& error) {
            EXPECT_TRUE(error.message().contains("No such file or directory")) << error.message().toStdString();
            ASSERT_EQ(sink.events.size(), 2);
            EXPECT_TRUE(sink.events[1].startsWith("failed")) << sink.events[1].toStdString();
            EXPECT_TRUE(sink.events[1].contains("No such file or directory"));
        }
    }
    EXPECT_THROW(starter.StartProcess("tolvane-no-such-program", {}, ws::NormalFocus), HostError);
    EXPECT_THROW(starter.StartProcess("   ", {}, ws::MinimizedFocus), HostError);
}

TEST(QtProcessStarter, RunsWithoutASinkAndOutlivingTheStarter)
{
    auto starter = std::make_unique<QtProcessStarter>();
    RecordingOutput sink;
    starter->setConsoleOutput(&sink);
    QTemporaryDir dir;
    const QString go = dir.filePath("go");
    const QString done = dir.filePath("done");
    starter->StartProcess("sh", {"-c", QStringLiteral("until [ -e '%1' ]; do sleep 0.02; done; echo late; : > '%2'").arg(go, done)},
                          ws::MinimizedFocus);
    starter.reset(); // the run goes on and reports to no one
    QFile(go).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(done); }, RunTimeoutMs));
    QCoreApplication::processEvents();
    EXPECT_EQ(sink.finished, 0);
    EXPECT_TRUE(sink.output.isEmpty());

    QtProcessStarter quiet;
    const QString quietDone = dir.filePath("quiet");
    EXPECT_NO_THROW(quiet.StartProcess("sh", {"-c", QStringLiteral(": > '%1'").arg(quietDone)}, ws::MinimizedFocus));
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
        "sh", {"-c", "pwd; echo $LC_CTYPE; read a; echo got $a; sleep 300 & echo $! > child; wait"}, how);
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
} // namespace
