#include "Document.h"

#include "host/EditorControl.h"
#include "host/HostError.h"
#include "host/HostServices.h"

const QString Document::Filter = QStringLiteral("Java (*.java)|*.java|All Files (*.*)|*.*");
const QString Document::TitlePrefix = QStringLiteral("Tolvane 1.0- ");

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

Document::Document(EditorControl& text1, CommonDialog& cd1, HostServices& host,
                   std::function<void(const QString&)> setCaption)
    : text1_(text1), cd1_(cd1), host_(host), setCaption_(std::move(setCaption))
{
}

bool Document::Modified() const
{
    return text1_.isModified();
}

void Document::clearModified()
{
    text1_.markSaved();
}

void Document::setTitle(const QString& name)
{
    setCaption_(TitlePrefix + name);
}

bool Document::maybeSave()
{
    if (!Modified())
        return true;
    const int answer = host_.messageBox->show(QStringLiteral("Would you like to save ") + CurrentFileName + u'?',
                                              mb::YesNoCancel | mb::Question, QStringLiteral("Save File?"));
    if (answer == mb::Yes)
        return Save();
    return answer == mb::No;
}

void Document::resetToEmpty()
{
    text1_.setText(QString());
    Format = FileFormat();
    text1_.setEolMode(eolModeOf(Format.lineEnd));
    text1_.SendScintilla(QsciScintilla::SCI_EMPTYUNDOBUFFER);
}

void Document::New()
{
    if (!maybeSave())
        return;
    resetToEmpty();
    cd1_.FileName.clear();
    CurrentFileName = QStringLiteral("Untitled");
    setTitle(CurrentFileName);
    clearModified();
    HasFileName = false;
}

void Document::Open()
{
    cd1_.Filter = Filter;
    if (!Modified()) {
        loadSteps();
        return;
    }
    const int answer = host_.messageBox->show(QStringLiteral("Would you like to save ") + CurrentFileName + u'?',
                                              mb::YesNo | mb::Question, QStringLiteral("Save File?"));
    if (answer == mb::Yes) {
        cd1_.Filter = Filter;
        if (HasFileName) {
            if (!saveTo(CurrentFileName))
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
    becomeLoaded(path, decoded.format);
    return true;
}

void Document::loadPrepared(const QString& path, const FileFormat& format, EditorControl::PreparedLoad& load)
{
    text1_.loadPrepared(load);
    becomeLoaded(path, format);
}

void Document::reportReadFailure(const QString& message)
{
    host_.messageBox->show(message, mb::OKOnly | mb::Exclamation);
}

void Document::becomeLoaded(const QString& path, const FileFormat& format)
{
    Format = format;
    text1_.setEolMode(eolModeOf(Format.lineEnd));
    CurrentFileName = path;
    setTitle(CurrentFileName);
    HasFileName = true;
    clearModified();
}

bool Document::Save()
{
    cd1_.Filter = Filter;
    if (HasFileName)
        return saveTo(CurrentFileName);
    return saveWithDialog();
}

bool Document::saveWithDialog()
{
    cd1_.ShowSave();
    if (cd1_.Cancelled || cd1_.FileName.isEmpty())
        return false;
    if (!saveTo(cd1_.FileName))
        return false;
    CurrentFileName = cd1_.FileName;
    HasFileName = true;
    setTitle(CurrentFileName);
    return true;
}

bool Document::saveTo(const QString& path)
{
    EncodedFile encoded = encodeFile(text1_.utf8(), Format);
    FileFormat format = Format;
    if (encoded.unmappable > 0) {
        const QString question = QStringLiteral("%1 cannot be saved as %2: %3 of its characters (the first is \"%4\") "
                                                "do not exist in that encoding.\n\nSave it as UTF-8 instead?")
                                     .arg(path, encodingName(Format.encoding))
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
    Format = format;
    HasFileName = true;
    clearModified();
    return true;
}
