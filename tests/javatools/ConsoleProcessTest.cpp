// Small Java programs run through the real process starter: prompts, the end of input, and every
// process a program starts ending with Stop or with the editor.
#include "host/ConsoleOutput.h"
#include "host/QtProcessStarter.h"
#include "javatools/CompilerOutputPanel.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {
constexpr int RunTimeoutMs = 240000;

const char* const Programs[][2] = {
    {"Greet.java", "import java.util.Scanner;\n"
                   "public class Greet { public static void main(String[] a) {\n"
                   "  Scanner in = new Scanner(System.in);\n"
                   "  System.out.print(\"Name? \");\n"
                   "  String name = in.nextLine();\n"
                   "  System.out.print(\"Hello, \" + name + \"! Age? \");\n"
                   "  int age = in.nextInt();\n"
                   "  System.out.println(\"Next year \" + (age + 1));\n"
                   "} }\n"},
    {"Sum.java", "import java.util.Scanner;\n"
                 "public class Sum { public static void main(String[] a) {\n"
                 "  Scanner in = new Scanner(System.in);\n"
                 "  int sum = 0;\n"
                 "  while (in.hasNextInt()) sum += in.nextInt();\n"
                 "  System.out.println(\"sum \" + sum);\n"
                 "} }\n"},
    // Starts one child in a session of its own and one that ignores hangups, prints their pids,
    // then waits for ever or ends at once.
    {"Spawn.java", "public class Spawn { public static void main(String[] a) throws Exception {\n"
                   "  for (String how : new String[] {\"setsid\", \"nohup\"}) {\n"
                   "    Process p = new ProcessBuilder(how, \"sleep\", \"300\")\n"
                   "        .redirectOutput(ProcessBuilder.Redirect.DISCARD)\n"
                   "        .redirectError(ProcessBuilder.Redirect.DISCARD).start();\n"
                   "    System.out.println(p.pid());\n"
                   "  }\n"
                   "  System.out.println(\"started\");\n"
                   "  if (a.length > 0 && a[0].equals(\"wait\")) Thread.sleep(300000);\n"
                   "} }\n"},
};

class ConsoleProcessTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (QStandardPaths::findExecutable("javac").isEmpty())
            return;
        classes = std::make_unique<QTemporaryDir>();
        QStringList sources;
        for (const auto& [name, text] : Programs) {
            QFile file(classes->filePath(name));
            if (file.open(QIODevice::WriteOnly))
                file.write(text);
            sources << file.fileName();
        }
        QProcess javac;
        javac.start("javac", QStringList{"-d", classes->path()} + sources);
        compiled = javac.waitForFinished(RunTimeoutMs) && javac.exitCode() == 0;
    }
    static void TearDownTestSuite() { classes.reset(); }

    void SetUp() override
    {
        if (!compiled)
            GTEST_SKIP() << "javac is not on the search path, or the programs did not compile";
        starter = std::make_unique<QtProcessStarter>();
        starter->setConsoleOutput(&panel);
        QObject::connect(&panel, &CompilerOutputPanel::runFinished, &panel, [this] { ++finished; });
    }

    // program: the class to run, then its arguments, separated by blanks.
    qint64 start(const QString& program)
    {
        ConsoleStart how;
        how.interactive = true;
        return starter->startConsole("java", QStringList{"-cp", classes->path()} + program.split(u' '), how);
    }
    // The text of the latest run.
    QString latestRun() const { return panel.text().mid(panel.text().lastIndexOf("] java -cp ")); }
    // The pids of the children the latest Spawn printed.
    QList<pid_t> spawned()
    {
        [&] { ASSERT_TRUE(QTest::qWaitFor([&] { return latestRun().contains("started"); }, RunTimeoutMs)); }();
        QList<pid_t> pids;
        const QStringList lines = latestRun().split(u'\n');
        for (const QString& line : lines) {
            bool number = false;
            const pid_t pid = line.toInt(&number);
            if (number)
                pids << pid;
        }
        return pids;
    }
    static bool gone(pid_t pid)
    {
        QFile status(QStringLiteral("/proc/%1/stat").arg(pid));
        return !status.open(QIODevice::ReadOnly) || status.readAll().contains(") Z ");
    }
    static bool allGone(const QList<pid_t>& pids)
    {
        return std::all_of(pids.cbegin(), pids.cend(), gone);
    }

    static inline std::unique_ptr<QTemporaryDir> classes;
    static inline bool compiled = false;
    CompilerOutputPanel panel;
    std::unique_ptr<QtProcessStarter> starter;
    int finished = 0;
};

TEST_F(ConsoleProcessTest, APromptShowsBeforeItsAnswerIsSent)
{
    const qint64 task = start("Greet");
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.text().endsWith("\nName? "); }, RunTimeoutMs)) << panel.text().toStdString();
    panel.echoInput(task, "Ann");
    ASSERT_TRUE(starter->writeInput(task, "Ann\n"));
    // The next prompt comes in its turn, not a step behind.
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.text().endsWith("Hello, Ann! Age? "); }, RunTimeoutMs))
        << panel.text().toStdString();
    ASSERT_TRUE(starter->writeInput(task, "41\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 1; }, RunTimeoutMs));
    EXPECT_TRUE(panel.text().contains("\nName? Ann\nHello, Ann! Age? Next year 42\n")) << panel.text().toStdString();
}

TEST_F(ConsoleProcessTest, AProgramReadingToTheEndOfItsInputFinishesWhenTheInputIsClosed)
{
    const qint64 task = start("Sum");
    ASSERT_TRUE(starter->writeInput(task, "1 2\n3\n"));
    ASSERT_TRUE(starter->closeInput(task));
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 1; }, RunTimeoutMs));
    EXPECT_TRUE(panel.text().contains("\nsum 6\n")) << panel.text().toStdString();
    EXPECT_FALSE(starter->closeInput(task));
}

TEST_F(ConsoleProcessTest, StopEndsChildrenThatLeftTheProgramsGroup)
{
    const qint64 task = start("Spawn wait");
    const QList<pid_t> children = spawned();
    ASSERT_EQ(children.size(), 2);
    EXPECT_EQ(starter->leftovers(task), 2);
    ASSERT_TRUE(starter->stop(task));
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 1; }, RunTimeoutMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return allGone(children); }, 10000));
}

TEST_F(ConsoleProcessTest, WhatAFinishedProgramLeftRunningEndsWithStopOrWithTheEditor)
{
    for (const bool byStop : {true, false}) {
        finished = 0;
        const qint64 task = start("Spawn");
        const QList<pid_t> children = spawned();
        ASSERT_EQ(children.size(), 2);
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 1; }, RunTimeoutMs));
        EXPECT_EQ(starter->leftovers(task), 2) << byStop;
        EXPECT_FALSE(allGone(children));
        if (byStop)
            EXPECT_TRUE(starter->stop(task));
        else
            starter.reset();
        EXPECT_TRUE(QTest::qWaitFor([&] { return allGone(children); }, 10000)) << byStop;
        if (!starter) {
            starter = std::make_unique<QtProcessStarter>();
            starter->setConsoleOutput(&panel);
        }
        EXPECT_EQ(starter->leftovers(task), 0);
    }
}
} // namespace
