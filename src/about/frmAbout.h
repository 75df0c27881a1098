#pragma once

#include <QDialog>


class QLabel;
class QPushButton;
struct HostServices;

// The about box: the program's title, version and maker, and a button that starts the platform's
// system-information tool. A top-level window of its own, deleted when it closes.
class frmAbout : public QDialog {
    Q_OBJECT

public:
    // Where the box opens, in pixels from the screen's top-left corner, and its client size.
    static constexpr int OpenLeft = 156;
    static constexpr int OpenTop = 129;
    static constexpr int ClientWidth = 382;
    static constexpr int ClientHeight = 237;
    static inline const QString WebAddress = QStringLiteral("www.tolvane.example.org");

    explicit frmAbout(HostServices& host);

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void StartSysInfo();

    QLabel* picIcon() const { return picIcon_; }
    QLabel* lblTitle() const { return lblTitle_; }
    QLabel* lblVersion() const { return lblVersion_; }
    QLabel* lblDescription() const { return lblDescription_; }
    QLabel* Label1() const { return label1_; }
    QLabel* lblDisclaimer() const { return lblDisclaimer_; }
    QPushButton* cmdOK() const { return cmdOK_; }
    QPushButton* cmdSysInfo() const { return cmdSysInfo_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();

    HostServices& host_;
    QLabel* picIcon_ = nullptr;
    QLabel* lblTitle_ = nullptr;
    QLabel* lblVersion_ = nullptr;
    QLabel* lblDescription_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* lblDisclaimer_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdSysInfo_ = nullptr;
};
