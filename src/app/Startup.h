#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for.
struct StartupOptions {
    bool showHelp = false;
    bool showVersion = false;
    QString fileToOpen;
    int line = 0;    // --goto=LINE[:COLUMN]: where the caret starts (1-based; 0: the start)
    int column = 0;
    QString error; // an unknown option, or more than one file
};

StartupOptions parseStartupOptions(const QStringList& arguments);
QString usageText();
QString versionText();

// Starts the editor: the whole program but main().
int runTolvane(int argc, char* argv[]);
