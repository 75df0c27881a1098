// Check While Typing on a 1,000-line class: from the end of typing to marks in the editor, the first
// check after the service starts, the UI thread's work per check, the service's resident memory, and
// a javac process on the same file for comparison.
//
//   cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVANE_BUILD_BENCH=ON -DTOLVANE_BUILD_TESTS=OFF
//   cmake --build build-rel && build-rel/bench/check_service_bench
#include "app/frmMain.h"
#include "editor/EditorControl.h"
#include "host/HostServices.h"
#include "javatools/CheckWhileTyping.h"
#include "javatools/CompileService.h"
#include "javatools/JavaLookup.h"
#include "javatools/JavaTools.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QEventLoop>
#include <QTimer>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <ctime>

#include <sys/resource.h>
#include <unistd.h>

namespace {
// A class of 1,000 lines with fields, methods, loops and a nested class; line 500 can be broken.
QString thousandLineClass(bool broken)
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
    if (broken)
        lines[500] = QStringLiteral("        int missing = ;");
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

long rssKb(qint64 pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// The program's own window and host: the check as it runs for a user, on a document not yet saved.
// Processor time a process has used so far (user and system), from /proc.
double processCpuMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double ticks = double(fields.value(11).toLongLong() + fields.value(12).toLongLong());
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

double childrenCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

struct Setup {
    // Makes a change and waits for its marks: the wall time and the UI thread's processor time.
    bool change(const QString& text, double& wallMs, double& uiMs)
    {
        QEventLoop loop;
        bool shown = false;
        const auto connection = QObject::connect(&checker, &CheckWhileTyping::shown, &loop, [&] {
            shown = true;
            loop.quit();
        });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        const double cpu = threadCpuMs();
        QElapsedTimer wall;
        wall.start();
        editor.setText(text);
        loop.exec();
        QObject::disconnect(connection);
        if (!shown)
            return false;
        wallMs = double(wall.nsecsElapsed()) / 1e6;
        uiMs = threadCpuMs() - cpu;
        return true;
    }
    HostServices host = [] {
        HostServices made = makeQtHost();
        made.checkServiceCommand = [] { return checkServiceCommand(); }; // as the program's start sets it
        return made;
    }();
    frmMain window{host};
    EditorControl& editor = window.Text1();
    CheckWhileTyping& checker = window.javaTools().checkWhileTyping();
};

void BM_FirstCheckAfterStart(benchmark::State& state)
{
    double beyond = 0;
    int n = 0;
    for (auto _ : state) {
        Setup s;
        double wall = 0, ui = 0;
        if (!s.change(thousandLineClass(true), wall, ui)) {
            state.SkipWithError("no result (no JDK or no service jar?)");
            return;
        }
        state.SetIterationTime(wall / 1e3);
        beyond += wall - CheckWhileTyping::PauseMs;
        ++n;
    }
    state.counters["beyond_pause_ms"] = beyond / n;
}

void BM_WarmCheck(benchmark::State& state)
{
    Setup s;
    double wall = 0, ui = 0;
    const QString texts[] = {thousandLineClass(true), thousandLineClass(false)};
    for (int warm = 0; warm < 20; ++warm) {
        if (!s.change(texts[warm % 2] + QString(warm, u' '), wall, ui)) {
            state.SkipWithError("no result (no JDK or no service jar?)");
            return;
        }
    }
    double uiTotal = 0, uiMax = 0, beyond = 0;
    int n = 0;
    const qint64 pid = s.checker.service()->processId();
    const double serviceCpu = processCpuMs(pid);
    for (auto _ : state) {
        if (!s.change(texts[n % 2] + QString(n % 7, u' '), wall, ui)) {
            state.SkipWithError("no result");
            return;
        }
        state.SetIterationTime(wall / 1e3);
        uiTotal += ui;
        uiMax = std::max(uiMax, ui);
        beyond += wall - CheckWhileTyping::PauseMs;
        ++n;
    }
    state.counters["beyond_pause_ms"] = beyond / n;
    state.counters["ui_thread_ms"] = uiTotal / n;
    state.counters["ui_thread_max_ms"] = uiMax;
    state.counters["service_cpu_ms"] = (processCpuMs(pid) - serviceCpu) / n;
    state.counters["service_rss_mb"] = double(rssKb(pid, "VmRSS:")) / 1024;
    state.counters["service_peak_rss_mb"] = double(rssKb(pid, "VmHWM:")) / 1024;
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
    file.write(thousandLineClass(true).toUtf8());
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

BENCHMARK(BM_FirstCheckAfterStart)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_WarmCheck)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(30);
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
