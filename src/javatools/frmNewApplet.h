#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The new-applet wizard: the applet's class name and its import lines. It exists at most once,
// without an owner window, and is destroyed when it closes, so every opening starts afresh.
class frmNewApplet : public QDialog {
    Q_OBJECT

public:
    // Receives the imports (with "\r\n" line ends) and the name on OK; true when the applet was
    // made and the wizard may close.
    using Generate = std::function<bool(const QString& imports, const QString& name)>;

    explicit frmNewApplet(Generate generate);
    ~frmNewApplet() override;

    // The open wizard, or null.
    static frmNewApplet* instance();

    QString imports() const;
    void setImports(const QString& imports);

    QLabel* Label1;
    QLineEdit* txtName;
    QLabel* Label2;
    QPlainTextEdit* Text1;
    QLabel* Label3;
    QPushButton* OKButton;
    QPushButton* CancelButton;

    void Form_Load();
    void OKButton_Click();
    void CancelButton_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Generate generate_;
};
