#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// File names as the system stores them are bytes; QString holds UTF-16. Qt turns each byte of a name
// that is not UTF-8 into U+FFFD (and its folder listings leave such names out), so a file named
// "caf\xE9.java" (a Latin-1 name) given on the command line could never be opened. These two keep
// every name: each byte that is not part of valid UTF-8 becomes the lone surrogate U+DC80..U+DCFF
// and goes back to the same byte. Valid UTF-8 never yields a lone surrogate, so names of valid UTF-8
// read as they always did.
QString fileNameFromLocal(QByteArrayView bytes);
QByteArray localFileName(const QString& name);

// Whether a name holds U+FFFD, the character with which Qt replaces each byte of a name that is not
// UTF-8: such a name, taken from Qt, no longer names the file it came from.
bool hasLostBytes(const QString& name);

