#include "frmFind.h"

#include "Search.h"
#include "SearchSettings.h"
#include "editor/EditorControl.h"
#include "host/DialogLayout.h"
#include "host/MessageBoxService.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <limits>

namespace {
QPointer<frmFind> current;

using DialogLayout::px;
using DialogLayout::twipsRect;
} // namespace

frmFind* frmFind::showDialog(EditorControl& text1, MessageBoxService& messages)
{
    return showOne(current, text1, messages, [&] { return new frmFind(text1, messages); });
}

frmFind* frmFind::instance()
{
    return current;
}

void frmFind::unload()
{
    if (current)
        current->close();
}

frmFind::frmFind(EditorControl& text1, MessageBoxService& messages)
    : SearchDialog(text1, messages, QStringLiteral("frmFind"), QStringLiteral("Find"), QStringLiteral("edit-find"), 4950, 1395)
{
    createControls();
    Form_Load();
}

frmFind::~frmFind() = default;

void frmFind::createControls()
{
    Label1 = new QLabel(QStringLiteral("Fi&nd What:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twipsRect(120, 240, 975, 255));

    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setGeometry(twipsRect(1200, 120, 2415, 500));
    txtFind->setToolTip(QStringLiteral("Text to Find"));
    txtFind->setAccessibleName(QStringLiteral("Find What"));
    // A search text is as long as the user types or pastes it, never cut short.
    txtFind->setMaxLength(std::numeric_limits<int>::max());
    Label1->setBuddy(txtFind);

    chkCase = new QCheckBox(QStringLiteral("Match &Case"), this);
    chkCase->setObjectName(QStringLiteral("chkCase"));
    chkCase->setGeometry(twipsRect(120, 720, 1335, 495));
    chkCase->setToolTip(QStringLiteral("Case Sensitivity"));
    chkCase->setAccessibleName(QStringLiteral("Match Case"));

    Frame1 = new QGroupBox(QStringLiteral("Direction"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(1560, 720, 2052, 612));
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
    optDirection[1]->setChecked(true);

    auto* directions = new QButtonGroup(this);
    directions->addButton(optDirection[0], 0);
    directions->addButton(optDirection[1], 1);

    cmdFind = new QPushButton(QStringLiteral("&Find"), this);
    cmdFind->setObjectName(QStringLiteral("cmdFind"));
    cmdFind->setGeometry(twipsRect(3720, 120, 1092, 372));
    cmdFind->setToolTip(QStringLiteral("Start Search"));
    cmdFind->setAccessibleName(QStringLiteral("Find"));
    cmdFind->setDefault(true);

    cmdcancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdcancel->setObjectName(QStringLiteral("cmdcancel"));
    cmdcancel->setGeometry(twipsRect(3720, 600, 1092, 372));
    cmdcancel->setToolTip(QStringLiteral("Return to Dizudar"));
    cmdcancel->setAccessibleName(QStringLiteral("Cancel"));

    setTabOrder(txtFind, chkCase);
    setTabOrder(chkCase, optDirection[0]);
    setTabOrder(optDirection[0], optDirection[1]);
    setTabOrder(optDirection[1], cmdFind);
    setTabOrder(cmdFind, cmdcancel);

    optDirection[0]->installEventFilter(this);
    optDirection[1]->installEventFilter(this);

    connect(txtFind, &QLineEdit::textChanged, this, &frmFind::txtFind_Change);
    connect(chkCase, &QCheckBox::toggled, this, &frmFind::chkCase_Click);
    connect(directions, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            optDirection_Click(id);
    });
    connect(cmdFind, &QPushButton::clicked, this, &frmFind::cmdFind_Click);
    connect(cmdcancel, &QPushButton::clicked, this, &frmFind::cmdcancel_Click);
}

void frmFind::Form_Load()
{
    SearchSettings& settings = searchSettings();
    freshAtLoad_ = settings.SearchTextFresh;
    if (!settings.SearchTextFresh && !settings.SearchText.isEmpty())
        searchedText_ = settings.SearchText;

    cmdFind->setEnabled(false);
    optDirection[settings.SearchDirection == 1 ? 1 : 0]->setChecked(true);
    // The dialog comes back as the user left it: the stored find text, ready to be searched again or
    // typed over, and the case setting the next search will really use.
    txtFind->setText(settings.SearchText);
    txtFind->selectAll();
    chkCase->setChecked(settings.SearchMatchCase != 0);
    txtFind->setFocus();
}

void frmFind::txtFind_Change()
{
    // Editing the find text back to the text just searched is no change: the next search still
    // moves on past the previous match.
    searchSettings().SearchTextFresh = !(searchedText_ && txtFind->text() == *searchedText_);
    cmdFind->setEnabled(!txtFind->text().isEmpty());
}

void frmFind::chkCase_Click()
{
    searchSettings().SearchMatchCase = chkCase->isChecked() ? 1 : 0;
}

void frmFind::optDirection_Click(int index)
{
    searchSettings().SearchDirection = index;
}

void frmFind::cmdFind_Click()
{
    stored_ = true;
    searchSettings().SearchText = txtFind->text();
    FindIt();
}

void frmFind::cmdcancel_Click()
{
    stored_ = true;
    SearchSettings& settings = searchSettings();
    settings.SearchText = txtFind->text();
    settings.SearchMatchCase = chkCase->isChecked() ? 1 : 0;
    close();
}

void frmFind::FindIt()
{
    if (text1_)
        Search::findInEditor(*text1_, *messages_, searchSettings().SearchDirection);
    close();
}

bool frmFind::eventFilter(QObject* watched, QEvent* event)
{
    // Tabbing into the Direction group lands on the chosen option, as in any dialog; the toolkit
    // would stop at whichever option comes first.
    if (event->type() == QEvent::FocusIn) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        auto* option = qobject_cast<QRadioButton*>(watched);
        if (option && !option->isChecked() && (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)) {
            QRadioButton* chosen = optDirection[0]->isChecked() ? optDirection[0] : optDirection[1];
            chosen->setFocus(reason);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmFind::keyPressEvent(QKeyEvent* event)
{
    // Esc is the Cancel button (which stores the choices), not a bare close.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (cmdcancel->isEnabled())
            cmdcancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmFind::closeEvent(QCloseEvent* event)
{
    QDialog::closeEvent(event);
    if (!event->isAccepted())
        return;
    // Closed without Find or Cancel: nothing typed here was stored, so the find text still is the
    // one last searched as far as the next search is concerned.
    if (!stored_)
        searchSettings().SearchTextFresh = freshAtLoad_;
    if (current == this)
        current = nullptr;
}
