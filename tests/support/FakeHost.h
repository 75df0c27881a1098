#pragma once

#include "host/CommandLine.h"
#include "host/HostError.h"
#include "host/HostServices.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>

// Scripted host services: every dialog answer is queued up front, every call is recorded.

class FakeCommonDialog : public CommonDialog {
public:
    struct Call {
        QString kind; // "open" or "save"
        QString filter;
        QString fileName; // FileName when the dialog was shown
        QString initDir;
    };
    // The next dialog returns path; std::nullopt means the user presses Cancel.
    void willChoose(std::optional<QString> path) { answers.push_back(std::move(path)); }
    void ShowOpen() override { show(QStringLiteral("open")); }
    void ShowSave() override { show(QStringLiteral("save")); }

    std::deque<std::optional<QString>> answers;
    QList<Call> calls;

private:
    void show(const QString& kind);
};

class FakeMessageBox : public MessageBoxService {
public:
    struct Call {
        QString text;
        int style;
        QString title; // as passed (empty when the caller passed none)
    };
    void willAnswer(int button) { answers.push_back(button); }
    int show(const QString& text, int style, const QString& title) override;

    std::deque<int> answers; // when empty: OK for OK-only boxes, otherwise Cancel
    QList<Call> calls;
};

class FakeClipboard : public ClipboardService {
public:
    void SetText(const QString& text) override
    {
        ++setCalls;
        contents = text;
    }
    QString GetText() override
    {
        if (failGet)
            throw HostError(QStringLiteral("clipboard busy"));
        return contents.value_or(QString());
    }

    std::optional<QString> contents;
    int setCalls = 0;
    bool failGet = false;
};

class FakeProcessStarter : public ProcessStarter {
public:
    struct Call {
        QString commandLine; // as the panel shows it
        int windowStyle;
        ConsoleStart how = {};
        QString program;
        QStringList arguments;
    };
    qint64 StartProcess(const QString& program, const QStringList& arguments, int windowStyle) override
    {
        calls.push_back({displayCommandLine(program, arguments), windowStyle, {}, program, arguments});
        if (!failWith.isEmpty())
            throw HostError(failWith);
        return ++lastTaskId;
    }
    qint64 startConsole(const QString& program, const QStringList& arguments, const ConsoleStart& how) override
    {
        calls.push_back({displayCommandLine(program, arguments), ws::MinimizedFocus, how, program, arguments});
        if (!failWith.isEmpty())
            throw HostError(failWith);
        if (how.interactive)
            running.insert(lastTaskId + 1);
        return ++lastTaskId;
    }
    bool writeInput(qint64 taskId, const QString& text) override
    {
        if (!running.contains(taskId))
            return false;
        input[taskId] += text;
        return true;
    }
    bool closeInput(qint64 taskId) override
    {
        if (!running.contains(taskId))
            return false;
        inputClosed << taskId;
        return true;
    }
    bool stop(qint64 taskId) override
    {
        stopped << taskId;
        return running.remove(taskId) || left.remove(taskId) > 0;
    }
    int leftovers(qint64 taskId) override { return left.value(taskId); }
    void setConsoleOutput(ConsoleOutput* output) override { console = output; }
    ConsoleOutput* consoleOutput() const override { return console; }

    QList<Call> calls;
    ConsoleOutput* console = nullptr; // where a test may feed what a started program prints
    QString failWith; // when set, every start fails with this message
    qint64 lastTaskId = 1000;
    QSet<qint64> running;            // interactive runs not stopped (a test ends them as it likes)
    QHash<qint64, QString> input;    // what each run was given on its standard input
    QList<qint64> stopped;
    QList<qint64> inputClosed;
    QHash<qint64, int> left; // processes a run leaves running when it ends
};

class FakeClock : public Clock {
public:
    QDateTime Now() override { return now; }
    QDateTime now = QDateTime(QDate(2026, 12, 7), QTime(14, 30, 5));
};

// Records of the system as a test states them; a failure set makes every lookup fail with it.
class FakeSystemLookup : public SystemLookup {
public:
    void set(const QString& key, const QString& valueName, const QString& text) { values.insert(key + u'|' + valueName, text); }
    std::optional<QString> value(const QString& key, const QString& valueName) override
    {
        ++lookups;
        if (!failWith.isEmpty())
            throw HostError(failWith);
        const auto found = values.constFind(key + u'|' + valueName);
        return found == values.constEnd() ? std::nullopt : std::optional<QString>(*found);
    }
    QHash<QString, QString> values;
    QString failWith;
    int lookups = 0;
};

class FakeFileLookup : public FileLookup {
public:
    bool exists(const QString& path) override { return files.contains(path); }
    QSet<QString> files;
};

// Files in memory. A path in unreadable / unwritable fails with the given reason, like a real disk.
class FakeFileStore : public FileStore {
public:
    QByteArray readAll(const QString& path, qint64 maxBytes) override;
    void writeAll(const QString& path, const QByteArray& bytes) override;
    FileStat stat(const QString& path) override;
    quint64 hashFile(const QString& path) override;
    // Another program's doing: path now holds bytes, written in place (same inode) or renamed over
    // it; keepTimes puts the modification time back, as a copy tool does.
    void changeBehind(const QString& path, const QByteArray& bytes, bool inPlace, bool keepTimes = false);

    QHash<QString, QByteArray> files;
    QHash<QString, FileStat> stats; // made up on first sight of a file
    qint64 clockNs = 1000;
    quint64 nextInode = 100;
    QHash<QString, QString> unreadable;
    QHash<QString, QString> unwritable;
    QStringList writes; // paths, in the order written
};

class FakeFileWatcher : public FileWatcher {
public:
    void watch(const QString& watched, std::function<void()> notify) override
    {
        path = watched;
        changed = std::move(notify);
    }
    void fire()
    {
        if (changed)
            changed();
    }
    QString path;
    std::function<void()> changed;
};

// A complete scripted host; the pointers stay owned by services.
struct FakeHost {
    FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    HostServices services;
    FakeMessageBox* messageBox;
    FakeClipboard* clipboard;
    FakeProcessStarter* processes;
    FakeClock* clock;
    FakeFileLookup* fileLookup;
    FakeSystemLookup* systemLookup;
    FakeFileStore* files;
    FakeFileWatcher* fileWatcher;
    FakeCommonDialog* fileDialog = nullptr; // set once the main window has made it
    // The print dialog prints to this PDF file; std::nullopt: the user presses Cancel.
    std::optional<QString> printToPdf;
    int printDialogs = 0;
};

#include <ostream>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
