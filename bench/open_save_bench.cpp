// Opening and saving a big Java file inside the process: reading, decoding, handing the text to the
// editor (the plain way and the loader way), and the whole save (encode, write, flush, rename).
//
//   build-rel/bench/open_save_bench [--size-mb=20] [google benchmark flags]
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "app/frmMain.h"
#include "document/Document.h"
#include "document/FileCodec.h"
#include "editor/EditorControl.h"
#include "host/HostServices.h"
#include "host/QtFileStore.h"

#include <benchmark/benchmark.h>

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>

#include <unistd.h>
#include <memory>

namespace {
int sizeMb = 20;

QByteArray generatedJava(qsizetype size)
{
    QByteArray text;
    text.reserve(size + 1024);
    for (int n = 0; text.size() < size; ++n) {
        text += QStringLiteral(
                    "/**\n * Generated class number %1.\n * It only exists to make the file big.\n */\n"
                    "public class Generated%1 extends Object implements Runnable {\n"
                    "    private static final String NAME = \"Generated%1\";\n"
                    "    private int counter = %2;\n\n"
                    "    public void run() {\n"
                    "        for (int i = 0; i < %3; ++i) {\n"
                    "            counter += i * %4; // accumulate\n"
                    "            if (counter > 1000) counter = 0;\n"
                    "        }\n"
                    "        System.out.println(NAME + \": \" + counter);\n"
                    "    }\n}\n\n")
                    .arg(n)
                    .arg(n % 97)
                    .arg(n % 13 + 3)
                    .arg(n % 7 + 1)
                    .toUtf8();
    }
    return text;
}

struct Fixture {
    QTemporaryDir dir;
    QString path;
    QByteArray bytes;
    HostServices host = makeQtHost();
    std::unique_ptr<frmMain> window;

    Fixture()
    {
        bytes = generatedJava(qsizetype(sizeMb) << 20);
        path = dir.filePath(QStringLiteral("Big.java"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        file.close();
        window = std::make_unique<frmMain>(host);
        window->resize(1200, 800);
        window->show();
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void setBytes(benchmark::State& state, qsizetype bytes)
{
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["MB"] = double(bytes) / (1 << 20);
}

void BM_ReadFile(benchmark::State& state)
{
    Fixture& f = fixture();
    QtFileStore store;
    for (auto _ : state)
        benchmark::DoNotOptimize(store.readAll(f.path, MaxDocumentBytes));
    setBytes(state, f.bytes.size());
}

void BM_DecodeFile(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeFile(f.bytes));
    setBytes(state, f.bytes.size());
}

void BM_ValidUtf8(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(isValidUtf8(f.bytes.constData(), f.bytes.size()));
    setBytes(state, f.bytes.size());
}

void BM_DominantLineEnd(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(dominantLineEnd(f.bytes, LineEnd::CRLF));
    setBytes(state, f.bytes.size());
}

// The text handed over with one SCI_APPENDTEXT into the shown document.
void BM_EditorAppendText(benchmark::State& state)
{
    Fixture& f = fixture();
    QsciScintilla& text1 = *f.window->Text1().findChild<QsciScintilla*>();
    for (auto _ : state) {
        text1.SendScintilla(QsciScintilla::SCI_SETUNDOCOLLECTION, 0UL);
        text1.SendScintilla(QsciScintilla::SCI_CLEARALL);
        text1.SendScintilla(QsciScintilla::SCI_ALLOCATE, static_cast<unsigned long>(f.bytes.size() + 1));
        text1.SendScintilla(QsciScintilla::SCI_APPENDTEXT, static_cast<unsigned long>(f.bytes.size()), f.bytes.constData());
        text1.SendScintilla(QsciScintilla::SCI_SETUNDOCOLLECTION, 1UL);
        text1.SendScintilla(QsciScintilla::SCI_EMPTYUNDOBUFFER);
        QApplication::processEvents();
    }
    setBytes(state, f.bytes.size());
}

// What Open does with the text: a document filled off screen, then swapped in.
void BM_EditorLoadUtf8(benchmark::State& state)
{
    Fixture& f = fixture();
    EditorControl& text1 = f.window->Text1();
    for (auto _ : state) {
        text1.loadUtf8(f.bytes);
        QApplication::processEvents();
    }
    setBytes(state, f.bytes.size());
}

// Open from disk to the shown text: read, decode, load, title and state.
void BM_OpenFile(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        f.window->document().loadFile(f.path);
        QApplication::processEvents();
    }
    setBytes(state, f.bytes.size());
}

// Save of the loaded file: the text out of the editor, encoded, written beside, flushed, renamed.
void BM_SaveFile(benchmark::State& state)
{
    Fixture& f = fixture();
    Document& doc = f.window->document();
    doc.loadFile(f.path);
    for (auto _ : state) {
        f.window->Text1().setSelText(QString()); // Save writes whether or not the text changed
        if (!doc.Save())
            state.SkipWithError("save failed");
    }
    setBytes(state, f.bytes.size());
}

// The parts of a save: taking the text out of the editor and encoding it.
void BM_EncodeFile(benchmark::State& state)
{
    Fixture& f = fixture();
    f.window->document().loadFile(f.path);
    const FileFormat format = f.window->document().Format();
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeFile(f.window->Text1().utf8(), format));
    setBytes(state, f.bytes.size());
}

void BM_WriteFile(benchmark::State& state)
{
    Fixture& f = fixture();
    QtFileStore store;
    const QString target = f.dir.filePath(QStringLiteral("Written.java"));
    for (auto _ : state)
        store.writeAll(target, f.bytes);
    setBytes(state, f.bytes.size());
}

// The same text as a UTF-16 file, read and written again.
void BM_DecodeUtf16(benchmark::State& state)
{
    Fixture& f = fixture();
    FileFormat utf16;
    utf16.encoding = TextEncoding::Utf16LE;
    const QByteArray bytes = encodeFile(f.bytes, utf16).bytes;
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeFile(bytes));
    setBytes(state, bytes.size());
}

void BM_EncodeUtf16(benchmark::State& state)
{
    Fixture& f = fixture();
    FileFormat utf16;
    utf16.encoding = TextEncoding::Utf16LE;
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeFile(f.bytes, utf16));
    setBytes(state, 2 * f.bytes.size());
}

// A file with a second name is written in place, after a safety copy: the price of keeping it one file.
void BM_WriteFileInPlace(benchmark::State& state)
{
    Fixture& f = fixture();
    QtFileStore store;
    qputenv("XDG_STATE_HOME", QFile::encodeName(f.dir.filePath(QStringLiteral("state"))));
    const QString target = f.dir.filePath(QStringLiteral("Linked.java"));
    store.writeAll(target, f.bytes);
    ::link(QFile::encodeName(target).constData(), QFile::encodeName(f.dir.filePath(QStringLiteral("Linked2.java"))).constData());
    for (auto _ : state)
        store.writeAll(target, f.bytes);
    setBytes(state, f.bytes.size());
}

BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ValidUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DominantLineEnd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditorAppendText)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EditorLoadUtf8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EncodeFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteFileInPlace)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeUtf16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeUtf16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveFile)->Unit(benchmark::kMillisecond)->UseRealTime();
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
    Q_INIT_RESOURCE(tolvane);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
