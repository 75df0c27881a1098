#include "RecentFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>

namespace {
// Longer paths are shortened in the menu, keeping the start and the file name.
constexpr int MaxCaptionPath = 70;
// A store bigger than this is not ours; it is read as empty rather than trusted.
constexpr qint64 MaxStoreBytes = 64 * 1024;
} // namespace

QString RecentFiles::defaultStorePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/tolvane/recent-files");
}

QStringList RecentFiles::files() const
{
    QFile file(storePath_);
    if (file.size() > MaxStoreBytes || !file.open(QIODevice::ReadOnly))
        return {};
    QStringList list;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QString path = QString::fromUtf8(line);
        // Only absolute paths were written; anything else is damage, left out.
        if (QDir::isAbsolutePath(path) && !list.contains(path) && list.size() < Max)
            list << path;
    }
    return list;
}

bool RecentFiles::add(const QString& path)
{
    // A name with a line end cannot be kept in a file of lines; such a file is simply not listed.
    if (path.contains(u'\n') || path.contains(u'\r') || !QDir::isAbsolutePath(path))
        return false;
    return store(withRecentFile(files(), path));
}

bool RecentFiles::remove(const QString& path)
{
    QStringList list = files();
    if (list.removeAll(path) == 0)
        return true;
    return store(list);
}

bool RecentFiles::store(const QStringList& list) const
{
    QDir().mkpath(QFileInfo(storePath_).absolutePath());
    // Replaced whole by a rename, so no window ever reads half a list. Not flushed to the disk: that
    // held the window for as long as the disk took, at every open and save (90 ms on a busy one), and
    // a list of recent files is not worth it.
    // A store that is a link (a dotfiles folder) stays one: its target is replaced.
    const QFileInfo info(storePath_);
    const QString target = info.isSymLink() ? info.symLinkTarget() : storePath_;
    QTemporaryFile file(target + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return false;
    const QByteArray bytes = list.join(u'\n').toUtf8() + '\n';
    if (file.write(bytes) != bytes.size() || !file.flush())
        return false;
    if (::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(target).constData()) != 0)
        return false;
    file.setAutoRemove(false); // it is the store now
    return true;
}

QStringList withRecentFile(QStringList list, const QString& path, int max)
{
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > max)
        list.removeLast();
    return list;
}

QString recentFileCaption(int index, const QString& path)
{
    QString shown = QDir::toNativeSeparators(path);
    if (shown.size() > MaxCaptionPath) {
        const QString name = QFileInfo(path).fileName();
        const qsizetype keep = std::max<qsizetype>(MaxCaptionPath - name.size() - 4, 8);
        shown = shown.left(keep) + QStringLiteral("...") + QDir::separator() + name;
    }
    shown.replace(u'&', QStringLiteral("&&"));
    return QStringLiteral("&%1 ").arg(index + 1) + shown;
}
