#pragma once

#include <QString>
#include <QStringList>

// The files last opened or saved, newest first, for the File menu. The list lives in a small file
// that every window reads before it shows the list and writes when it changes it, so that windows
// running side by side and the next start share one list.
class RecentFiles {
public:
    static constexpr int Max = 9; // numbered 1 to 9, the menu's mnemonics

    explicit RecentFiles(QString storePath) : storePath_(std::move(storePath)) {}

    // $XDG_CONFIG_HOME/tolvane/recent-files, or ~/.config/tolvane/recent-files.
    static QString defaultStorePath();

    // The list as stored now; an unreadable or missing store is an empty list.
    QStringList files() const;
    // path goes to the top (or moves there); false when the list could not be stored.
    bool add(const QString& path);
    bool remove(const QString& path);

private:
    bool store(const QStringList& files) const;

    QString storePath_;
};

// list with path first and no second copy of it, cut to max entries. Paths are compared as given
// (the callers give absolute, clean ones).
QStringList withRecentFile(QStringList list, const QString& path, int max = RecentFiles::Max);

// The menu item for the index-th file (0-based): "&1 /path/Name.java". A "&" in the path is shown as
// such, and a path too long for a menu keeps its start and its file name.
QString recentFileCaption(int index, const QString& path);
