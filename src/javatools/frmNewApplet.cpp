#include "frmNewApplet.h"

#include "JavaToolsText.h"

#include "host/DialogLayout.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <limits>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

namespace {
QPointer<frmNewApplet> openWizard;
}

frmNewApplet::frmNewApplet(Generate generate)
    : QDialog(nullptr,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                  | Qt::MSWindowsFixedSizeDialogHint),
      generate_(std::move(generate))
{
    setObjectName(QStringLiteral("frmNewApplet"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("New Java Applet"));
    setModal(false);
    setFont(DialogLayout::dialogFont());
    setFixedSize(DialogLayout::px(6480), DialogLayout::px(1575));

    Label1 = new QLabel(QStringLiteral("Applet Name"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 10, 80, 18);

    txtName = new QLineEdit(this);
    txtName->setObjectName(QStringLiteral("txtName"));
    // A name is as long as the user types or pastes it; the generated text must hold all of it.
    txtName->setMaxLength(std::numeric_limits<int>::max());
    txtName->setGeometry(90, 8, 250, 22);
    Label1->setBuddy(txtName);

    Label2 = new QLabel(QStringLiteral("Imports"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(8, 36, 80, 18);

    Label3 = new QLabel(QStringLiteral("Make Sure To Put a ; at the end of each line"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont hintFont = Label3->font();
    hintFont.setPointSizeF(hintFont.pointSizeF() * 0.85);
    Label3->setFont(hintFont);
    Label3->setGeometry(8, 54, 80, 46);

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(90, 36, 250, 64);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setTabChangesFocus(true);
    Text1->installEventFilter(this);
    Label2->setBuddy(Text1);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(350, 8, 74, 26);
    OKButton->setDefault(true);

    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(350, 40, 74, 26);

    for (QLabel* label : {Label1, Label2, Label3})
        label->setFocusPolicy(Qt::NoFocus);
    setTabOrder(OKButton, CancelButton);
    setTabOrder(CancelButton, txtName);
    setTabOrder(txtName, Text1);

    connect(OKButton, &QPushButton::clicked, this, &frmNewApplet::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &frmNewApplet::CancelButton_Click);

    setImports(DefaultAppletImports);
    openWizard = this;
    Form_Load();
}

frmNewApplet::~frmNewApplet() = default;

frmNewApplet* frmNewApplet::instance()
{
    return openWizard.data();
}

QString frmNewApplet::imports() const
{
    // The box keeps lines as paragraphs; the source has "\r\n" between them.
    return Text1->toPlainText().replace(u'\n', QStringLiteral("\r\n"));
}

void frmNewApplet::setImports(const QString& imports)
{
    QString lines = imports;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Text1->setPlainText(lines);
}

void frmNewApplet::Form_Load()
{
    // The name is what the user types first, though the tab order starts at OK.
    txtName->setFocus();
    txtName->setCursorPosition(0);
}

void frmNewApplet::OKButton_Click()
{
    if (generate_ && !generate_(imports(), txtName->text()))
        return; // the user kept the unsaved document: the wizard stays with what was typed
    close();
}

void frmNewApplet::CancelButton_Click()
{
    close();
}

bool frmNewApplet::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ControlModifier)
                Text1->insertPlainText(QStringLiteral("\n"));
            else
                OKButton->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmNewApplet::keyPressEvent(QKeyEvent* event)
{
    // Escape does not cancel this wizard.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmNewApplet::closeEvent(QCloseEvent* event)
{
    QDialog::closeEvent(event);
    // Closed is gone: the next opening makes a new wizard even before this one is deleted.
    if (event->isAccepted() && openWizard == this)
        openWizard = nullptr;
}
