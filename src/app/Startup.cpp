#include "Startup.h"

#include "app/PreparedBlocks.h"
#include "app/frmMain.h"
#include "document/Document.h"
#include "document/Recovery.h"
#include "editor/EditorControl.h"
#include "host/AppInfo.h"
#include "host/ContentHash.h"
#include "host/HostError.h"
#include "host/HostServices.h"
#include "host/LocalFileName.h"
#include "host/QtFileStore.h"
#include "javatools/JavaLookup.h"
#include "javatools/JavaTools.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <thread>

namespace {
struct StartupRead {
    std::optional<DecodedFile> decoded;
    QString error;
    bool missing = false; // no file of that name yet: the document is to become it
    FileStat stat;
    quint64 hash = 0;
};

// The size of the file named on the command line, as its room is made before it is read: 0 for a file
// over the limit (its refusal is shown, and a huge one must not exhaust memory before it can be) or
// one that cannot be seen.
qint64 startupFileBytes(const QString& path)
{
    struct stat info {};
    if (::stat(localFileName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return 0;
    return qint64(info.st_size) <= MaxDocumentBytes ? qint64(info.st_size) : 0;
}

StartupRead readStartupFile(const QString& path)
{
    StartupRead result;
    // `tolvane New.java` starts the file New.java, as with any editor; only a name that is there
    // but cannot be read is an error.
    struct stat info {};
    if (::lstat(localFileName(path).constData(), &info) != 0 && errno == ENOENT) {
        result.missing = true;
        return result;
    }
    try {
        QtFileStore store;
        result.stat = store.stat(path);
        const QByteArray bytes = store.readAll(path, MaxDocumentBytes);
        result.hash = contentHash(bytes);
        result.decoded = decodeFile(bytes);
    } catch (const HostError& error) {
        result.error = error.message();
    }
#ifdef TOLVANE_TEST_HOOKS
    // Test builds can hold the load back until a file of the given name appears, so that a story can
    // act while it runs however slow the machine, and end it when it is done (two minutes at most).
    if (const QByteArray gate = qgetenv("TOLVANE_TEST_LOAD_GATE"); !gate.isEmpty()) {
        for (int waited = 0; waited < 120000 && ::access(gate.constData(), F_OK) != 0; waited += 20)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
#endif
    return result;
}

// Hands the file to the editor on a thread of its own, so that the window is built and shown
// meanwhile: the room for the text is made as soon as the editor exists, while the file may still be
// being read. The document takes the text over on the UI thread once the window is built and the text
// is ready; until then the editor is read-only, so nothing typed in those milliseconds is lost under
// the file.
class StartupLoad {
public:
    StartupLoad(const QString& path, qint64 expectedBytes, std::future<StartupRead> reading)
        : path_(path), expectedBytes_(expectedBytes), reading_(std::move(reading))
    {
    }

    // On the UI thread, inside the window's construction: only the editor exists yet.
    void start(frmMain& window, EditorControl& editor)
    {
        editor.setReadOnly(true);
        std::shared_ptr<EditorControl::PreparedLoad> load = editor.prepareLoad(expectedBytes_);
        thread_ = std::thread([this, &window, load, reading = std::move(reading_)]() mutable {
            load->reserve();
            auto read = std::make_shared<StartupRead>(reading.get());
            if (read->decoded)
                load->fill(read->decoded->utf8);
            // Delivered by the event loop, so only once the window is built.
            QMetaObject::invokeMethod(&window, [this, &window, load, read] { finish(window, *load, *read); },
                                      Qt::QueuedConnection);
        });
    }

    // On the UI thread, once the window is built.
    void windowBuilt(frmMain& window, std::function<void()> loaded)
    {
        loaded_ = std::move(loaded);
        window.cd1().FileName = path_;
        window.document().setLoading(true);
    }

    // Once the event loop has ended: a load that never reached the window lets go of its document
    // while the editor still exists.
    void stop(frmMain& window)
    {
        PreparedBlocks::program().releaseUnused();
        if (thread_.joinable()) {
            thread_.join();
            QCoreApplication::removePostedEvents(&window);
        }
    }

private:
    void finish(frmMain& window, EditorControl::PreparedLoad& load, const StartupRead& read)
    {
        // What the load did not take (a load that failed) is let go.
        PreparedBlocks::program().releaseUnused();
        window.Text1().setReadOnly(false);
        if (read.decoded)
            window.document().loadPrepared(path_, read.decoded->format, load, read.stat, read.hash);
        window.document().setLoading(false);
        if (read.missing)
            window.document().startNewFile(path_);
        else if (!read.decoded)
            window.document().reportReadFailure(read.error);
        if (loaded_)
            loaded_();
    }

    QString path_;
    qint64 expectedBytes_ = 0;
    std::future<StartupRead> reading_;
    std::thread thread_;
    std::function<void()> loaded_;
};
} // namespace

StartupOptions parseStartupOptions(const QStringList& arguments)
{
    StartupOptions options;
    bool onlyFiles = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (!onlyFiles && arg == QLatin1String("--")) {
            onlyFiles = true;
        } else if (!onlyFiles && (arg == QLatin1String("--help") || arg == QLatin1String("-h"))) {
            options.showHelp = true;
        } else if (!onlyFiles && (arg == QLatin1String("--version") || arg == QLatin1String("-v"))) {
            options.showVersion = true;
        } else if (!onlyFiles && arg.startsWith(QLatin1String("--goto="))) {
            const QStringList parts = arg.mid(7).split(u':');
            bool lineOk = false;
            bool columnOk = parts.size() == 1;
            options.line = parts.value(0).toInt(&lineOk);
            options.column = parts.size() == 2 ? parts[1].toInt(&columnOk) : 1;
            if (!lineOk || !columnOk || parts.size() > 2 || options.line < 1 || options.column < 1)
                options.error = QStringLiteral("--goto needs LINE or LINE:COLUMN, counted from 1: %1").arg(arg);
        } else if (!onlyFiles && arg.startsWith(u'-') && arg.size() > 1) {
            options.error = QStringLiteral("unknown option: %1").arg(arg);
        } else if (options.fileToOpen.isEmpty()) {
            options.fileToOpen = arg;
        } else {
            options.error = QStringLiteral("only one file can be opened at a time");
        }
    }
    return options;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: tolvane [--goto=LINE[:COLUMN]] [FILE]\n"
        "A small, fast editor for Java source files.\n"
        "\n"
        "  FILE           open FILE at start; a new FILE is created by the first save\n"
        "  --goto=LINE[:COLUMN]  start with the caret there (counted from 1)\n"
        "  -h, --help     show this help and exit\n"
        "  -v, --version  show the version and exit\n");
}

QString versionText()
{
    return AppInfo::Title + u' ' + AppInfo::versionText();
}

int runTolvane(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << fileNameFromLocal(argv[i]); // a file name that is not UTF-8 keeps its bytes
    const StartupOptions options = parseStartupOptions(arguments);
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "tolvane: %s\n%s", qPrintable(options.error), qPrintable(usageText()));
        return 2;
    }
    if (options.showHelp) {
        std::fputs(qPrintable(usageText()), stdout);
        return 0;
    }
    if (options.showVersion) {
        std::printf("%s\n", qPrintable(versionText()));
        return 0;
    }

    // The file named on the command line is read and decoded while Qt starts, and the editor's room
    // for it is cleared meanwhile: a big file's text and colours take as much memory again each.
    // One look at the size serves both, so the room asked for is the room prepared.
    std::future<StartupRead> reading;
    qint64 expectedBytes = 0;
    if (!options.fileToOpen.isEmpty()) {
        expectedBytes = startupFileBytes(options.fileToOpen);
        if (expectedBytes > 0)
            PreparedBlocks::program().prepare(std::size_t(EditorControl::loadRoom(expectedBytes)), 2);
        reading = std::async(std::launch::async, readStartupFile, options.fileToOpen);
    }

    Q_INIT_RESOURCE(tolvane);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolvane"));
    QApplication::setApplicationVersion(AppInfo::versionText());
    QApplication::setDesktopFileName(QStringLiteral("tolvane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/tolvane.png")));

    HostServices host = makeQtHost();
    host.checkServiceCommand = [] { return ::checkServiceCommand(); };
    host.interactionsServiceCommand = [] { return ::interactionsServiceCommand(); };
    std::optional<StartupLoad> startupLoad;
    if (!options.fileToOpen.isEmpty())
        startupLoad.emplace(options.fileToOpen, expectedBytes, std::move(reading));
    frmMain window(host, nullptr, [&startupLoad, &window](EditorControl& editor) {
        if (startupLoad)
            startupLoad->start(window, editor);
    });

    Recovery recovery(window.document(), host, Recovery::defaultStateFolder());
    // Unsaved changes an earlier run left behind are offered once the window shows and the file
    // named on the command line is in it, so that neither replaces the other.
    const auto offerRecovery = [&recovery, &window, &options] {
        if (options.line > 0 && window.document().HasFileName())
            window.javaTools().goToDiagnostic(window.document().CurrentFileName(), options.line, options.column - 1);
        recovery.offerOrphans();
    };
    if (startupLoad)
        startupLoad->windowBuilt(window, offerRecovery);
    else
        QTimer::singleShot(0, &window, offerRecovery);
    window.showMaximized();
    const int status = app.exec();
    // The window closed as the user chose (saved, or left with No): no record is to be kept.
    recovery.finish();
    if (startupLoad)
        startupLoad->stop(window);
    return status;
}
