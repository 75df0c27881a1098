#include "frmGoToLine.h"

#include "GoToLine.h"
#include "editor/EditorControl.h"
#include "host/AppInfo.h"
#include "host/DialogLayout.h"
#include "host/MessageBoxService.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
QPointer<frmGoToLine> current;

using DialogLayout::px;
using DialogLayout::twipsRect;
} // namespace

frmGoToLine* frmGoToLine::showDialog(EditorControl& text1, MessageBoxService& messages)
{
    if (current && current->text1_ != &text1)
        current->close();
    if (!current) {
        current = new frmGoToLine(text1, messages);
        current->move(px(1500), px(1875));
    }
    current->showLineCount();
    current->txtLine->selectAll();
    current->txtLine->setFocus();
    current->show();
    current->raise();
    current->activateWindow();
    return current;
}

frmGoToLine* frmGoToLine::instance()
{
    return current;
}

frmGoToLine::frmGoToLine(EditorControl& text1, MessageBoxService& messages)
    : QDialog(nullptr), text1_(&text1), messages_(&messages)
{
    setObjectName(QStringLiteral("frmGoToLine"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setWindowTitle(AppInfo::TitlePrefix + QStringLiteral("Go to Line"));
    setFont(DialogLayout::dialogFont());
    setFixedSize(px(4950), px(1035));

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twipsRect(120, 180, 3495, 255));
    txtLine = new QLineEdit(this);
    txtLine->setObjectName(QStringLiteral("txtLine"));
    txtLine->setGeometry(twipsRect(120, 480, 3495, 375));
    txtLine->setAccessibleName(QStringLiteral("Line number"));
    Label1->setBuddy(txtLine);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(3720, 120, 1092, 372));
    cmdOK->setDefault(true);
    cmdcancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdcancel->setObjectName(QStringLiteral("cmdcancel"));
    cmdcancel->setGeometry(twipsRect(3720, 600, 1092, 372));

    setTabOrder(txtLine, cmdOK);
    setTabOrder(cmdOK, cmdcancel);
    connect(cmdOK, &QPushButton::clicked, this, &frmGoToLine::cmdOK_Click);
    // Esc reaches reject(), which closes the dialog as Cancel does.
    connect(cmdcancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(&text1, &QObject::destroyed, this, [this] { close(); });
}

void frmGoToLine::showLineCount()
{
    const int count = text1_ ? text1_->lines() : 1;
    Label1->setText(QStringLiteral("&Line number (1 - %1):").arg(count));
    if (txtLine->text().isEmpty() && text1_)
        txtLine->setText(QString::number(text1_->caretLine()));
}

void frmGoToLine::cmdOK_Click()
{
    if (!text1_) {
        close();
        return;
    }
    const int count = text1_->lines();
    const std::optional<int> line = Search::lineNumberFrom(txtLine->text(), count);
    if (!line) {
        messages_->show(Search::lineNumberMessage(txtLine->text(), count), mb::OKOnly | mb::Exclamation, AppInfo::Title);
        showLineCount();
        txtLine->selectAll();
        txtLine->setFocus();
        return;
    }
    text1_->goToLine(*line);
    close();
    text1_->setFocus();
}

void frmGoToLine::closeEvent(QCloseEvent* event)
{
    QDialog::closeEvent(event);
    if (event->isAccepted() && current == this)
        current = nullptr;
}
