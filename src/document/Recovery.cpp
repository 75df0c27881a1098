#include "Recovery.h"

#include "Document.h"

#include "editor/EditorControl.h"
#include "host/AppInfo.h"
#include "host/ContentHash.h"
#include "host/HostError.h"
#include "host/HostServices.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
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

Recovery::Recovery(Document& document, HostServices& host, const QString& stateFolder, const QString& instanceId,
                   QObject* parent)
    : QObject(parent), document_(document), host_(host), folder_(stateFolder), id_(instanceId)
{
    if (id_.isEmpty())
        id_ = QStringLiteral("%1-%2-%3").arg(QCoreApplication::applicationPid()).arg(processStart()).arg(bootId().left(8));
    header_.pid = QCoreApplication::applicationPid();
    header_.bootId = bootId();
    header_.processStart = processStart();
    if (QDir().mkpath(folder_)) {
        QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        lockFd_ = tryLock(folder_ + u'/' + id_ + QStringLiteral(".lock"));
    }
    if (lockFd_ < 0)
        qWarning("tolvane: no recovery records: cannot use %s", qPrintable(folder_));

    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &Recovery::flush);
    connect(&document_, &Document::bytesChanged, this, &Recovery::onBytesChanged);
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
    const QByteArrayView text = document_.bytes();
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
    if (!active())
        return;
    if (!document_.Modified()) {
        resetEdits();
        removeRecord();
        return;
    }
    if (pending_.empty() && recordExists_)
        return;
    for (const RecoveryEdit& edit : pending_)
        if (piecesValid_ && !pieces_.apply(edit))
            piecesValid_ = false; // a change this object missed: only the whole text can be trusted now
    const bool written = (!recordExists_ || journalBytes_ > std::max(CompactAtLeast, snapshotBytes_))
                             ? compact()
                             : append(RecoveryJournal::encodeEdits(pending_)) || compact();
    if (written)
        pending_.clear();
}

bool Recovery::compact()
{
    header_.writtenAtMs = QDateTime::currentMSecsSinceEpoch();
    QByteArray bytes = RecoveryJournal::encodeHeader(header_);
    if (document_.byteCount() <= WholeTextLimit || !header_.hasFileName || !piecesValid_)
        bytes += RecoveryJournal::encodeWholeTextSnapshot(document_.bytes());
    else
        bytes += RecoveryJournal::encodePiecesSnapshot(pieces_);
    record_.close();
    QSaveFile file(recordPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qWarning("tolvane: cannot write the recovery record %s: %s", qPrintable(recordPath()),
                 qPrintable(file.errorString()));
        return false;
    }
    recordExists_ = true;
    snapshotBytes_ = bytes.size();
    journalBytes_ = 0;
    record_.setFileName(recordPath());
    if (!record_.open(QIODevice::WriteOnly | QIODevice::Append))
        recordExists_ = false; // the next flush writes it whole again
    return true;
}

bool Recovery::append(const QByteArray& frame)
{
    if (!record_.isOpen())
        return false;
    if (record_.write(frame) != frame.size() || !record_.flush() || ::fdatasync(record_.handle()) != 0) {
        // A torn frame would spoil the whole record: have it written whole again.
        record_.close();
        recordExists_ = false;
        return false;
    }
    journalBytes_ += frame.size();
    return true;
}

void Recovery::removeRecord()
{
    record_.close();
    if (recordExists_ || QFileInfo::exists(recordPath()))
        QFile::remove(recordPath());
    recordExists_ = false;
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
        const int answer = host_.messageBox->show(
            QStringLiteral("%1 ended on %2 without saving the changes to %3.\n\nRecover them? Yes brings them back "
                           "as unsaved changes, No discards them, Cancel asks again at the next start.")
                .arg(AppInfo::Title, when, shownName(record->header)),
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

void Recovery::showRecovered(const RecoveryRecord& record, const QByteArray& text)
{
    const RecoveryHeader& header = record.header;
    QByteArray current;
    if (header.hasFileName) {
        // The document is the file as it is now, changed into the recovered text: Save writes the
        // recovered text there, and Undo shows what the file holds.
        IncomingFile file{header.currentFileName, header.format, host_.files->stat(header.currentFileName)};
        try {
            const QByteArray bytes = host_.files->readAll(header.currentFileName, MaxDocumentBytes);
            file.hash = contentHash(bytes);
            current = decodeFile(bytes).utf8;
        } catch (const HostError&) {
            current.clear(); // gone or unreadable: Save writes it anew
        }
        document_.takeFile(file, [&](EditorControl& text1) { text1.loadUtf8(current); });
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
    document_.replaceBytes(prefix, current.size() - suffix, text.mid(prefix, text.size() - prefix - suffix));
}
