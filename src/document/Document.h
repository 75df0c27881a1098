#pragma once

#include "FileCodec.h"
#include "host/EditorControl.h"

#include <QObject>
#include <QString>

class CommonDialog;
struct HostServices;

// The one open document: which file it is, how that file stores its text, whether the text has
// unsaved changes, and the file commands New, Open and Save. Everyone else reads the state through
// the accessors and learns of changes through the signals; only the two methods named below change
// which file the document is:
//   startNew()       a new document without a file (New, the applet wizard);
//   setCurrentFile() the text now is the file at a path (after a load or a save).
// Failures are reported here, in message boxes naming the path and the system's reason; a failed
// command leaves the text, the state and the file as they were.
class Document : public QObject {
    Q_OBJECT

public:
    static const QString Filter; // "Java (*.java)|*.java|All Files (*.*)|*.*"

    Document(EditorControl& text1, CommonDialog& cd1, HostServices& host, QObject* parent = nullptr);

    // The file's path; "Untitled" after New; empty at start. The applet wizard leaves it as it was.
    const QString& CurrentFileName() const { return currentFileName_; }
    // True once the text was loaded from a file or saved to one: Save then needs no name.
    bool HasFileName() const { return hasFileName_; }
    // The name the window title shows: CurrentFileName, or the applet's name after the wizard.
    const QString& displayName() const { return displayName_; }
    // How the text will be written by the next save.
    const FileFormat& Format() const { return format_; }
    // How the file named by CurrentFileName stores its text, as last read or written there; the
    // compiler reads that file, so this, not Format(), is what it must be told.
    const FileFormat& fileFormat() const { return fileFormat_; }
    // True while the text differs from the text last loaded or saved (undo can make it false again).
    bool Modified() const;

    // Starts a document without a file that holds text, shown as name. New names it "Untitled";
    // the applet wizard shows the applet's name and keeps CurrentFileName (keepFileName).
    void startNew(const QString& name, const QString& text, bool keepFileName = false);
    // The text in the editor is now the file at path, stored as format: the title, the file dialog's
    // name and the saved point follow.
    void setCurrentFile(const QString& path, const FileFormat& format);

    void New();
    void Open();
    // Saves to the current file, or asks for a name first. False when nothing was saved.
    bool Save();

    // Asks whether to save unsaved changes (Yes / No / Cancel). True when the caller may go on.
    bool maybeSave();

    // Reads path into the editor and makes it the current file. False (after a message) on failure.
    bool loadFile(const QString& path);
    // The end of a load whose reading, decoding and handing over to the control happened elsewhere
    // (the file named on the command line is read while the window starts).
    void loadPrepared(const QString& path, const FileFormat& format, EditorControl::PreparedLoad& load);
    void reportReadFailure(const QString& message);

signals:
    // The document became another file, or a new document (the display name may have changed).
    void currentFileChanged();
    // Modified() changed.
    void modifiedChanged(bool modified);

private:
    bool saveTo(const QString& path);
    bool saveWithDialog();
    void loadSteps();
    void applyFormat(const FileFormat& format);

    EditorControl& text1_;
    CommonDialog& cd1_;
    HostServices& host_;
    QString currentFileName_;
    QString displayName_;
    bool hasFileName_ = false;
    FileFormat format_;
    FileFormat fileFormat_;
};
