#pragma once

#include <QString>

class FileLookup {
public:
    virtual ~FileLookup() = default;
    // True when a normal file (not a folder, not hidden) of that path exists.
    virtual bool exists(const QString& path) = 0;
};
