#include "Document.h"

#include "host/CommonDialog.h"
#include "host/EditorControl.h"
#include "host/HostError.h"
#include "host/HostServices.h"

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
    text1_.markSaved();
    if (!sameFile)
        emit currentFileChanged();
}

bool Document::maybeSave()
{
    if (!Modified())
        return true;
    const int answer = host_.messageBox->show(QStringLiteral("Would you like to save ") + currentFileName_ + u'?',
                                              mb::YesNoCancel | mb::Question, QStringLiteral("Save File?"));
    if (answer == mb::Yes)
        return Save();
    return answer == mb::No;
}

void Document::New()
{
    if (!maybeSave())
        return;
    startNew(QStringLiteral("Untitled"), QString());
}

void Document::Open()
{
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
    cd1_.ShowOpen();
    if (cd1_.Cancelled || cd1_.FileName.isEmpty())
        return;
    loadFile(cd1_.FileName);
}

bool Document::loadFile(const QString& path)
{
    DecodedFile decoded;
    try {
        decoded = decodeFile(host_.files->readAll(path, MaxDocumentBytes));
    } catch (const HostError& error) {
        reportReadFailure(error.message());
        return false;
    }
    text1_.loadUtf8(decoded.utf8);
    setCurrentFile(path, decoded.format);
    return true;
}

void Document::loadPrepared(const QString& path, const FileFormat& format, EditorControl::PreparedLoad& load)
{
    text1_.loadPrepared(load);
    setCurrentFile(path, format);
}

void Document::reportReadFailure(const QString& message)
{
    host_.messageBox->show(message, mb::OKOnly | mb::Exclamation);
}

bool Document::Save()
{
    cd1_.Filter = Filter;
    if (hasFileName_)
        return saveTo(currentFileName_);
    return saveWithDialog();
}

bool Document::saveWithDialog()
{
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
    try {
        host_.files->writeAll(path, encoded.bytes);
    } catch (const HostError& error) {
        host_.messageBox->show(error.message(), mb::OKOnly | mb::Exclamation);
        return false;
    }
    setCurrentFile(path, format);
    return true;
}
