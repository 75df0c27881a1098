#pragma once

#include "FileCodec.h"
#include "host/EditorControl.h"

#include <QString>

#include <functional>

class CommonDialog;
struct HostServices;

// The one open document: its file name, whether it has a file, whether it has unsaved changes, and
// the file commands New, Open and Save. Failures are reported here, in message boxes naming the path
// and the system's reason; a failed command leaves the text, the state and the file as they were.
class Document {
public:
    static const QString Filter;      // "Java (*.java)|*.java|All Files (*.*)|*.*"
    static const QString TitlePrefix; // "Tolvane 1.0- "

    Document(EditorControl& text1, CommonDialog& cd1, HostServices& host,
             std::function<void(const QString&)> setCaption);

    QString CurrentFileName;
    bool HasFileName = false;
    FileFormat Format; // how the file stores the text, kept for the next save

    // True while the text differs from the text last loaded or saved (undo can make it false again).
    bool Modified() const;
    // The text as it stands now counts as unmodified.
    void clearModified();

    void setTitle(const QString& name);

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

private:
    void resetToEmpty();
    void becomeLoaded(const QString& path, const FileFormat& format);
    bool saveTo(const QString& path);
    bool saveWithDialog();
    void loadSteps();

    EditorControl& text1_;
    CommonDialog& cd1_;
    HostServices& host_;
    std::function<void(const QString&)> setCaption_;
};
