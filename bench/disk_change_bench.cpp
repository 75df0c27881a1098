// What noticing changes on disk costs with a big file open: the hash taken at every load and save,
// hashing the file again from disk, the check made on every watcher event and window activation, and
// the undoable reload after another program appended a line.
//
//   build-rel/bench/disk_change_bench [--size-mb=100] [google benchmark flags]

#include "document/DiskWatch.h"
#include "editor/EditorControl.h"
#include "host/ContentHash.h"
#include "host/QtFileStore.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <cstring>

namespace {
int sizeMb = 100;

QByteArray bigText()
{
    static const QByteArray text = [] {
        const QByteArray line = "        counter += i * 7; // a line of a big generated class\r\n";
        QByteArray bytes;
        bytes.reserve((qsizetype(sizeMb) << 20) + line.size());
        while (bytes.size() < (qsizetype(sizeMb) << 20))
            bytes += line;
        return bytes;
    }();
    return text;
}

void setBytes(benchmark::State& state, qsizetype bytes)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
}

void BM_ContentHashInMemory(benchmark::State& state)
{
    const QByteArray bytes = bigText();
    for (auto _ : state)
        benchmark::DoNotOptimize(contentHash(bytes));
    setBytes(state, bytes.size());
}

void BM_HashFileFromDisk(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Big.java"));
    QtFileStore store;
    store.writeAll(path, bigText());
    for (auto _ : state)
        benchmark::DoNotOptimize(store.hashFile(path));
    setBytes(state, bigText().size());
}

// The check on an unchanged file: one stat, no reading.
void BM_CheckUnchangedFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Big.java"));
    QtFileStore store;
    store.writeAll(path, bigText());
    DiskWatch watch(store, nullptr);
    watch.follow(path, store.stat(path), contentHash(bigText()));
    for (auto _ : state)
        watch.check();
}

// Another program appended a line: the reload replaces only what differs, as one undoable step.
void BM_ReloadAfterAppend(benchmark::State& state)
{
    EditorControl editor;
    const QByteArray before = bigText();
    const QByteArray after = before + "// appended by a formatter\r\n";
    editor.loadUtf8(before);
    for (auto _ : state) {
        editor.replaceAllUtf8(after);
        state.PauseTiming();
        editor.undo();
        state.ResumeTiming();
    }
    setBytes(state, after.size());
}

// For comparison: the same line typed (pasted) at the end, the way the editor changes text anyway.
void BM_InsertLineAtEnd(benchmark::State& state)
{
    EditorControl editor;
    editor.loadUtf8(bigText());
    for (auto _ : state) {
        editor.setSelStart(editor.textLength());
        editor.setSelText(QStringLiteral("// appended by a formatter\r\n"));
        state.PauseTiming();
        editor.undo();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_ContentHashInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HashFileFromDisk)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CheckUnchangedFile)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReloadAfterAppend)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InsertLineAtEnd)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--size-mb=", 10) == 0) {
            sizeMb = std::atoi(argv[i] + 10);
            for (int j = i; j + 1 < argc; ++j)
                argv[j] = argv[j + 1];
            --argc;
            --i;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
