#pragma once

#include "SearchDialog.h"

#include <QPointer>

class EditorControl;
class MessageBoxService;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The modeless replace dialog. At most one exists (showDialog); it stays open from one replacement
// to the next and destroys itself when closed. It shares its choices with the find dialog through
// searchSettings(), and searches with the same search.
class frmReplace : public SearchDialog {
    Q_OBJECT

public:
    static frmReplace* showDialog(EditorControl& text1, MessageBoxService& messages);
    static frmReplace* instance();
    static void unload();

    ~frmReplace() override;

    // Handlers.
    void Form_Load();
    void txtFind_Change();
    void cmdFindNext_Click();
    void cmdReplace_Click();
    void cmdReplaceAll_Click();
    void cmdcancel_Click();

    // Controls.
    QLabel* Label1 = nullptr;
    QLineEdit* txtFind = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtReplace = nullptr;
    QCheckBox* chkCase = nullptr;
    QGroupBox* Frame1 = nullptr;
    QRadioButton* optDirection[2] = {nullptr, nullptr};
    QPushButton* cmdFindNext = nullptr;
    QPushButton* cmdReplace = nullptr;
    QPushButton* cmdReplaceAll = nullptr;
    QPushButton* cmdcancel = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    frmReplace(EditorControl& text1, MessageBoxService& messages);
    void createControls();
    // Puts what the dialog shows into the search settings; false when there is no editor left.
    bool store();
    int direction() const;

};
