// Searching a 20 MB document: a search that finds nothing and one whose match lies at the far end
// of the scan (the last word going down from the top, the first word going up from the bottom),
// each way and each case mode; once over the text alone and once along the whole path from the
// editor (taking its text, searching, selecting), also as the first search after loading. And
// Replace All over a 100 MB document.
#include "editor/EditorControl.h"
#include "host/MessageBoxService.h"
#include "search/FindIt.h"
#include "search/Search.h"
#include "search/SearchSettings.h"

#include <benchmark/benchmark.h>

#include <QApplication>

namespace {

constexpr qsizetype TargetSize = 20 * 1024 * 1024;

const QString& document()
{
    static const QString text = [] {
        const QString chunk = QStringLiteral(
            "import java.awt.*;\r\nimport java.applet.*;\r\n\r\n"
            "public class Counter extends Applet implements Runnable {\r\n"
            "\tprivate Thread worker;\r\n\tprivate int count = 0;\r\n\r\n"
            "\tpublic void init() {\r\n\t\tsetBackground(Color.white);\r\n\t}\r\n\r\n"
            "\tpublic void paint(Graphics g) {\r\n\t\tg.drawString(\"Count: \" + count, 20, 20);\r\n\t}\r\n}\r\n\r\n");
        QString text = QStringLiteral("Alpha ");
        text.reserve(TargetSize + chunk.size());
        while (text.size() < TargetSize - 16)
            text += chunk;
        text += QStringLiteral("Omega\r\n");
        return text;
    }();
    return text;
}

struct Scenario {
    QString find;
    int direction;
    qsizetype caret;
};

// 0: nothing found, 1: the farthest match in the direction of the search.
Scenario scenario(int kind, int direction)
{
    const qsizetype end = document().size();
    if (kind == 0)
        return {QStringLiteral("notPresent"), direction, direction == 1 ? 0 : end};
    return direction == 1 ? Scenario{QStringLiteral("Omega"), 1, 0} : Scenario{QStringLiteral("Alpha"), 0, end};
}

// With case ignored the word is typed in lower case, so that the fold is what finds it.
SearchSettings settingsFor(const Scenario& s, int matchCase)
{
    SearchSettings settings;
    settings.SearchText = matchCase ? s.find : s.find.toLower();
    settings.SearchDirection = s.direction;
    settings.SearchMatchCase = matchCase;
    settings.SearchLastPos = -1;
    settings.SearchTextFresh = true;
    return settings;
}

void setLabel(benchmark::State& state)
{
    state.SetLabel(std::string(state.range(0) == 0 ? "not found" : "farthest word") + ", "
                   + (state.range(1) == 1 ? "down" : "up") + ", " + (state.range(2) ? "match case" : "ignore case"));
}

void BM_FindIt(benchmark::State& state)
{
    const QString& text = document();
    const Scenario s = scenario(int(state.range(0)), int(state.range(1)));
    const SearchSettings settings = settingsFor(s, int(state.range(2)));
    for (auto _ : state)
        benchmark::DoNotOptimize(Search::FindIt(text, s.caret, settings));
    setLabel(state);
}

class QuietMessages : public MessageBoxService {
public:
    int show(const QString&, int, const QString&) override { return mb::OK; }
};

EditorControl& editor()
{
    static EditorControl* text1 = [] {
        auto* e = new EditorControl;
        e->loadUtf8(document().toUtf8());
        return e;
    }();
    return *text1;
}

void BM_FindInEditor(benchmark::State& state)
{
    EditorControl& text1 = editor();
    QuietMessages messages;
    const Scenario s = scenario(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        state.PauseTiming();
        searchSettings() = settingsFor(s, int(state.range(2)));
        text1.setSelStart(s.caret);
        text1.setSelLength(0);
        state.ResumeTiming();
        Search::findInEditor(text1, messages, s.direction);
    }
    setLabel(state);
}

// The first search after a document is loaded also pays for the editor's position index, which
// the control builds the first time a caret offset is asked for.
void BM_FirstFindAfterLoad(benchmark::State& state)
{
    EditorControl& text1 = editor();
    const QByteArray bytes = document().toUtf8();
    QuietMessages messages;
    const Scenario s = scenario(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        state.PauseTiming();
        text1.loadUtf8(bytes);
        searchSettings() = settingsFor(s, int(state.range(2)));
        state.ResumeTiming();
        Search::findInEditor(text1, messages, s.direction);
    }
    setLabel(state);
}

void BM_EditorText(benchmark::State& state)
{
    EditorControl& text1 = editor();
    for (auto _ : state)
        benchmark::DoNotOptimize(text1.Text());
}

void cases(benchmark::internal::Benchmark* b)
{
    for (int kind : {0, 1})
        for (int direction : {1, 0})
            for (int matchCase : {1, 0})
                b->Args({kind, direction, matchCase});
    b->Unit(benchmark::kMillisecond);
}

// Replace All over a 100 MB document: a word that occurs twice in every block of the program
// (over half a million matches), replaced by a longer one, case ignored; the whole path from the
// editor's text to the control holding the new text as one undo step. Then the undo of it.
const QByteArray& bigDocument()
{
    static const QByteArray bytes = [] {
        QByteArray all = document().toUtf8();
        const QByteArray block = all;
        while (all.size() < 5 * TargetSize)
            all += block;
        return all;
    }();
    return bytes;
}

SearchSettings replaceSettings()
{
    SearchSettings settings;
    settings.SearchText = QStringLiteral("COUNT");
    settings.ReplaceText = QStringLiteral("tally_of_ticks");
    settings.SearchTextFresh = true;
    return settings;
}

// The search and the building of the new text alone.
void BM_ReplaceAllIn(benchmark::State& state)
{
    const QString text = QString::fromUtf8(bigDocument());
    const SearchSettings settings = replaceSettings();
    for (auto _ : state)
        benchmark::DoNotOptimize(Search::replaceAllIn(text, settings, settings.ReplaceText));
}

void BM_ReplaceAll(benchmark::State& state)
{
    static EditorControl& text1 = *new EditorControl;
    const QByteArray& original = bigDocument();
    QuietMessages messages;
    qsizetype replaced = 0;
    for (auto _ : state) {
        state.PauseTiming();
        text1.loadUtf8(original);
        searchSettings() = replaceSettings();
        state.ResumeTiming();
        replaced = Search::replaceAllInEditor(text1, messages);
        if (state.range(0) == 1)
            text1.undo();
    }
    state.counters["replaced"] = double(replaced);
    state.counters["MB"] = double(original.size()) / (1024 * 1024);
    state.SetLabel(state.range(0) == 1 ? "replace all, then undo" : "replace all");
}

BENCHMARK(BM_FindIt)->Apply(cases);
BENCHMARK(BM_FindInEditor)->Apply(cases);
BENCHMARK(BM_FirstFindAfterLoad)->Args({0, 1, 0})->Args({1, 0, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditorText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllIn)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReplaceAll)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

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
