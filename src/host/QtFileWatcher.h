#pragma once

#include "FileWatcher.h"

#include <QFileSystemWatcher>
#include <QTimer>

// The system's file notifications. A file replaced by a rename is a new file the notifications no
// longer follow, so the folder is watched as well and the file's path taken up again whenever it
// exists. A burst of events (a program writing in pieces) is reported once, when it has calmed.
class QtFileWatcher : public FileWatcher {
public:
    QtFileWatcher();
    void watch(const QString& path, std::function<void()> changed) override;

private:
    void onEvent();

    QFileSystemWatcher watcher_;
    QTimer settle_;
    QString path_;
    std::function<void()> changed_;
};
