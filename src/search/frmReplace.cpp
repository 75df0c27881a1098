#include "frmReplace.h"

#include "Search.h"
#include "SearchSettings.h"
#include "editor/EditorControl.h"
#include "host/DialogLayout.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <limits>

namespace {
QPointer<frmReplace> current;

using DialogLayout::px;
using DialogLayout::twipsRect;

QLineEdit* textBox(QWidget* parent, const QString& name, const QRect& geometry, const QString& accessibleName)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    box->setAccessibleName(accessibleName);
    // A search or replacement text may be as long as the user pastes.
    box->setMaxLength(std::numeric_limits<int>::max());
    return box;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry,
                    const QString& tooltip)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    b->setToolTip(tooltip);
    b->setAccessibleName(QString(caption).remove(u'&'));
    return b;
}
} // namespace

frmReplace* frmReplace::showDialog(EditorControl& text1, MessageBoxService& messages)
{
    return showOne(current, text1, messages, [&] { return new frmReplace(text1, messages); });
}

frmReplace* frmReplace::instance()
{
    return current;
}

void frmReplace::unload()
{
    if (current)
        current->close();
}

frmReplace::frmReplace(EditorControl& text1, MessageBoxService& messages)
    : SearchDialog(text1, messages, QStringLiteral("frmReplace"), QStringLiteral("Replace"), QStringLiteral("edit-find-replace"), 6135, 1980)
{
    createControls();
    Form_Load();
}

frmReplace::~frmReplace() = default;

void frmReplace::createControls()
{
    Label1 = new QLabel(QStringLiteral("Fi&nd What:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twipsRect(120, 180, 1215, 255));
    txtFind = textBox(this, QStringLiteral("txtFind"), twipsRect(1440, 120, 3015, 375), QStringLiteral("Find What"));
    txtFind->setToolTip(QStringLiteral("Text to Find"));
    Label1->setBuddy(txtFind);

    Label2 = new QLabel(QStringLiteral("Re&place With:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(twipsRect(120, 660, 1215, 255));
    txtReplace = textBox(this, QStringLiteral("txtReplace"), twipsRect(1440, 600, 3015, 375), QStringLiteral("Replace With"));
    txtReplace->setToolTip(QStringLiteral("Text to Put in Its Place"));
    Label2->setBuddy(txtReplace);

    chkCase = new QCheckBox(QStringLiteral("Match &Case"), this);
    chkCase->setObjectName(QStringLiteral("chkCase"));
    chkCase->setGeometry(twipsRect(120, 1200, 1335, 495));
    chkCase->setToolTip(QStringLiteral("Case Sensitivity"));
    chkCase->setAccessibleName(QStringLiteral("Match Case"));

    Frame1 = new QGroupBox(QStringLiteral("Direction"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(1560, 1140, 2052, 612));
    Frame1->setAccessibleName(QStringLiteral("Direction"));
    optDirection[0] = new QRadioButton(QStringLiteral("&Up"), Frame1);
    optDirection[0]->setObjectName(QStringLiteral("optDirection0"));
    optDirection[0]->setGeometry(twipsRect(240, 240, 612, 252));
    optDirection[0]->setToolTip(QStringLiteral("Search to Beginning of Document"));
    optDirection[0]->setAccessibleName(QStringLiteral("Up"));
    optDirection[1] = new QRadioButton(QStringLiteral("&Down"), Frame1);
    optDirection[1]->setObjectName(QStringLiteral("optDirection1"));
    optDirection[1]->setGeometry(twipsRect(960, 240, 852, 252));
    optDirection[1]->setToolTip(QStringLiteral("Search to End of Document"));
    optDirection[1]->setAccessibleName(QStringLiteral("Down"));
    auto* directions = new QButtonGroup(this);
    directions->addButton(optDirection[0], 0);
    directions->addButton(optDirection[1], 1);

    cmdFindNext = button(this, QStringLiteral("cmdFindNext"), QStringLiteral("&Find Next"), twipsRect(4590, 120, 1425, 372),
                         QStringLiteral("Select the Next Match"));
    cmdFindNext->setDefault(true);
    cmdReplace = button(this, QStringLiteral("cmdReplace"), QStringLiteral("&Replace"), twipsRect(4590, 570, 1425, 372),
                        QStringLiteral("Replace the Selected Match, Then Find the Next"));
    cmdReplaceAll = button(this, QStringLiteral("cmdReplaceAll"), QStringLiteral("Replace &All"),
                           twipsRect(4590, 1020, 1425, 372), QStringLiteral("Replace Every Match in the Document"));
    cmdcancel = button(this, QStringLiteral("cmdcancel"), QStringLiteral("Cancel"), twipsRect(4590, 1470, 1425, 372),
                       QStringLiteral("Return to Dizudar"));

    setTabOrder(txtFind, txtReplace);
    setTabOrder(txtReplace, chkCase);
    setTabOrder(chkCase, optDirection[0]);
    setTabOrder(optDirection[0], optDirection[1]);
    setTabOrder(optDirection[1], cmdFindNext);
    setTabOrder(cmdFindNext, cmdReplace);
    setTabOrder(cmdReplace, cmdReplaceAll);
    setTabOrder(cmdReplaceAll, cmdcancel);

    connect(txtFind, &QLineEdit::textChanged, this, &frmReplace::txtFind_Change);
    connect(chkCase, &QCheckBox::toggled, this, [](bool checked) { searchSettings().SearchMatchCase = checked ? 1 : 0; });
    connect(directions, &QButtonGroup::idToggled, this, [](int id, bool checked) {
        if (checked)
            searchSettings().SearchDirection = id;
    });
    connect(cmdFindNext, &QPushButton::clicked, this, &frmReplace::cmdFindNext_Click);
    connect(cmdReplace, &QPushButton::clicked, this, &frmReplace::cmdReplace_Click);
    connect(cmdReplaceAll, &QPushButton::clicked, this, &frmReplace::cmdReplaceAll_Click);
    connect(cmdcancel, &QPushButton::clicked, this, &frmReplace::cmdcancel_Click);
}

void frmReplace::Form_Load()
{
    const SearchSettings& settings = searchSettings();
    optDirection[settings.SearchDirection == 1 ? 1 : 0]->setChecked(true);
    chkCase->setChecked(settings.SearchMatchCase != 0);
    txtReplace->setText(settings.ReplaceText);
    txtFind->setText(settings.SearchText);
    txtFind_Change();
    txtFind->selectAll();
    txtFind->setFocus();
}

void frmReplace::txtFind_Change()
{
    const bool any = !txtFind->text().isEmpty();
    cmdFindNext->setEnabled(any);
    cmdReplace->setEnabled(any);
    cmdReplaceAll->setEnabled(any);
}

int frmReplace::direction() const
{
    return optDirection[1]->isChecked() ? 1 : 0;
}

bool frmReplace::store()
{
    SearchSettings& settings = searchSettings();
    if (settings.SearchText != txtFind->text()) {
        settings.SearchText = txtFind->text();
        settings.SearchTextFresh = true;
    }
    settings.ReplaceText = txtReplace->text();
    settings.SearchMatchCase = chkCase->isChecked() ? 1 : 0;
    settings.SearchDirection = direction();
    return text1_ != nullptr;
}

void frmReplace::cmdFindNext_Click()
{
    if (store() && !txtFind->text().isEmpty())
        Search::findInEditor(*text1_, *messages_, direction());
}

void frmReplace::cmdReplace_Click()
{
    if (store() && !txtFind->text().isEmpty())
        Search::replaceInEditor(*text1_, *messages_, direction());
}

void frmReplace::cmdReplaceAll_Click()
{
    if (store() && !txtFind->text().isEmpty())
        Search::replaceAllInEditor(*text1_, *messages_);
}

void frmReplace::cmdcancel_Click()
{
    store();
    close();
}

void frmReplace::keyPressEvent(QKeyEvent* event)
{
    // Esc is the Cancel button, which keeps what was typed for the next search.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdcancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmReplace::closeEvent(QCloseEvent* event)
{
    QDialog::closeEvent(event);
    if (event->isAccepted() && current == this)
        current = nullptr;
}
