#pragma once

#include "DiskWatch.h"
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
    // Asks for a name every time and saves there; the document then is that file, stored as before.
    bool SaveAs();
    // An empty document for a file that does not exist yet: it already has its name, so the first
    // Save creates the file without asking.
    void startNewFile(const QString& path);

    // Where the open and save dialogs start for a document without a file: the folder of the file
    // last loaded or saved (the window gives the one from the last session), else the home folder.
    void setLastFolder(const QString& folder) { lastFolder_ = folder; }
    // Points the file dialog's InitDir there, before the dialog is shown.
    void setDialogFolder();

    // Asks whether to save unsaved changes (Yes / No / Cancel). True when the caller may go on.
    bool maybeSave();

    // Reads path into the editor and makes it the current file. False (after a message) on failure.
    bool loadFile(const QString& path);
    // The end of a load whose reading, decoding and handing over to the control happened elsewhere
    // (the file named on the command line is read while the window starts).
    // stat and hash describe the file as it was read (DiskWatch::follow).
    void loadPrepared(const QString& path, const FileFormat& format, EditorControl::PreparedLoad& load,
                      const FileStat& stat = {}, quint64 hash = 0);
    void reportReadFailure(const QString& message);

    // While a load is still filling the editor, the commands that read, replace or write the text
    // do nothing (their menu items are off): they would act on a document that is not there yet.
    bool loading() const { return loading_; }
    void setLoading(bool loading);

    // Whether another program changed the file since it was loaded or saved (the window asks when
    // it comes back to the front; a watcher asks when the file changes). An unmodified document
    // takes the new contents at once; otherwise diskChangeNoticed tells the window to offer it.
    void checkDisk();
    // Takes the file's contents as they are now, as one step that Undo takes back.
    void reloadFromDisk();
    // The text stands over the file as stat and hash describe it (recovered unsaved changes over the
    // file as it was when they were made): changes to the file are noticed from then on, and the next
    // checkDisk tells of one made before.
    void followFile(const FileStat& stat, quint64 hash);
    // The user keeps the text over the file as it is on disk now; Save will not ask about it.
    void keepMyVersion();

signals:
    // The document became another file, or a new document (the display name may have changed).
    void currentFileChanged();
    // The text was just loaded from path or saved to it (the list of recent files follows).
    void fileUsed(const QString& path);
    // Modified() changed.
    void modifiedChanged(bool modified);
    void loadingChanged(bool loading);
    // The file on disk changed under a document that cannot simply take it (unsaved changes), or is
    // gone; None once that no longer needs showing.
    void diskChangeNoticed(DiskChange change);
    // The text is now the one unsaved changes are counted from: it was loaded, saved, or a new
    // document began (before any text startNew puts in).
    void baseChanged();

private:
    // Reads and decodes path, with its state and hash before the read; false (after a message) on failure.
    bool readFile(const QString& path, FileStat& stat, DecodedFile& decoded, quint64& hash);
    bool saveTo(const QString& path);
    bool saveWithDialog();
    void loadSteps();
    void applyFormat(const FileFormat& format);
    void onDiskChange(DiskChange change);
    void runPendingCheck();
    class BusyScope;

    EditorControl& text1_;
    CommonDialog& cd1_;
    HostServices& host_;
    QString currentFileName_;
    QString displayName_;
    QString lastFolder_;
    bool hasFileName_ = false;
    FileFormat format_;
    FileFormat fileFormat_;
    DiskWatch* disk_ = nullptr;
    bool loading_ = false;
    bool busy_ = false; // a command or a reload is running: a check now would ask in its middle
    bool pendingCheck_ = false; // a check was due while busy or loading
    bool diskMissing_ = false;  // the file was deleted or moved away since it was loaded or saved
};
