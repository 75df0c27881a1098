// A program that prints without ever ending a line, as fast as it can: what the output panel costs
// in memory, how long the window waits between two events while it floods, and how long Stop takes
// to end it. Beside it, the same program read by a plain pipe reader that throws the output away.
// Usage: console_flood_bench [seconds]   (needs javac and java on the search path)
#include "host/ConsoleOutput.h"
#include "host/QtProcessStarter.h"
#include "javatools/CompilerOutputPanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

long residentKib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Counts what passes on to the panel.
class Counting : public ConsoleOutput {
public:
    explicit Counting(ConsoleOutput& next) : next_(next) {}
    void processStarted(qint64 taskId, const QString& commandLine, const QString& folder) override
    {
        next_.processStarted(taskId, commandLine, folder);
    }
    void processOutput(qint64 taskId, const QString& text, Channel channel) override
    {
        characters += text.size();
        next_.processOutput(taskId, text, channel);
    }
    void processFinished(qint64 taskId, int exitCode, bool crashed) override
    {
        finished = true;
        next_.processFinished(taskId, exitCode, crashed);
    }
    void processFailedToStart(qint64 taskId, const QString& reason) override { next_.processFailedToStart(taskId, reason); }

    qint64 characters = 0;
    bool finished = false;

private:
    ConsoleOutput& next_;
};

void waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

struct Figures {
    double megabytesPerSecond = 0;
    long peakRssMib = 0;
    qint64 longestWaitMs = 0;
    qint64 stopMs = -1;
};

Figures floodThePanel(const QString& classes, int seconds)
{
    CompilerOutputPanel panel;
    panel.resize(900, 400);
    panel.show();
    Counting counting(panel);
    QtProcessStarter starter;
    starter.setConsoleOutput(&counting);
    ConsoleStart how;
    how.interactive = true;
    const long before = residentKib();
    const qint64 task = starter.startConsole(QStringLiteral("java"), {QStringLiteral("-cp"), classes, QStringLiteral("Flood")}, how);

    // A timer that should tick every 10 ms tells how long the window could not answer.
    Figures figures;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        figures.longestWaitMs = std::max(figures.longestWaitMs, sinceTick.restart());
    });
    tick.start(10);
    long peak = before;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] { peak = std::max(peak, residentKib()); });
    sample.start(100);

    waitUntil([&] { return counting.characters > 0; }, 60000);
    sinceTick.restart();
    figures.longestWaitMs = 0;
    QElapsedTimer flood;
    flood.start();
    const qint64 startCharacters = counting.characters;
    waitUntil([] { return false; }, seconds * 1000);
    figures.megabytesPerSecond = (counting.characters - startCharacters) / 1e6 / (flood.elapsed() / 1000.0);

    QElapsedTimer stop;
    stop.start();
    starter.stop(task);
    waitUntil([&] { return counting.finished; }, 60000);
    figures.stopMs = counting.finished ? stop.elapsed() : -1;
    figures.peakRssMib = (std::max(peak, residentKib()) - before) / 1024;
    return figures;
}

Figures floodAPipe(const QString& classes, int seconds)
{
    QProcess java;
    qint64 bytes = 0;
    QObject::connect(&java, &QProcess::readyReadStandardOutput, [&] { bytes += java.readAllStandardOutput().size(); });
    java.start(QStringLiteral("java"), {QStringLiteral("-cp"), classes, QStringLiteral("Flood")});
    java.waitForStarted();
    waitUntil([&] { return bytes > 0; }, 60000);
    Figures figures;
    QElapsedTimer flood;
    flood.start();
    const qint64 startBytes = bytes;
    waitUntil([] { return false; }, seconds * 1000);
    figures.megabytesPerSecond = (bytes - startBytes) / 1e6 / (flood.elapsed() / 1000.0);
    QElapsedTimer stop;
    stop.start();
    java.terminate();
    java.waitForFinished(60000);
    figures.stopMs = stop.elapsed();
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;

    QTemporaryDir classes;
    QFile source(classes.filePath(QStringLiteral("Flood.java")));
    if (!source.open(QIODevice::WriteOnly))
        return 1;
    source.write("public class Flood { public static void main(String[] a) {\n"
                 "  String chunk = \"x\".repeat(8192);\n"
                 "  while (true) System.out.print(chunk);\n"
                 "} }\n");
    source.close();
    QProcess javac;
    javac.start(QStringLiteral("javac"), {QStringLiteral("-d"), classes.path(), source.fileName()});
    if (!javac.waitForFinished(300000) || javac.exitCode() != 0) {
        std::fprintf(stderr, "javac failed\n");
        return 1;
    }

    const Figures panel = floodThePanel(classes.path(), seconds);
    const Figures pipe = floodAPipe(classes.path(), seconds);
    std::printf("8 KiB pieces without a line end, %d s each\n", seconds);
    std::printf("%-22s %10s %14s %18s %10s\n", "", "MB/s", "memory (MiB)", "longest wait (ms)", "stop (ms)");
    std::printf("%-22s %10.1f %14ld %18lld %10lld\n", "output panel", panel.megabytesPerSecond, panel.peakRssMib,
                static_cast<long long>(panel.longestWaitMs), static_cast<long long>(panel.stopMs));
    std::printf("%-22s %10.1f %14s %18s %10lld\n", "plain pipe reader", pipe.megabytesPerSecond, "-", "-",
                static_cast<long long>(pipe.stopMs));
    return panel.stopMs >= 0 && panel.stopMs <= 2000 ? 0 : 2;
}
