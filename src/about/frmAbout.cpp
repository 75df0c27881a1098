#include "frmAbout.h"

#include "SysInfo.h"

#include "host/AppInfo.h"
#include "host/DialogLayout.h"
#include "host/HostServices.h"

#include <QFile>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace {
const QString IconResource = QStringLiteral(":/icons/tolvane.png");

using DialogLayout::dialogFont;
using DialogLayout::px;
using DialogLayout::twipsRect;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry, qreal pointSize,
                  bool bold, bool blackText, const QString& accessibleName)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setFont(dialogFont(pointSize, bold));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // A screen reader reads a label's name: that must be what it shows, with its role as the description.
    label->setAccessibleName(text);
    label->setAccessibleDescription(accessibleName);
    if (blackText) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
    return label;
}

// One stroke of the etched separator.
void makeLine(QWidget* parent, const char* name, const QColor& colour, int x1, int x2, int y, int thickness)
{
    auto* line = new QWidget(parent);
    line->setObjectName(QLatin1String(name));
    line->setGeometry(x1, y, x2 - x1 + 1, thickness);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    line->setAttribute(Qt::WA_TransparentForMouseEvents);
}
} // namespace

frmAbout::frmAbout(HostServices& host)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                           | Qt::MSWindowsFixedSizeDialogHint)
    , host_(host)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About Tolvane 2000"));
    setFixedSize(ClientWidth, ClientHeight);
    setFont(dialogFont(8.25));
    if (QFile::exists(IconResource))
        setWindowIcon(QIcon(IconResource));
    createControls();
    Form_Load();
}

void frmAbout::createControls()
{
    picIcon_ = new QLabel(this);
    picIcon_->setObjectName(QStringLiteral("picIcon"));
    picIcon_->setGeometry(twipsRect(0, 0, 540, 540));
    picIcon_->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    picIcon_->setAlignment(Qt::AlignCenter);
    picIcon_->setAccessibleName(QStringLiteral("Application icon"));
    const QPixmap icon(IconResource);
    if (!icon.isNull())
        picIcon_->setPixmap(icon.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));

    lblTitle_ = makeLabel(this, "lblTitle", QStringLiteral("Application Title"), twipsRect(1080, 120, 3885, 360), 9.75,
                          false, true, QStringLiteral("Title"));
    lblVersion_ = makeLabel(this, "lblVersion", QStringLiteral("Version"), twipsRect(1080, 480, 3885, 225), 9.75, false,
                            false, QStringLiteral("Version"));
    lblDescription_ = makeLabel(
        this, "lblDescription",
        QStringLiteral("Use Tolvane 2000 to edit all of your Java programs. Easily work on your source, and chose to "
                       "compile, and your program is ready to run!"),
        twipsRect(1050, 840, 3885, 690), 8.25, false, true, QStringLiteral("Description"));
    label1_ = makeLabel(this, "Label1",
                        QStringLiteral("NOTE: You must have a JDK on your system, properly configured, to compile the "
                                       "programs you make in Tolvane."),
                        twipsRect(1050, 1560, 3975, 735), 8.25, true, false, QStringLiteral("Note"));

    // Etched separator: a grey line with a 2-pixel white line just below it.
    makeLine(this, "Line1_1", QColor(0x80, 0x80, 0x80), px(90), px(5654), px(2445), 1);
    makeLine(this, "Line1_0", Qt::white, px(105), px(5654), px(2460), 2);

    lblDisclaimer_ = makeLabel(this, "lblDisclaimer", QStringLiteral("Check out Orbelle Technologies @ ") + WebAddress,
                               twipsRect(255, 2625, 3870, 825), 9.75, false, true, QStringLiteral("Web address"));

    cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(twipsRect(4245, 2625, 1260, 345));
    cmdOK_->setDefault(true);
    cmdOK_->setAccessibleName(QStringLiteral("OK"));
    connect(cmdOK_, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    cmdSysInfo_ = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo_->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo_->setGeometry(twipsRect(4260, 3075, 1245, 345));
    cmdSysInfo_->setAccessibleName(QStringLiteral("System Info"));
    connect(cmdSysInfo_, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    setTabOrder(cmdOK_, cmdSysInfo_);
    cmdOK_->setFocus();
}

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("About ") + AppInfo::Title);
    lblVersion_->setText(QStringLiteral("Version ") + QString::number(AppInfo::Major) + u'.'
                         + QString::number(AppInfo::Minor) + u'.' + QString::number(AppInfo::Revision));
    lblTitle_->setText(AppInfo::Title);
    lblVersion_->setAccessibleName(lblVersion_->text());
    lblTitle_->setAccessibleName(lblTitle_->text());
}

void frmAbout::cmdOK_Click()
{
    close();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::StartSysInfo()
{
    SysInfo::StartSysInfo(host_);
}


void frmAbout::keyPressEvent(QKeyEvent* event)
{
    // OK is also the cancel button: Esc presses it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
