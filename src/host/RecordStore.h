#pragma once

#include <QByteArray>
#include <QString>

// The files of the crash-recovery record. A record that is believed written but is not protects
// nothing, so every write and every sync is checked, and a failure throws HostError with the
// system's reason (for example "No space left on device"); nothing reports success it did not have.
class RecordStore {
public:
    virtual ~RecordStore() = default;
    // Creates the folder (only its owner may enter it) when it is missing; throws when it cannot be
    // made, or is not a folder this process may write.
    virtual void makeFolder(const QString& path) = 0;
    // Puts a file holding exactly bytes at path, synced to disk; on failure the file that was there
    // stays as it was.
    virtual void replace(const QString& path, const QByteArray& bytes) = 0;
    // Adds bytes at the end of the file at path, which holds size bytes, and syncs it. On failure the
    // file is cut back to size, so that no half-written bytes follow what was there.
    virtual void append(const QString& path, qint64 size, const QByteArray& bytes) = 0;
    // Removes the file if there is one.
    virtual void remove(const QString& path) = 0;
};
