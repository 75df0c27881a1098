#include "Document.h"

#include "host/CommonDialog.h"
#include "host/ContentHash.h"
#include "host/EditorControl.h"
#include "host/HostError.h"
#include "host/HostServices.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

const QString Document::Filter = QStringLiteral("Java (*.java)|*.java|All Files (*.*)|*.*");

namespace {
QsciScintilla::EolMode eolModeOf(LineEnd lineEnd)
{
    switch (lineEnd) {
    case LineEnd::LF: return QsciScintilla::EolUnix;
    case LineEnd::CR: return QsciScintilla::EolMac;
    case LineEnd::CRLF: break;
    }
    return QsciScintilla::EolWindows;
}

QString encodingName(TextEncoding encoding)
{
    return encoding == TextEncoding::Windows1252 ? QStringLiteral("Windows-1252") : QStringLiteral("UTF-8");
}
} // namespace

Document::Document(EditorControl& text1, CommonDialog& cd1, HostServices& host, QObject* parent)
    : QObject(parent), text1_(text1), cd1_(cd1), host_(host)
{
    connect(&text1_, &QsciScintilla::modificationChanged, this, &Document::modifiedChanged);
    disk_ = new DiskWatch(*host_.files, host_.fileWatcher.get(), this);
    connect(disk_, &DiskWatch::changed, this, &Document::onDiskChange);
    connect(disk_, &DiskWatch::fileEvent, this, &Document::checkDisk);
}

// Marks a command as running for as long as it lives. A reload in the middle of a save (from the
// event loop of its question) would change the text between writing it and marking it saved, so
// checks wait until the command is over.
class Document::BusyScope {
public:
    explicit BusyScope(Document& document) : document_(document), was_(document.busy_) { document_.busy_ = true; }
    ~BusyScope()
    {
        document_.busy_ = was_;
        if (!was_)
            document_.runPendingCheck();
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Document& document_;
    bool was_;
};

void Document::runPendingCheck()
{
    if (!pendingCheck_ || busy_ || loading_)
        return;
    pendingCheck_ = false;
    QTimer::singleShot(0, this, &Document::checkDisk);
}

void Document::setLoading(bool loading)
{
    if (loading_ == loading)
        return;
    loading_ = loading;
    emit loadingChanged(loading);
    runPendingCheck();
}

void Document::checkDisk()
{
    if (loading_ || busy_) {
        pendingCheck_ = true;
        return;
    }
    BusyScope busy(*this);
    disk_->check();
}

void Document::onDiskChange(DiskChange change)
{
    diskMissing_ = change == DiskChange::Missing;
    if (change == DiskChange::Changed && !Modified() && !text1_.isReadOnly()) {
        reloadFromDisk();
        return;
    }
    emit diskChangeNoticed(change);
}

void Document::reloadFromDisk()
{
    if (loading_ || !hasFileName_)
        return;
    BusyScope busy(*this);
    const QString path = currentFileName_;
    FileStat stat;
    DecodedFile decoded;
    quint64 hash = 0;
    if (!readFile(path, stat, decoded, hash))
        return;
    text1_.replaceAllUtf8(decoded.utf8);
    applyFormat(decoded.format);
    fileFormat_ = decoded.format;
    text1_.markSaved();
    disk_->follow(path, stat, hash);
    diskMissing_ = false;
    emit baseChanged();
    emit diskChangeNoticed(DiskChange::None);
}

void Document::followFile(const FileStat& stat, quint64 hash)
{
    disk_->follow(currentFileName_, stat, hash);
    diskMissing_ = false;
}

void Document::keepMyVersion()
{
    disk_->acknowledge();
    emit diskChangeNoticed(DiskChange::None);
}

bool Document::Modified() const
{
    return text1_.isModified();
}

void Document::applyFormat(const FileFormat& format)
{
    format_ = format;
    text1_.setEolMode(eolModeOf(format.lineEnd));
}

void Document::startNew(const QString& name, const QString& text, bool keepFileName)
{
    text1_.setText(QString());
    text1_.emptyUndoBuffer();
    disk_->stop();
    diskMissing_ = false;
    emit diskChangeNoticed(DiskChange::None);
    cd1_.FileName.clear();
    if (!keepFileName)
        currentFileName_ = name;
    displayName_ = name;
    hasFileName_ = false;
    // A new document is saved as UTF-8 with CRLF line ends. The file CurrentFileName still names
    // (after the wizard) keeps its own format for the compiler.
    applyFormat(FileFormat());
    if (!keepFileName)
        fileFormat_ = FileFormat();
    text1_.markSaved();
    emit baseChanged();
    if (!text.isEmpty())
        text1_.setText(text);
    emit currentFileChanged();
}

void Document::setCurrentFile(const QString& path, const FileFormat& format)
{
    const bool sameFile = hasFileName_ && currentFileName_ == path && displayName_ == path;
    applyFormat(format);
    fileFormat_ = format;
    currentFileName_ = path;
    displayName_ = path;
    hasFileName_ = true;
    cd1_.FileName = path;
    lastFolder_ = QFileInfo(path).absolutePath();
    text1_.markSaved();
    emit baseChanged();
    if (!sameFile)
        emit currentFileChanged();
    emit fileUsed(path);
}

void Document::setDialogFolder()
{
    // A document with a file starts the dialogs at it (FileName); one without, where the user last was.
    cd1_.InitDir = !lastFolder_.isEmpty() && QFileInfo(lastFolder_).isDir() ? lastFolder_ : QDir::homePath();
}

bool Document::maybeSave()
{
    // A file another program deleted lives on only in the editor: leaving asks as for unsaved text.
    if (!Modified() && !diskMissing_)
        return true;
    const int answer = host_.messageBox->show(QStringLiteral("Would you like to save ") + currentFileName_ + u'?',
                                              mb::YesNoCancel | mb::Question, QStringLiteral("Save File?"));
    if (answer == mb::Yes)
        return Save();
    return answer == mb::No;
}

void Document::New()
{
    if (loading_)
        return;
    BusyScope busy(*this);
    if (!maybeSave())
        return;
    startNew(QStringLiteral("Untitled"), QString());
}

void Document::Open()
{
    if (loading_)
        return;
    BusyScope busy(*this);
    cd1_.Filter = Filter;
    if (!Modified()) {
        loadSteps();
        return;
    }
    const int answer = host_.messageBox->show(QStringLiteral("Would you like to save ") + currentFileName_ + u'?',
                                              mb::YesNo | mb::Question, QStringLiteral("Save File?"));
    if (answer == mb::Yes) {
        cd1_.Filter = Filter;
        if (hasFileName_) {
            if (!saveTo(currentFileName_))
                return;
        } else if (!saveWithDialog()) {
            return;
        }
    }
    loadSteps();
}

void Document::loadSteps()
{
    setDialogFolder();
    cd1_.ShowOpen();
    if (cd1_.Cancelled || cd1_.FileName.isEmpty())
        return;
    loadFile(cd1_.FileName);
}

bool Document::readFile(const QString& path, FileStat& stat, DecodedFile& decoded, quint64& hash)
{
    // The file's state before it is read: a change while it is being read then shows as one.
    stat = host_.files->stat(path);
    try {
        const QByteArray bytes = host_.files->readAll(path, MaxDocumentBytes);
        hash = contentHash(bytes);
        decoded = decodeFile(bytes);
    } catch (const HostError& error) {
        reportReadFailure(error.message());
        return false;
    }
    return true;
}

bool Document::loadFile(const QString& path)
{
    FileStat stat;
    DecodedFile decoded;
    quint64 hash = 0;
    if (!readFile(path, stat, decoded, hash))
        return false;
    text1_.loadUtf8(decoded.utf8);
    setCurrentFile(path, decoded.format);
    disk_->follow(path, stat, hash);
    diskMissing_ = false;
    emit diskChangeNoticed(DiskChange::None);
    return true;
}

void Document::loadPrepared(const QString& path, const FileFormat& format, EditorControl::PreparedLoad& load,
                            const FileStat& stat, quint64 hash)
{
    text1_.loadPrepared(load);
    setCurrentFile(path, format);
    disk_->follow(path, stat, hash);
    diskMissing_ = false;
    emit diskChangeNoticed(DiskChange::None);
}

void Document::reportReadFailure(const QString& message)
{
    host_.messageBox->show(message, mb::OKOnly | mb::Exclamation);
}

bool Document::Save()
{
    if (loading_)
        return false;
    BusyScope busy(*this);
    cd1_.Filter = Filter;
    if (hasFileName_)
        return saveTo(currentFileName_);
    return saveWithDialog();
}

bool Document::SaveAs()
{
    cd1_.Filter = Filter;
    return saveWithDialog();
}

void Document::startNewFile(const QString& path)
{
    startNew(path, QString());
    setCurrentFile(path, FileFormat());
}

bool Document::saveWithDialog()
{
    setDialogFolder();
    cd1_.ShowSave();
    if (cd1_.Cancelled || cd1_.FileName.isEmpty())
        return false;
    return saveTo(cd1_.FileName);
}

bool Document::saveTo(const QString& path)
{
    EncodedFile encoded = encodeFile(text1_.utf8(), format_);
    FileFormat format = format_;
    if (encoded.unmappable > 0) {
        const QString question = QStringLiteral("%1 cannot be saved as %2: %3 of its characters (the first is \"%4\") "
                                                "do not exist in that encoding.\n\nSave it as UTF-8 instead?")
                                     .arg(path, encodingName(format_.encoding))
                                     .arg(encoded.unmappable)
                                     .arg(encoded.firstUnmappable);
        if (host_.messageBox->show(question, mb::YesNo | mb::Exclamation) != mb::Yes)
            return false;
        format.encoding = TextEncoding::Utf8;
        format.bom = false;
        encoded = encodeFile(text1_.utf8(), format);
    }
    if (path == disk_->path() && disk_->changedUnseen()) {
        const QString question = QStringLiteral("%1 has been changed by another program since it was opened or saved here.\n\n"
                                                "Overwrite it with your version? The other program's changes will be lost.")
                                     .arg(path);
        if (host_.messageBox->show(question, mb::OKCancel | mb::Exclamation, QStringLiteral("File Changed on Disk")) != mb::OK)
            return false;
    }
    try {
        host_.files->writeAll(path, encoded.bytes);
    } catch (const HostError& error) {
        host_.messageBox->show(error.message(), mb::OKOnly | mb::Exclamation);
        return false;
    }
    setCurrentFile(path, format);
    disk_->follow(path, host_.files->stat(path), contentHash(encoded.bytes));
    diskMissing_ = false;
    emit diskChangeNoticed(DiskChange::None);
    return true;
}
