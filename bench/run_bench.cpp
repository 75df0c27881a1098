// What Run and the output panel cost. Run reads the whole document to find the class to start:
// a 1 MB and a 20 MB source. A program that prints a lot floods the panel: 10,000 lines arriving
// in pieces of 4 KiB, as a pipe delivers them, the javac diagnostic check on every line included.
#include "javatools/CompilerOutputPanel.h"
#include "javatools/JavaSource.h"

#include <benchmark/benchmark.h>

#include <QApplication>

namespace {

QString source(qsizetype size)
{
    const QString method = QStringLiteral(
        "\t/* a comment with class Fake { } in it */\r\n"
        "\tpublic int count(String s) {\r\n\t\tint n = 0; // \"quoted\"\r\n"
        "\t\tfor (char c : s.toCharArray()) { if (c == '{') n++; }\r\n\t\treturn n;\r\n\t}\r\n");
    QString text = QStringLiteral("package calc;\r\nimport java.util.*;\r\npublic class Big {\r\n");
    text.reserve(size + method.size() + 128);
    while (text.size() < size)
        text += method;
    text += QStringLiteral("\tpublic static void main(String[] args) { }\r\n}\r\n");
    return text;
}

void BM_DescribeJavaProgram(benchmark::State& state)
{
    const QString text = source(state.range(0) * 1024 * 1024);
    for (auto _ : state) {
        const JavaProgramInfo info = describeJavaProgram(text);
        if (info.mainClass != QLatin1String("Big"))
            state.SkipWithError("the main class was not found");
        benchmark::DoNotOptimize(info);
    }
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}

void BM_PanelOutput(benchmark::State& state)
{
    QString output;
    for (int i = 0; i < 10000; ++i)
        output += QStringLiteral("line %1 of what the program prints, with some words after it\n").arg(i);
    for (auto _ : state) {
        CompilerOutputPanel panel;
        panel.processStarted(1, QStringLiteral("java -cp /p Big"), QStringLiteral("/p"));
        for (qsizetype at = 0; at < output.size(); at += 4096)
            panel.processOutput(1, output.mid(at, 4096), ConsoleOutput::Channel::Output);
        panel.processFinished(1, 0, false);
        benchmark::DoNotOptimize(panel.text().size());
    }
}

BENCHMARK(BM_DescribeJavaProgram)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PanelOutput)->Unit(benchmark::kMillisecond);

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
