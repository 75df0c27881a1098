// What the recovery record costs while typing in a big document: a keystroke with and without it,
// the flush after a pause, hashing the text at a load or save, and the record's size after 1,000
// small edits.
//
//   build-rel/bench/recovery_bench [--size-mb=100] [google benchmark flags]
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "document/Document.h"
#include "document/Recovery.h"
#include "document/RecoveryJournal.h"
#include "editor/EditorControl.h"
#include "host/CommonDialog.h"
#include "host/HostServices.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <cstring>
#include <memory>

namespace {
int sizeMb = 100;

QByteArray generatedJava(qsizetype size)
{
    const QByteArray block = "public class Generated extends Object implements Runnable {\n"
                             "    private int counter = 0;\n"
                             "    public void run() { counter += 1; } // accumulate\n"
                             "}\n\n";
    QByteArray text;
    text.reserve(size + block.size());
    while (text.size() < size)
        text += block;
    return text;
}

// The big file in an editor control and its document (no main window: its caret panel and margins
// react to every change in ways that do not concern the record), with or without a recovery record.
struct Fixture {
    QTemporaryDir dir;
    QString path;
    HostServices host = makeQtHost();
    std::unique_ptr<EditorControl> editor;
    std::unique_ptr<CommonDialog> cd1;
    std::unique_ptr<Document> document;
    std::unique_ptr<Recovery> recovery;

    explicit Fixture(bool withRecovery)
    {
        path = dir.filePath(QStringLiteral("Big.java"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(generatedJava(qsizetype(sizeMb) << 20));
        file.close();
        editor = std::make_unique<EditorControl>();
        cd1 = host.makeFileDialog(editor.get());
        document = std::make_unique<Document>(*editor, *cd1, host);
        if (withRecovery)
            recovery = std::make_unique<Recovery>(*document, host, dir.filePath("state"));
        document->loadFile(path);
    }
    ~Fixture()
    {
        if (recovery)
            recovery->finish();
        recovery.reset();
        document.reset();
        cd1.reset();
    }
    EditorControl& text1() { return *editor; }
    void press(Qt::Key key, const QString& text)
    {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(&text1(), &down);
        QApplication::sendEvent(&text1(), &up);
    }
    qint64 recordBytes() const { return recovery ? QFileInfo(recovery->recordPath()).size() : 0; }
};

// One typed character in the middle of the document, as the control takes it in (without the
// view's redrawing, which the event loop would do later and which is the same either way); the flush
// that follows a pause is measured on its own below.
void BM_Keystroke(benchmark::State& state)
{
    Fixture f(state.range(0) != 0);
    qsizetype at = f.text1().utf8Length() / 2;
    const QByteArray key = "a";
    f.text1().replaceUtf8(at, at, key); // the first edit moves the buffer's gap there
    for (auto _ : state) {
        ++at;
        f.text1().replaceUtf8(at, at, key);
    }
    state.counters["MB"] = sizeMb;
}

// The write after typing pauses: 20 characters typed at one place, then the record appended to.
void BM_FlushAfterPause(benchmark::State& state)
{
    Fixture f(true);
    qsizetype at = 1000;
    for (auto _ : state) {
        state.PauseTiming();
        f.text1().setSelStart(at);
        for (int i = 0; i < 20; ++i)
            f.press(Qt::Key_B, QStringLiteral("b"));
        at += 9973;
        state.ResumeTiming();
        f.recovery->flush();
    }
    state.counters["record_KB"] = double(f.recordBytes()) / 1024;
}

// The base's checksum, taken when the document is loaded or saved.
void BM_BaseHash(benchmark::State& state)
{
    const QByteArray text = generatedJava(qsizetype(sizeMb) << 20);
    for (auto _ : state)
        benchmark::DoNotOptimize(Recovery64::hash(text));
    state.SetBytesProcessed(state.iterations() * text.size());
}

// 1,000 small edits spread over the document (insertions and deletions), a flush after every ten:
// the record's size follows the edits, not the document.
void BM_RecordAfter1000Edits(benchmark::State& state)
{
    Fixture f(true);
    for (auto _ : state) {
        const qsizetype length = f.text1().textLength();
        for (int i = 0; i < 1000; ++i) {
            f.text1().setSelStart((qsizetype(i) * 104729) % (length - 2));
            if (i % 3 == 2)
                f.press(Qt::Key_Delete, QString());
            else
                f.press(Qt::Key_X, QStringLiteral("x"));
            if (i % 10 == 9)
                f.recovery->flush();
        }
    }
    state.counters["record_KB"] = double(f.recordBytes()) / 1024;
    state.counters["MB"] = sizeMb;
}
} // namespace

BENCHMARK(BM_Keystroke)->Arg(0)->Arg(1)->ArgName("recovery")->Unit(benchmark::kMicrosecond)->Iterations(20);
BENCHMARK(BM_FlushAfterPause)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(200);
BENCHMARK(BM_BaseHash)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordAfter1000Edits)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

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
    Q_INIT_RESOURCE(tolvane);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
