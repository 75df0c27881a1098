#include "support/FakeHost.h"

#include "host/SystemRegistry.h"

void FakeCommonDialog::show(const QString& kind)
{
    calls.push_back({kind, Filter, FileName});
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
}

FakeHost::FakeHost()
{
    auto messageBoxOwned = std::make_unique<FakeMessageBox>();
    auto clipboardOwned = std::make_unique<FakeClipboard>();
    auto processesOwned = std::make_unique<FakeProcessStarter>();
    auto clockOwned = std::make_unique<FakeClock>();
    auto lookupOwned = std::make_unique<FakeFileLookup>();
    auto filesOwned = std::make_unique<FakeFileStore>();
    messageBox = messageBoxOwned.get();
    clipboard = clipboardOwned.get();
    processes = processesOwned.get();
    clock = clockOwned.get();
    fileLookup = lookupOwned.get();
    files = filesOwned.get();
    services.messageBox = std::move(messageBoxOwned);
    services.clipboard = std::move(clipboardOwned);
    services.processes = std::move(processesOwned);
    services.clock = std::move(clockOwned);
    services.fileLookup = std::move(lookupOwned);
    services.files = std::move(filesOwned);
    services.registry = makeSystemRegistry();
    services.makeFileDialog = [this](QWidget*) {
        auto dialog = std::make_unique<FakeCommonDialog>();
        fileDialog = dialog.get();
        return dialog;
    };
}
