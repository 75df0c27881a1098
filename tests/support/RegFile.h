#pragma once

#include "host/MemoryRegistry.h"

#include <QByteArray>
#include <QString>

#include <stdexcept>

// Registry exports (.reg files) read into a hive, so tests can state a registry as a file.

// A .reg text that cannot be read; what() names the line.
class RegParseError : public std::runtime_error {
public:
    RegParseError(int line, const QString& reason);
    int line() const { return line_; }

private:
    int line_;
};

// Adds the keys and values of a registry export ("Windows Registry Editor Version 5.00" or "REGEDIT4");
// UTF-16 files with a byte-order mark and UTF-8 files are both accepted. Throws RegParseError.
void loadRegFile(MemoryRegistry& hive, const QByteArray& contents);
void loadRegText(MemoryRegistry& hive, const QString& text);

// The root key a .reg section or a test names ("HKEY_LOCAL_MACHINE" or "HKLM"); 0 when unknown.
std::uint32_t registryRootByName(const QString& name);
