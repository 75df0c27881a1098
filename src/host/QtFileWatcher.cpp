#include "QtFileWatcher.h"

#include <QFileInfo>

QtFileWatcher::QtFileWatcher()
{
    settle_.setSingleShot(true);
    settle_.setInterval(100);
    QObject::connect(&settle_, &QTimer::timeout, &watcher_, [this] {
        if (changed_)
            changed_();
    });
    QObject::connect(&watcher_, &QFileSystemWatcher::fileChanged, &watcher_, [this] { onEvent(); });
    QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, &watcher_, [this] { onEvent(); });
}

void QtFileWatcher::watch(const QString& path, std::function<void()> changed)
{
    settle_.stop();
    if (!watcher_.files().isEmpty())
        watcher_.removePaths(watcher_.files());
    if (!watcher_.directories().isEmpty())
        watcher_.removePaths(watcher_.directories());
    path_ = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    changed_ = std::move(changed);
    if (path_.isEmpty())
        return;
    watcher_.addPath(QFileInfo(path_).absolutePath());
    if (QFileInfo::exists(path_))
        watcher_.addPath(path_);
}

void QtFileWatcher::onEvent()
{
    if (path_.isEmpty())
        return;
    // Taken up afresh each time: after a rename over it, the path names another file than the one
    // the notifications were following, whether or not the watcher noticed that.
    if (watcher_.files().contains(path_))
        watcher_.removePath(path_);
    if (QFileInfo::exists(path_))
        watcher_.addPath(path_);
    settle_.start();
}
