#include "Recovery.h"

#include "Document.h"

#include "host/AppInfo.h"
#include "host/ContentHash.h"
#include "host/EditorControl.h"
#include "host/HostError.h"
#include "host/HostServices.h"
#include "host/QtRecordStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The journal is rewritten as one snapshot once it outgrows the snapshot and this.
constexpr qint64 CompactAtLeast = 64 * 1024;
// Typing that never pauses is still written this often.
constexpr qint64 LongestWaitMs = 10000;

QByteArray readSmallFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString bootId()
{
    return QString::fromLatin1(readSmallFile(QStringLiteral("/proc/sys/kernel/random/boot_id")).trimmed());
}

// The process's start time in clock ticks since the boot: with the pid and the boot it names this
// process and no other.
quint64 processStart()
{
    const QByteArray stat = readSmallFile(QStringLiteral("/proc/self/stat"));
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    return fields.size() > 19 ? fields[19].toULongLong() : 0; // field 22 of the whole line
}

// Takes the lock at path without waiting; the descriptor, or -1 when another process holds it.
int tryLock(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void releaseLock(int fd, const QString& path, bool removeFile)
{
    if (removeFile)
        QFile::remove(path);
    ::close(fd);
}

QString shownName(const RecoveryHeader& header)
{
    return header.displayName.isEmpty() ? QStringLiteral("Untitled") : header.displayName;
}
} // namespace

Recovery::Recovery(Document& document, EditorControl& text1, HostServices& host, const QString& stateFolder,
                   const QString& instanceId, std::unique_ptr<RecordStore> store, QObject* parent)
    : QObject(parent), document_(document), text1_(text1), host_(host), folder_(stateFolder), id_(instanceId),
      store_(store ? std::move(store) : std::make_unique<QtRecordStore>())
{
    if (id_.isEmpty())
        id_ = QStringLiteral("%1-%2-%3").arg(QCoreApplication::applicationPid()).arg(processStart()).arg(bootId().left(8));
    header_.pid = QCoreApplication::applicationPid();
    header_.bootId = bootId();
    header_.processStart = processStart();
    try {
        store_->makeFolder(folder_);
        lockFd_ = tryLock(folder_ + u'/' + id_ + QStringLiteral(".lock"));
        if (lockFd_ < 0)
            unusable_ = qt_error_string(errno);
    } catch (const HostError& error) {
        unusable_ = error.message();
    }
    if (lockFd_ < 0)
        qWarning("tolvane: no recovery records: cannot use %s: %s", qPrintable(folder_), qPrintable(unusable_));

    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &Recovery::flush);
    connect(&text1_, &EditorControl::bytesChanged, this, &Recovery::onBytesChanged);
    connect(&document_, &Document::baseChanged, this, &Recovery::onBaseChanged);
    connect(&document_, &Document::modifiedChanged, this, &Recovery::onModifiedChanged);
    onBaseChanged();
}

Recovery::~Recovery()
{
    // Whatever was not written stays in the record as it is; the lock goes with the process.
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

QString Recovery::defaultStateFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/tolvane");
}

QString Recovery::recordPath() const
{
    return folder_ + u'/' + id_ + QStringLiteral(".record");
}

void Recovery::setFlushDelay(int milliseconds)
{
    delay_ = milliseconds;
}

void Recovery::onBytesChanged(qsizetype position, qsizetype removed, const char* inserted, qsizetype insertedLength)
{
    if (pending_.empty())
        firstPending_.start();
    // Typing and backspacing at the end of the last edit only change that edit.
    RecoveryEdit* last = pending_.empty() ? nullptr : &pending_.back();
    const qint64 lastEnd = last ? last->position + last->inserted.size() : -1;
    if (last && removed == 0 && position == lastEnd) {
        last->inserted.append(inserted, insertedLength);
    } else if (last && insertedLength == 0 && position + removed == lastEnd && removed <= last->inserted.size()) {
        last->inserted.chop(removed);
        if (last->inserted.isEmpty() && last->removed == 0)
            pending_.pop_back();
    } else {
        pending_.push_back({position, removed, QByteArray(inserted, insertedLength)});
    }
    timer_->start(firstPending_.elapsed() >= LongestWaitMs ? 0 : delay_);
}

void Recovery::onBaseChanged()
{
    const QByteArrayView text = text1_.utf8View();
    header_.currentFileName = document_.CurrentFileName();
    header_.displayName = document_.displayName();
    header_.hasFileName = document_.HasFileName();
    header_.format = document_.Format();
    header_.basePath = header_.hasFileName ? header_.currentFileName : QString();
    header_.baseLength = text.size();
    header_.baseHash = Recovery64::hash(text);
    header_.baseEndedWithLineEnd = !text.isEmpty() && (text.back() == '\n' || text.back() == '\r');
    header_.baseFileSize = -1;
    header_.baseFileMtimeNs = -1;
    struct stat info {};
    if (header_.hasFileName && ::stat(QFile::encodeName(header_.basePath).constData(), &info) == 0) {
        header_.baseFileSize = info.st_size;
        header_.baseFileMtimeNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    }
    resetEdits();
    removeRecord();
}

void Recovery::onModifiedChanged(bool modified)
{
    // Undone back to the base: there is nothing to recover.
    if (!modified) {
        resetEdits();
        removeRecord();
    }
}

void Recovery::resetEdits()
{
    timer_->stop();
    pending_.clear();
    pieces_ = PieceText(header_.baseLength);
    piecesValid_ = true;
}

void Recovery::flush()
{
    timer_->stop();
    if (!active()) {
        if (!unusable_.isEmpty() && document_.Modified())
            unprotected(unusable_);
        return;
    }
    if (!document_.Modified()) {
        resetEdits();
        removeRecord();
        return;
    }
    if (pending_.empty() && recordExists_)
        return;
    // The edits count as written only once they are on disk: until then they stay pending, and the
    // text the record describes stays as it was, so a failed write never applies them twice.
    PieceText pieces = pieces_;
    bool piecesValid = piecesValid_;
    for (const RecoveryEdit& edit : pending_)
        if (piecesValid && !pieces.apply(edit))
            piecesValid = false; // a change this object missed: only the whole text can be trusted now
    const bool written = (!recordExists_ || journalBytes_ > std::max(CompactAtLeast, snapshotBytes_))
                             ? compact(pieces, piecesValid)
                             : append(RecoveryJournal::encodeEdits(pending_)) || compact(pieces, piecesValid);
    if (!written)
        return;
    pieces_ = std::move(pieces);
    piecesValid_ = piecesValid;
    pending_.clear();
    told_ = false; // a later failure is news again
}

bool Recovery::compact(const PieceText& pieces, bool piecesValid)
{
    header_.writtenAtMs = QDateTime::currentMSecsSinceEpoch();
    QByteArray bytes = RecoveryJournal::encodeHeader(header_);
    if (text1_.utf8Length() <= WholeTextLimit || !header_.hasFileName || !piecesValid)
        bytes += RecoveryJournal::encodeWholeTextSnapshot(text1_.utf8View());
    else
        bytes += RecoveryJournal::encodePiecesSnapshot(pieces);
    try {
        store_->replace(recordPath(), bytes);
    } catch (const HostError& error) {
        qWarning("tolvane: cannot write the recovery record %s: %s", qPrintable(recordPath()), qPrintable(error.message()));
        unprotected(error.message());
        return false;
    }
    recordExists_ = true;
    recordBytes_ = snapshotBytes_ = bytes.size();
    journalBytes_ = 0;
    return true;
}

bool Recovery::append(const QByteArray& frame)
{
    try {
        store_->append(recordPath(), recordBytes_, frame);
    } catch (const HostError& error) {
        // The store has cut the record back to what it held: it still is the last state written.
        qWarning("tolvane: cannot add to the recovery record %s: %s", qPrintable(recordPath()), qPrintable(error.message()));
        return false;
    }
    recordBytes_ += frame.size();
    journalBytes_ += frame.size();
    return true;
}

void Recovery::unprotected(const QString& reason)
{
    if (told_)
        return;
    told_ = true;
    host_.messageBox->show(QStringLiteral("Your unsaved changes are not protected against a crash: the recovery record "
                                          "cannot be written in %1 (%2).\n\nEditing and saving work as before; save "
                                          "your work to keep it safe.")
                               .arg(QDir::toNativeSeparators(folder_), reason.trimmed()),
                           mb::OKOnly | mb::Exclamation, QStringLiteral("Unsaved Changes Not Protected"));
}

void Recovery::removeRecord()
{
    if (recordExists_ || QFileInfo::exists(recordPath())) {
        try {
            store_->remove(recordPath());
        } catch (const HostError& error) {
            qWarning("tolvane: cannot remove the recovery record %s: %s", qPrintable(recordPath()), qPrintable(error.message()));
        }
    }
    recordExists_ = false;
    recordBytes_ = 0;
    snapshotBytes_ = 0;
    journalBytes_ = 0;
}

void Recovery::finish()
{
    timer_->stop();
    pending_.clear();
    if (!active())
        return;
    removeRecord();
    releaseLock(lockFd_, folder_ + u'/' + id_ + QStringLiteral(".lock"), true);
    lockFd_ = -1;
}

void Recovery::offerOrphans()
{
    if (!active() || document_.Modified())
        return;
    QDir dir(folder_);
    // Locks whose owners are gone and that guard no record are only clutter.
    for (const QString& name : dir.entryList({QStringLiteral("*.lock")}, QDir::Files)) {
        const QString id = name.chopped(5);
        if (id == id_ || dir.exists(id + QStringLiteral(".record")))
            continue;
        const int fd = tryLock(dir.filePath(name));
        if (fd >= 0)
            releaseLock(fd, dir.filePath(name), true);
    }
    // A rewrite of a record cut off by the end of its instance leaves its new copy half written.
    for (const QString& name : dir.entryList({QStringLiteral("*.record.*")}, QDir::Files)) {
        const QString id = name.left(name.indexOf(QStringLiteral(".record.")));
        if (id == id_)
            continue;
        const QString lockPath = dir.filePath(id + QStringLiteral(".lock"));
        const int fd = tryLock(lockPath);
        if (fd < 0)
            continue;
        QFile::remove(dir.filePath(name));
        releaseLock(fd, lockPath, !dir.exists(id + QStringLiteral(".record")));
    }
    for (const QFileInfo& info : dir.entryInfoList({QStringLiteral("*.record")}, QDir::Files, QDir::Time)) {
        const QString id = info.completeBaseName();
        if (id == id_)
            continue;
        const QString lockPath = dir.filePath(id + QStringLiteral(".lock"));
        const int fd = tryLock(lockPath);
        if (fd < 0)
            continue; // its instance is running
        if (!info.exists()) { // its instance finished while we looked
            releaseLock(fd, lockPath, true);
            continue;
        }
        const std::optional<RecoveryRecord> record = RecoveryJournal::decode(readSmallFile(info.filePath()));
        if (!record) {
            const QString kept = dir.filePath(id + QStringLiteral(".damaged"));
            QFile::remove(kept);
            QFile::rename(info.filePath(), kept);
            releaseLock(fd, lockPath, true);
            host_.messageBox->show(QStringLiteral("A recovery record of unsaved changes is damaged, so nothing of it was "
                                                  "recovered. It has been kept as %1.").arg(kept),
                                   mb::OKOnly | mb::Exclamation);
            continue;
        }
        const QString when = info.lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        QString news;
        if (record->torn)
            news += QStringLiteral("\n\nThe very last changes were being recorded when it ended: they are not in the record.");
        if (record->header.hasFileName && fileChangedSince(record->header))
            news += QStringLiteral("\n\nThe file has been changed or removed by another program since: after recovering, "
                                   "Save asks before it overwrites it.");
        const int answer = host_.messageBox->show(
            QStringLiteral("%1 ended on %2 without saving the changes to %3.%4\n\nRecover them? Yes brings them back "
                           "as unsaved changes, No discards them, Cancel asks again at the next start.")
                .arg(AppInfo::Title, when, shownName(record->header), news),
            mb::YesNoCancel | mb::Question, QStringLiteral("Recover Unsaved Changes?"));
        Outcome outcome = answer == mb::Yes ? recover(*record) : answer == mb::No ? Outcome::Discard : Outcome::Keep;
        if (outcome == Outcome::Keep) {
            releaseLock(fd, lockPath, false);
            continue;
        }
        QFile::remove(info.filePath());
        releaseLock(fd, lockPath, true);
        if (outcome == Outcome::Recovered)
            return;
    }
}

Recovery::Outcome Recovery::recover(const RecoveryRecord& record)
{
    const RecoveryHeader& header = record.header;
    std::optional<QByteArray> text;
    QString why;
    if (RecoveryJournal::standsAlone(record)) {
        text = RecoveryJournal::replay(record, {});
    } else {
        try {
            const QByteArray base = decodeFile(host_.files->readAll(header.basePath, MaxDocumentBytes)).utf8;
            if (const std::optional<QByteArray> verified = RecoveryJournal::baseFromFile(header, base))
                text = RecoveryJournal::replay(record, *verified);
            else
                why = QStringLiteral("the file has been changed since");
        } catch (const HostError& error) {
            why = error.message();
        }
    }
    if (!text) {
        if (why.isEmpty())
            why = QStringLiteral("the record does not fit its file");
        const int keep = host_.messageBox->show(
            QStringLiteral("The unsaved changes to %1 cannot be recovered: they were recorded as changes to the file, "
                           "and %2.\n\nKeep the record for later?").arg(shownName(header), why),
            mb::YesNo | mb::Exclamation);
        return keep == mb::No ? Outcome::Discard : Outcome::Keep;
    }
    showRecovered(record, *text);
    // The recovered text is this instance's to keep safe from now on.
    flush();
    return Outcome::Recovered;
}

bool Recovery::fileChangedSince(const RecoveryHeader& header)
{
    try {
        const QByteArray now = decodeFile(host_.files->readAll(header.basePath, MaxDocumentBytes)).utf8;
        return !RecoveryJournal::baseFromFile(header, now);
    } catch (const HostError&) {
        return true;
    }
}

void Recovery::showRecovered(const RecoveryRecord& record, const QByteArray& text)
{
    const RecoveryHeader& header = record.header;
    QByteArray current;
    if (header.hasFileName) {
        // The document is the file as it is now, changed into the recovered text: Save writes the
        // recovered text there, and Undo shows what the file holds.
        FileStat stat = host_.files->stat(header.currentFileName);
        quint64 hash = 0;
        try {
            const QByteArray bytes = host_.files->readAll(header.currentFileName, MaxDocumentBytes);
            current = decodeFile(bytes).utf8;
            hash = contentHash(bytes);
        } catch (const HostError&) {
            current.clear(); // gone or unreadable: Save writes it anew
        }
        text1_.loadUtf8(current);
        document_.setCurrentFile(header.currentFileName, header.format);
        // Another program's change since the changes were made is the user's to see: the watch starts
        // from the file as the changes knew it, so the bar offers it and Save asks before overwriting.
        const bool changed = header.basePath != header.currentFileName || !stat.exists
                             || !RecoveryJournal::baseFromFile(header, current);
        if (changed) {
            stat = FileStat{true, header.baseFileSize, header.baseFileMtimeNs, 0, 0, 0};
            hash = 0;
        }
        document_.followFile(stat, hash);
    } else {
        document_.startNew(header.displayName.isEmpty() ? QStringLiteral("Untitled") : header.displayName, QString());
    }
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(current.size(), text.size());
    while (prefix < shorter && current[prefix] == text[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && current[current.size() - 1 - suffix] == text[text.size() - 1 - suffix])
        ++suffix;
    text1_.replaceUtf8(prefix, current.size() - suffix, text.mid(prefix, text.size() - prefix - suffix));
    if (header.hasFileName)
        document_.checkDisk();
}
