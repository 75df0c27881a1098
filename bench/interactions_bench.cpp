// View > Interactions: how long the pane takes to be ready once opened, and how long a simple
// expression takes to be answered in a warm session, beside the JDK's own jshell tool on the same
// input (bench/README-interactions.md).
#include "app/frmMain.h"
#include "host/HostServices.h"
#include "javatools/InteractionsPane.h"
#include "javatools/JavaLookup.h"
#include "javatools/JavaTools.h"

#include <benchmark/benchmark.h>

#include <functional>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

namespace {
constexpr int WaitMs = 60000;

// Does action and waits until sender sends signal; false after WaitMs.
template <typename Signal>
bool doAndWait(InteractionsPane& sender, Signal signal, const std::function<void()>& action)
{
    QEventLoop loop;
    bool fired = false;
    const auto connection = QObject::connect(&sender, signal, &loop, [&] {
        fired = true;
        loop.quit();
    });
    QTimer::singleShot(WaitMs, &loop, &QEventLoop::quit);
    action();
    if (!fired)
        loop.exec();
    QObject::disconnect(connection);
    return fired;
}

void BM_PaneReadyAfterOpening(benchmark::State& state)
{
    HostServices host = makeQtHost();
    host.interactionsServiceCommand = [] { return interactionsServiceCommand(); }; // as the program's start sets it
    for (auto _ : state) {
        frmMain window(host);
        InteractionsPane& pane = window.javaTools().interactions();
        pane.setHistoryFile(QString());
        QElapsedTimer clock;
        clock.start();
        if (!doAndWait(pane, &InteractionsPane::sessionReady, [&] { pane.open(); })) {
            const std::string said = "the session never became ready: " + pane.transcript()->toPlainText().toStdString();
            state.SkipWithError(said.c_str());
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
}

void BM_PaneWarmExpression(benchmark::State& state)
{
    HostServices host = makeQtHost();
    host.interactionsServiceCommand = [] { return interactionsServiceCommand(); }; // as the program's start sets it
    frmMain window(host);
    InteractionsPane& pane = window.javaTools().interactions();
    pane.setHistoryFile(QString());
    if (!doAndWait(pane, &InteractionsPane::sessionReady, [&] { pane.open(); })) {
        state.SkipWithError("the session never became ready");
        return;
    }
    const auto evaluate = [&] {
        return doAndWait(pane, &InteractionsPane::answered, [&] {
            pane.input()->setText(QStringLiteral("7/2"));
            pane.submit();
        });
    };
    for (int i = 0; i < 20; ++i)
        evaluate();
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        if (!evaluate()) {
            state.SkipWithError("no answer");
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
    if (!pane.transcript()->toPlainText().endsWith(QStringLiteral("3 (int)")))
        state.SkipWithError("a wrong answer");
}

// The jshell tool reading the same input from a pipe; its answer to 7/2 is a line "$N ==> 3".
struct JshellTool {
    QProcess process;
    QByteArray seen;
    int answers = 0;

    bool start()
    {
        process.start(QStringLiteral("jshell"), {QStringLiteral("-q")});
        return process.waitForStarted(WaitMs);
    }
    bool ask()
    {
        const int wanted = answers + 1;
        process.write("7/2\n");
        QElapsedTimer clock;
        clock.start();
        while (seen.count("==> 3") < wanted) {
            if (clock.elapsed() > WaitMs || !process.waitForReadyRead(WaitMs))
                return false;
            seen += process.readAllStandardOutput();
        }
        answers = wanted;
        return true;
    }
    ~JshellTool()
    {
        process.closeWriteChannel();
        if (!process.waitForFinished(5000))
            process.kill();
    }
};

void BM_JshellToolFirstAnswer(benchmark::State& state)
{
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        JshellTool tool;
        if (!tool.start() || !tool.ask()) {
            state.SkipWithError("jshell gave no answer");
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
}

void BM_JshellToolWarmExpression(benchmark::State& state)
{
    JshellTool tool;
    if (!tool.start()) {
        state.SkipWithError("jshell did not start");
        return;
    }
    for (int i = 0; i < 20; ++i)
        tool.ask();
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        if (!tool.ask()) {
            state.SkipWithError("jshell gave no answer");
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
}

BENCHMARK(BM_PaneReadyAfterOpening)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JshellToolFirstAnswer)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaneWarmExpression)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JshellToolWarmExpression)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
