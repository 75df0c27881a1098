#pragma once

#include <QDialog>
#include <QPointer>

class EditorControl;
class MessageBoxService;
class QLabel;
class QLineEdit;
class QPushButton;

// The go-to-line dialog: one line number, checked against the editor's line count when OK is
// pressed. A number out of range gets a message and the dialog stays open to correct it.
class frmGoToLine : public QDialog {
    Q_OBJECT

public:
    static frmGoToLine* showDialog(EditorControl& text1, MessageBoxService& messages);
    static frmGoToLine* instance();

    void cmdOK_Click();

    QLabel* Label1 = nullptr;
    QLineEdit* txtLine = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdcancel = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    frmGoToLine(EditorControl& text1, MessageBoxService& messages);
    void showLineCount();

    QPointer<EditorControl> text1_;
    MessageBoxService* messages_ = nullptr;
};
