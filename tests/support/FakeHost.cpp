#include "support/FakeHost.h"

#include "host/ContentHash.h"

#include <QPrinter>

#include <limits>

void FakeCommonDialog::show(const QString& kind)
{
    calls.push_back({kind, Filter, FileName, InitDir});
    if (answers.empty())
        throw std::logic_error("file dialog shown but the test scripted no answer");
    const std::optional<QString> answer = answers.front();
    answers.pop_front();
    Cancelled = !answer.has_value();
    if (answer)
        FileName = *answer;
}

int FakeMessageBox::show(const QString& text, int style, const QString& title)
{
    calls.push_back({text, style, title});
    if (!answers.empty()) {
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return (style & 0x0F) == mb::OKOnly ? mb::OK : mb::Cancel;
}

QByteArray FakeFileStore::readAll(const QString& path, qint64 maxBytes)
{
    if (unreadable.contains(path))
        throw HostError(QStringLiteral("Cannot open %1:\n%2").arg(path, unreadable.value(path)));
    if (!files.contains(path))
        throw HostError(QStringLiteral("Cannot open %1:\nNo such file or directory").arg(path));
    if (files.value(path).size() > maxBytes)
        throw HostError(QStringLiteral("Cannot open %1:\nThe file is too large.").arg(path));
    return files.value(path);
}

void FakeFileStore::writeAll(const QString& path, const QByteArray& bytes)
{
    if (unwritable.contains(path))
        throw HostError(QStringLiteral("Cannot save %1:\n%2").arg(path, unwritable.value(path)));
    files.insert(path, bytes);
    writes.push_back(path);
    // Saved through a temporary file renamed over the old one: a new inode.
    clockNs += 1000;
    stats.insert(path, FileStat{true, bytes.size(), clockNs, clockNs, nextInode++, 1});
}

FileStat FakeFileStore::stat(const QString& path)
{
    if (!files.contains(path)) {
        stats.remove(path);
        return {};
    }
    if (!stats.contains(path))
        stats.insert(path, FileStat{true, files.value(path).size(), clockNs, clockNs, nextInode++, 1});
    return stats.value(path);
}

quint64 FakeFileStore::hashFile(const QString& path)
{
    return contentHash(readAll(path, std::numeric_limits<qint64>::max()));
}

void FakeFileStore::changeBehind(const QString& path, const QByteArray& bytes, bool inPlace, bool keepTimes)
{
    FileStat info = stat(path);
    clockNs += 1000;
    info.exists = true;
    info.size = bytes.size();
    info.ctimeNs = clockNs;
    if (!keepTimes)
        info.mtimeNs = clockNs;
    if (!inPlace)
        info.inode = nextInode++;
    files.insert(path, bytes);
    stats.insert(path, info);
}

FakeHost::FakeHost()
{
    auto messageBoxOwned = std::make_unique<FakeMessageBox>();
    auto clipboardOwned = std::make_unique<FakeClipboard>();
    auto processesOwned = std::make_unique<FakeProcessStarter>();
    auto clockOwned = std::make_unique<FakeClock>();
    auto lookupOwned = std::make_unique<FakeFileLookup>();
    auto filesOwned = std::make_unique<FakeFileStore>();
    auto watcherOwned = std::make_unique<FakeFileWatcher>();
    messageBox = messageBoxOwned.get();
    clipboard = clipboardOwned.get();
    processes = processesOwned.get();
    clock = clockOwned.get();
    fileLookup = lookupOwned.get();
    files = filesOwned.get();
    fileWatcher = watcherOwned.get();
    services.messageBox = std::move(messageBoxOwned);
    services.clipboard = std::move(clipboardOwned);
    services.processes = std::move(processesOwned);
    services.clock = std::move(clockOwned);
    services.fileLookup = std::move(lookupOwned);
    services.files = std::move(filesOwned);
    services.fileWatcher = std::move(watcherOwned);
    auto systemLookupOwned = std::make_unique<FakeSystemLookup>();
    systemLookup = systemLookupOwned.get();
    services.systemLookup = std::move(systemLookupOwned);
    services.choosePrinter = [this](QPrinter& printer, QWidget*) {
        ++printDialogs;
        if (!printToPdf)
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(*printToPdf);
        return true;
    };
    services.makeFileDialog = [this](QWidget*) {
        auto dialog = std::make_unique<FakeCommonDialog>();
        fileDialog = dialog.get();
        return dialog;
    };
}
