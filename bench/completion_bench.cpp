// Completion on a 1,000-line class: the service's answer warm and right after it starts, the UI
// thread's work from Ctrl+Space to the list on screen, and a javac process on the same file.
//
//   cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVANE_BUILD_BENCH=ON -DTOLVANE_BUILD_TESTS=OFF
//   cmake --build build-rel --target completion_bench tolvane_check_service && build-rel/bench/completion_bench
#include "app/frmMain.h"
#include "editor/EditorControl.h"
#include "host/HostServices.h"
#include "javatools/CodeCompletion.h"
#include "javatools/CompileService.h"
#include "javatools/JavaLookup.h"
#include "javatools/JavaTools.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <ctime>

#include <sys/resource.h>
#include <unistd.h>

namespace {
// A class of 1,000 lines with fields, methods, loops and a nested class; the caret after "names12.s"
// in the middle of it (a List<String>: size, set, stream, subList...).
const QString Caret = QStringLiteral("        names12.s");

QString thousandLineClass()
{
    QStringList lines{QStringLiteral("import java.util.*;"), QString(), QStringLiteral("public class Big {")};
    int method = 0;
    while (lines.size() < 990) {
        lines << QStringLiteral("    private final List<String> names%1 = new ArrayList<>();").arg(method)
              << QStringLiteral("    public int compute%1(int a, int b) {").arg(method)
              << QStringLiteral("        int total = 0;")
              << QStringLiteral("        for (int i = 0; i < a; i++) {")
              << QStringLiteral("            total += i * b + names%1.size();").arg(method)
              << QStringLiteral("        }")
              << QStringLiteral("        return total;")
              << QStringLiteral("    }");
        ++method;
    }
    lines[501] = Caret; // in the body of compute62
    while (lines.size() < 999)
        lines << QString();
    lines << QStringLiteral("}");
    return lines.join(QStringLiteral("\r\n"));
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double processCpuMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double ticks = double(fields.value(11).toLongLong() + fields.value(12).toLongLong());
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

ServiceFraming::CompletionRequest request()
{
    static quint32 id = 0;
    ServiceFraming::CompletionRequest r;
    r.id = ++id;
    r.path = QStringLiteral("Big");
    r.source = thousandLineClass();
    r.caret = r.source.indexOf(Caret) + Caret.size();
    return r;
}

// Sends one request and waits for its answer: the wall time, or a negative number without one.
double answerMs(CompileService& service)
{
    QEventLoop loop;
    bool answered = false;
    const auto connection = QObject::connect(&service, &CompileService::completed, &loop, [&] {
        answered = true;
        loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    QElapsedTimer wall;
    wall.start();
    if (!service.complete(request()))
        return -1;
    loop.exec();
    QObject::disconnect(connection);
    return answered ? double(wall.nsecsElapsed()) / 1e6 : -1;
}

void BM_FirstCompletionAfterStart(benchmark::State& state)
{
    double cpu = 0;
    int n = 0;
    for (auto _ : state) {
        CompileService service(checkServiceCommand());
        const double ms = answerMs(service);
        if (ms < 0) {
            state.SkipWithError("no answer (no JDK or no service jar?)");
            return;
        }
        state.SetIterationTime(ms / 1e3);
        cpu += processCpuMs(service.processId());
        ++n;
    }
    state.counters["service_cpu_ms"] = cpu / n;
}

// As a user meets it: the document opened is checked first (the service starts for that check),
// then the first Ctrl+Space. Time is the completion's alone.
void BM_FirstCompletionAfterFirstCheck(benchmark::State& state)
{
    for (auto _ : state) {
        CompileService service(checkServiceCommand());
        QEventLoop loop;
        QObject::connect(&service, &CompileService::replied, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        ServiceFraming::CheckRequest check;
        check.id = 1;
        check.path = QStringLiteral("Big");
        check.source = thousandLineClass();
        if (!service.check(check))
            return state.SkipWithError("no service");
        loop.exec();
        const double ms = answerMs(service);
        if (ms < 0)
            return state.SkipWithError("no answer (no JDK or no service jar?)");
        state.SetIterationTime(ms / 1e3);
    }
}

void BM_WarmCompletionInService(benchmark::State& state)
{
    CompileService service(checkServiceCommand());
    for (int warm = 0; warm < 30; ++warm) {
        if (answerMs(service) < 0) {
            state.SkipWithError("no answer (no JDK or no service jar?)");
            return;
        }
    }
    const double cpu = processCpuMs(service.processId());
    int n = 0;
    for (auto _ : state) {
        const double ms = answerMs(service);
        if (ms < 0) {
            state.SkipWithError("no answer");
            return;
        }
        state.SetIterationTime(ms / 1e3);
        ++n;
    }
    state.counters["service_cpu_ms"] = (processCpuMs(service.processId()) - cpu) / n;
}

// Ctrl+Space in the program's window until the list is shown: the UI thread's processor time (the
// text handed to the service, the answer read, ranked and shown), and the wall time.
void BM_CtrlSpaceToList(benchmark::State& state)
{
    HostServices host = makeQtHost();
    host.checkServiceCommand = [] { return checkServiceCommand(); }; // as the program's start sets it
    frmMain window{host};
    window.show(); // the list is a popup of a window on screen
    EditorControl& editor = window.Text1();
    CodeCompletion& completion = window.javaTools().completion();
    const QString text = thousandLineClass();
    editor.setText(text);
    const auto show = [&](double& uiMs) {
        editor.setCaretOffset(text.indexOf(Caret) + Caret.size());
        QEventLoop loop;
        bool shown = false;
        double cpu = 0;
        const auto connection = QObject::connect(&completion, &CodeCompletion::listShown, &loop, [&] {
            shown = true;
            uiMs = threadCpuMs() - cpu;
            loop.quit();
        });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        QElapsedTimer wall;
        wall.start();
        cpu = threadCpuMs();
        completion.mnuComplete_Click();
        loop.exec();
        QObject::disconnect(connection);
        editor.closeList();
        return shown ? double(wall.nsecsElapsed()) / 1e6 : -1;
    };
    double ui = 0;
    for (int warm = 0; warm < 20; ++warm) {
        if (show(ui) < 0) {
            state.SkipWithError("no list (no JDK or no service jar?)");
            return;
        }
    }
    double uiTotal = 0, uiMax = 0;
    int n = 0;
    for (auto _ : state) {
        const double ms = show(ui);
        if (ms < 0) {
            state.SkipWithError("no list");
            return;
        }
        state.SetIterationTime(ms / 1e3);
        uiTotal += ui;
        uiMax = std::max(uiMax, ui);
        ++n;
    }
    state.counters["ui_thread_ms"] = uiTotal / n;
    state.counters["ui_thread_max_ms"] = uiMax;
}

double childrenCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

void BM_JavacProcess(benchmark::State& state)
{
    const QString javac = QStandardPaths::findExecutable(QStringLiteral("javac"));
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("Big.java")));
    if (javac.isEmpty() || !file.open(QIODevice::WriteOnly)) {
        state.SkipWithError("no javac");
        return;
    }
    file.write(thousandLineClass().toUtf8());
    file.close();
    double cpu = 0;
    int n = 0;
    for (auto _ : state) {
        const double before = childrenCpuMs();
        QProcess process;
        QElapsedTimer wall;
        wall.start();
        process.start(javac, {QStringLiteral("-d"), dir.path(), file.fileName()});
        process.waitForFinished(120000);
        state.SetIterationTime(double(wall.nsecsElapsed()) / 1e9);
        cpu += childrenCpuMs() - before;
        ++n;
    }
    state.counters["javac_cpu_ms"] = cpu / n;
}

BENCHMARK(BM_FirstCompletionAfterStart)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_FirstCompletionAfterFirstCheck)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_WarmCompletionInService)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(30);
BENCHMARK(BM_CtrlSpaceToList)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(BM_JavacProcess)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
