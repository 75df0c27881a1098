// Compares, on real Java files, the colours a far jump gives the screen with the colours of colouring
// the whole file from the top, character by character:
//
//   build/rel/bench/far_colour_compare [--stride N] [--crlf] FOLDER_OR_FILE...
//   build/rel/bench/far_colour_compare --jump FILE
//
// For every .java file, every Nth line (every line by default) is coloured as the first line of a
// screen of 40 lines in a freshly loaded editor, and each byte's style is compared with the whole
// colouring. --crlf converts the line ends first. Prints each mismatch and the counts: files, screens
// coloured, screens left to the control (the scan gave up there), mismatches; and how fast the scan
// finds the state at the end of all files put together. --jump times, inside the process (offscreen),
// Ctrl+End in FILE until the first paint is done, and then compares the screen with colouring from
// the top.
#include "editor/EditorControl.h"
#include "editor/FarColouring.h"
#include "editor/JavaLineStates.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFont>

#include <cstdio>
#include <sys/resource.h>
#include <memory>

namespace {
using Sci = QsciScintillaBase;
constexpr int Screen = 40;

struct Editor {
    explicit Editor(const QByteArray& text)
    {
        control.showJava(QFont(QStringLiteral("Monospace")));
        control.loadUtf8(text);
    }
    long send(unsigned int message, unsigned long wParam = 0, long lParam = 0)
    {
        return component.SendScintilla(message, wParam, lParam);
    }
    const char* styles(long from, long length)
    {
        // Not offered by the control; the styled text interleaves characters and styles.
        buffer.resize(2 * length + 2);
        struct {
            long cpMin, cpMax;
            char* text;
        } range{from, from + length, buffer.data()};
        send(Sci::SCI_GETSTYLEDTEXT, 0, reinterpret_cast<long>(&range));
        for (qsizetype i = 0; i < length; ++i)
            buffer[i] = buffer[2 * i + 1];
        return buffer.constData();
    }
    EditorControl control;
    QsciScintilla& component = *control.findChild<QsciScintilla*>();
    FarColouring& far = *component.findChild<FarColouring*>();
    QByteArray buffer;
};

struct Counts {
    int files = 0, screens = 0, givenUp = 0, mismatches = 0, filesWithMismatch = 0;
};

void compare(const QString& path, const QByteArray& text, int stride, Counts& counts)
{
    Editor whole(text);
    whole.send(Sci::SCI_COLOURISE, 0, -1);
    const long length = whole.send(Sci::SCI_GETLENGTH);
    const QByteArray want(whole.styles(0, length), length);
    Editor far(text);
    const long lines = far.send(Sci::SCI_GETLINECOUNT);
    int mismatches = 0;
    for (long line = 1; line < lines; line += stride) {
        if (!far.far.colourLines(int(line), int(line + Screen - 1))) {
            ++counts.givenUp;
            continue;
        }
        ++counts.screens;
        const long from = far.send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
        const long to = line + Screen < lines ? far.send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line + Screen)) : length;
        const char* got = far.styles(from, to - from);
        for (long at = from; at < to; ++at) {
            if (got[at - from] != want[qsizetype(at)]) {
                ++mismatches;
                std::printf("MISMATCH %s: screen at line %ld, byte %ld: style %d, from the top %d\n", qPrintable(path),
                    line + 1, at, got[at - from], want[qsizetype(at)]);
                break;
            }
        }
    }
    std::vector<JavaLineStates::Checkpoint> checkpoints;
    qsizetype stoppedAt = -1;
    const auto bytes = reinterpret_cast<const char*>(far.send(Sci::SCI_GETCHARACTERPOINTER));
    if (JavaLineStates::scan(bytes, 0, length, {}, false, JavaLineStates::Cache::Every, checkpoints, stoppedAt).kind
        == JavaLineStates::Kind::Unknown) {
        const long line = far.send(Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(stoppedAt));
        std::printf("GAVE UP %s:%ld: %s\n", qPrintable(path), line + 1,
            QByteArray(bytes + stoppedAt - std::min<qsizetype>(stoppedAt, 30), std::min<qsizetype>(stoppedAt, 30) + 10)
                .replace('\n', ' ').constData());
    }
    ++counts.files;
    counts.mismatches += mismatches;
    counts.filesWithMismatch += mismatches > 0;
}
} // namespace

int jump(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 2;
    Editor editor(file.readAll());
    editor.control.resize(1000, 700);
    editor.control.show();
    editor.control.viewport()->grab();
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer timer;
    timer.start();
    editor.send(Sci::SCI_DOCUMENTEND);
    editor.control.viewport()->grab();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    getrusage(RUSAGE_SELF, &after);
    const long first = editor.send(Sci::SCI_GETFIRSTVISIBLELINE);
    const long from = editor.send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(first));
    const long length = editor.send(Sci::SCI_GETLENGTH);
    const QByteArray got(editor.styles(from, length - from), length - from);
    timer.restart();
    editor.send(Sci::SCI_COLOURISE, 0, -1);
    const double whole = double(timer.nsecsElapsed()) / 1e6;
    const bool same = got == QByteArray(editor.styles(from, length - from), length - from);
    std::printf("Ctrl+End to the first paint done: %.1f ms (%ld page faults); the screen's colours %s colouring "
                "from the top (which took %.0f ms)\n", ms, after.ru_minflt - before.ru_minflt,
        same ? "are those of" : "DIFFER FROM", whole);
    return same ? 0 : 1;
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == u"--jump")
        return jump(args[1]);
    int stride = 1;
    bool crlf = false;
    QStringList paths;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == u"--stride" && i + 1 < args.size())
            stride = std::max(1, args[++i].toInt());
        else if (args[i] == u"--crlf")
            crlf = true;
        else
            paths << args[i];
    }
    QStringList files;
    for (const QString& path : paths) {
        if (QFileInfo(path).isDir()) {
            QDirIterator it(path, {QStringLiteral("*.java")}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files << it.next();
        } else {
            files << path;
        }
    }
    files.sort();
    Counts counts;
    QByteArray all;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QByteArray text = file.readAll();
        if (crlf)
            text.replace("\r\n", "\n").replace("\n", "\r\n");
        compare(path, text, stride, counts);
        // Only what the scan follows to its end, so that the timing covers the whole text.
        std::vector<JavaLineStates::Checkpoint> checkpoints;
        qsizetype stoppedAt = -1;
        if (JavaLineStates::scan(text.constData(), 0, text.size(), {}, false, JavaLineStates::Cache::Every, checkpoints, stoppedAt).kind
            != JavaLineStates::Kind::Unknown && text.endsWith('\n'))
            all += text;
    }
    std::printf("files %d (with a mismatch %d), screens coloured %d, left to the control %d, mismatches %d\n", counts.files,
        counts.filesWithMismatch, counts.screens, counts.givenUp, counts.mismatches);

    std::vector<JavaLineStates::Checkpoint> checkpoints;
    qsizetype stoppedAt = -1;
    QElapsedTimer timer;
    timer.start();
    const JavaLineStates::State state = JavaLineStates::scan(all.constData(), 0, all.size(), {}, false,
        JavaLineStates::Cache::Every, checkpoints, stoppedAt);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    std::printf("scan of all files together (%.1f MB): %.1f ms, %.0f MB/s, %s\n", all.size() / 1e6, ms,
        all.size() / 1e3 / ms, state.kind == JavaLineStates::Kind::Unknown ? "gave up" : "to the end");
    return counts.mismatches > 0 ? 1 : 0;
}
