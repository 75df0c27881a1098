#pragma once

#include <QString>

#include <functional>

// Tells when the file at a path may have been changed by someone else: written, replaced by a
// rename, removed, moved away, or created again. Only a hint that it is worth looking (own saves
// raise it too); the caller compares what it finds with what it knows.
class FileWatcher {
public:
    virtual ~FileWatcher() = default;
    // From now on calls changed, on the UI thread, after such an event; an empty path stops watching.
    virtual void watch(const QString& path, std::function<void()> changed) = 0;
};
