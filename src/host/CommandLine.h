#pragma once

#include <QString>
#include <QStringList>

// Command lines are single strings, split into a program and its arguments the way Windows programs
// split theirs: blanks (spaces and tabs) separate arguments; double quotes group blanks into one
// argument and may start or end in the middle of one; 2n backslashes before a double quote stand
// for n backslashes and the quote groups, 2n+1 stand for n backslashes and a literal quote; inside
// quotes, "" is a literal quote; backslashes elsewhere are plain characters.
QStringList splitCommandLine(const QString& commandLine);

// The argument as it must be written in a command line to come back whole from splitCommandLine.
// Arguments without blanks or double quotes are returned unchanged (the empty one included).
QString quoteCommandLineArgument(const QString& argument);

// The command line shown to the user for a program and its arguments; only for reading, never
// split again to start anything.
QString displayCommandLine(const QString& program, const QStringList& arguments);
