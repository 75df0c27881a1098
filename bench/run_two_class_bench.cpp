// F5 on a two-class program to the first line it prints, as a user meets it: Main uses Account,
// Account.java was just edited and saved, Main is unchanged. Beside it, the same by hand: javac on
// Main with the source path, then java; and F5 again with nothing changed (no compile).
//
//   cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVANE_BUILD_BENCH=ON -DTOLVANE_BUILD_TESTS=OFF
//   cmake --build build-rel --target run_two_class_bench && build-rel/bench/run_two_class_bench
#include "app/frmMain.h"
#include "document/Document.h"
#include "host/HostServices.h"
#include "javatools/CompilerOutputPanel.h"
#include "javatools/JavaTools.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

namespace {
struct Program {
    QTemporaryDir dir;
    QString root() const { return dir.filePath(QStringLiteral("src")); }
    QString main() const { return root() + QStringLiteral("/bank/Main.java"); }
    QString account() const { return root() + QStringLiteral("/bank/Account.java"); }

    Program()
    {
        QDir().mkpath(root() + QStringLiteral("/bank"));
        write(main(), "package bank;\npublic class Main {\n  public static void main(String[] a) {\n"
                      "    Account x = new Account(); x.add(50);\n    System.out.println(\"balance \" + x.balance());\n  }\n}\n");
        editAccount(30);
    }
    // The helper as the user saves it: a new starting balance, a new modification time.
    void editAccount(int start)
    {
        write(account(), QStringLiteral("package bank;\nclass Account {\n  private double b = %1;\n"
                                        "  void add(double d) { b += d; }\n  double balance() { return b; }\n}\n")
                             .arg(start)
                             .toUtf8());
    }
    static void write(const QString& path, const QByteArray& text)
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(text);
    }
};

// Waits until the panel shows expected once more than before; false after a minute.
bool waitFor(CompilerOutputPanel& panel, const QString& expected)
{
    const qsizetype before = panel.text().count(expected);
    QElapsedTimer waited;
    waited.start();
    while (panel.text().count(expected) == before) {
        if (waited.elapsed() > 60000)
            return false;
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void runInEditor(benchmark::State& state, bool changeHelper)
{
    Program program;
    HostServices host = makeQtHost();
    host.checkServiceCommand = nullptr; // the check's own virtual machine would compete for the processor
    frmMain window(host);
    window.setRecentFilesStore(program.dir.filePath(QStringLiteral("recent-files")));
    window.document().loadFile(program.main());
    CompilerOutputPanel& panel = *window.javaTools().outputPanel();
    int start = 30;
    const auto settle = [] {
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
    };
    // Compiled once, so that only the helper's change is new.
    window.mnuRun_Click();
    if (!waitFor(panel, QStringLiteral("balance 80.0")))
        state.SkipWithError("the program did not run");
    settle();
    for (auto _ : state) {
        state.PauseTiming();
        if (changeHelper) {
            // Modification times may be whole seconds: the edit must come clearly after the classes.
            QThread::msleep(1100);
            program.editAccount(++start);
        }
        state.ResumeTiming();
        window.mnuRun_Click();
        if (!waitFor(panel, QStringLiteral("balance %1.0").arg(start + 50))) {
            state.SkipWithError("the program's output did not come, or came stale");
            break;
        }
        state.PauseTiming();
        settle();
        state.ResumeTiming();
    }
}

void BM_F5AfterEditingTheHelper(benchmark::State& state) { runInEditor(state, true); }
void BM_F5WithNothingChanged(benchmark::State& state) { runInEditor(state, false); }

void BM_JavacAndJavaByHand(benchmark::State& state)
{
    Program program;
    int start = 30;
    for (auto _ : state) {
        state.PauseTiming();
        QThread::msleep(1100);
        program.editAccount(++start);
        state.ResumeTiming();
        QProcess javac;
        javac.start(QStringLiteral("javac"), {QStringLiteral("-sourcepath"), program.root(), program.main()});
        javac.waitForFinished(-1);
        QProcess java;
        java.start(QStringLiteral("java"), {QStringLiteral("-cp"), program.root(), QStringLiteral("bank.Main")});
        java.waitForReadyRead(-1);
        const QByteArray line = java.readLine();
        java.waitForFinished(-1);
        if (!line.startsWith(QStringLiteral("balance %1.0").arg(start + 50).toUtf8()))
            state.SkipWithError("stale or no output");
    }
}

BENCHMARK(BM_F5AfterEditingTheHelper)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_F5WithNothingChanged)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_JavacAndJavaByHand)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
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
