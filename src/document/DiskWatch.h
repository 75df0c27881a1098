#pragma once

#include "host/FileStore.h"

#include <QObject>
#include <QString>

#include <optional>

class FileWatcher;

enum class DiskChange {
    None,    // the file holds what was last loaded or saved
    Changed, // another program wrote it, or put another file in its place
    Missing, // deleted or moved away
};

// Remembers what the document's file was on disk when its text was last loaded from it or saved to
// it, and tells when the file stops being that. Cheap checks first: a file whose size, times, inode
// and device are all as they were is unchanged. When only the change time moved (a copy that kept
// the modification time, a change of permissions) the contents are hashed and compared.
class DiskWatch : public QObject {
    Q_OBJECT

public:
    DiskWatch(FileStore& files, FileWatcher* watcher, QObject* parent = nullptr);
    ~DiskWatch() override;

    // The editor now holds the file at path as stat found it; hash is contentHash of its bytes.
    void follow(const QString& path, const FileStat& stat, quint64 hash);
    // The document has no file any more.
    void stop();
    const QString& path() const { return path_; }

    // Looks at the file now; emits changed once for each new state of the file that differs from
    // the version loaded or saved (and None when it is that version again).
    void check();
    // The user chose to keep the text over the file as last reported changed.
    void acknowledge() { acknowledged_ = reported_; }
    // True when the file differs from the version loaded or saved and the user has not chosen to keep
    // the text over the file as it is now: writing over it could lose another program's work unseen.
    // A notice alone is not enough, since the user may not have read it.
    bool changedUnseen();

signals:
    void changed(DiskChange change);
    // The watcher saw something happen to the file; the owner calls check() when it is safe to.
    void fileEvent();

private:
    DiskChange compare(FileStat& now);

    FileStore& files_;
    FileWatcher* watcher_;
    QString path_;
    FileStat baseline_;
    quint64 hash_ = 0;
    std::optional<FileStat> reported_; // the file as it was when last reported changed
    std::optional<FileStat> acknowledged_;
    // The last hash taken because only the change time moved, so that a file is read once per state.
    std::optional<std::pair<FileStat, quint64>> hashed_;
};
