#pragma once

#include "SearchDialog.h"

#include <QPointer>

#include <optional>

class EditorControl;
class MessageBoxService;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The modeless find dialog. At most one exists: show() creates it on first use and brings it to the
// front otherwise (showDialog); it destroys itself when closed. Its choices are kept in searchSettings().
class frmFind : public SearchDialog {
    Q_OBJECT

public:
    // Shows the dialog for the editor; messages reports a failed search.
    static frmFind* showDialog(EditorControl& text1, MessageBoxService& messages);
    // The open dialog, or nullptr.
    static frmFind* instance();
    // Closes the open dialog, if any, as its close button does (nothing is stored).
    static void unload();

    ~frmFind() override;

    // Handlers.
    void Form_Load();
    void txtFind_Change();
    void chkCase_Click();
    void optDirection_Click(int index);
    void cmdFind_Click();
    void cmdcancel_Click();
    void FindIt();

    // Controls.
    QLabel* Label1 = nullptr;
    QLineEdit* txtFind = nullptr;
    QCheckBox* chkCase = nullptr;
    QGroupBox* Frame1 = nullptr;
    QRadioButton* optDirection[2] = {nullptr, nullptr};
    QPushButton* cmdFind = nullptr;
    QPushButton* cmdcancel = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    frmFind(EditorControl& text1, MessageBoxService& messages);
    void createControls();

    // The find text of the last search while the dialog shows it unedited since then; returning to it
    // by editing counts as no change. Empty when the stored text was never searched.
    std::optional<QString> searchedText_;
    bool freshAtLoad_ = false;
    bool stored_ = false; // Find or Cancel ran: the close keeps what they stored
};
