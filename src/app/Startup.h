#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for.
struct StartupOptions {
    bool showHelp = false;
    bool showVersion = false;
    QString fileToOpen;
    QString error; // an unknown option, or more than one file
};

StartupOptions parseStartupOptions(const QStringList& arguments);
QString usageText();
QString versionText();

// Starts the editor: the whole program but main().
int runTolvane(int argc, char* argv[]);
