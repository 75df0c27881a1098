#include "DiskWatch.h"

#include "host/FileWatcher.h"
#include "host/HostError.h"

DiskWatch::DiskWatch(FileStore& files, FileWatcher* watcher, QObject* parent)
    : QObject(parent), files_(files), watcher_(watcher)
{
}

DiskWatch::~DiskWatch()
{
    if (watcher_)
        watcher_->watch(QString(), nullptr);
}

void DiskWatch::follow(const QString& path, const FileStat& stat, quint64 hash)
{
    const bool samePath = path == path_;
    path_ = path;
    baseline_ = stat;
    hash_ = hash;
    reported_.reset();
    acknowledged_.reset();
    hashed_.reset();
    if (watcher_ && !samePath)
        watcher_->watch(path_, [this] { emit fileEvent(); });
}

void DiskWatch::stop()
{
    path_.clear();
    reported_.reset();
    acknowledged_.reset();
    hashed_.reset();
    if (watcher_)
        watcher_->watch(QString(), nullptr);
}

DiskChange DiskWatch::compare(FileStat& now)
{
    now = files_.stat(path_);
    if (!now.exists)
        return DiskChange::Missing;
    if (now == baseline_)
        return DiskChange::None;
    if (now.size != baseline_.size || now.mtimeNs != baseline_.mtimeNs || now.inode != baseline_.inode
        || now.device != baseline_.device)
        return DiskChange::Changed;
    if (!hashed_ || hashed_->first != now) {
        try {
            hashed_.emplace(now, files_.hashFile(path_));
        } catch (const HostError&) {
            return DiskChange::Changed; // unreadable now: certainly not the file as loaded
        }
    }
    if (hashed_->second != hash_)
        return DiskChange::Changed;
    baseline_ = now; // the same bytes: nothing to read again next time
    return DiskChange::None;
}

void DiskWatch::check()
{
    if (path_.isEmpty())
        return;
    FileStat now;
    const DiskChange change = compare(now);
    if (change == DiskChange::None) {
        if (reported_) {
            reported_.reset();
            emit changed(DiskChange::None);
        }
        return;
    }
    if (reported_ == now)
        return;
    reported_ = now;
    emit changed(change);
}

bool DiskWatch::changedUnseen()
{
    if (path_.isEmpty())
        return false;
    FileStat now;
    return compare(now) == DiskChange::Changed && acknowledged_ != now;
}
