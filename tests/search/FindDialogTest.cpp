#include "app/frmMain.h"
#include "editor/EditorControl.h"
#include "search/Search.h"
#include "search/SearchSettings.h"
#include "search/frmFind.h"
#include "support/FakeHost.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

namespace {

void processDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class FindDialogTest : public ::testing::Test {
protected:
    void SetUp() override { resetSearchSettings(); }
    void TearDown() override
    {
        frmFind::unload();
        processDeferredDeletes();
    }

    frmFind& open()
    {
        window.mnuFind_Click();
        frmFind* dialog = frmFind::instance();
        if (!dialog)
            throw std::logic_error("no find dialog");
        return *dialog;
    }

    // Opens the dialog, types the find text, picks the options and presses Find.
    void search(const QString& find, int direction, bool matchCase = false)
    {
        frmFind& dialog = open();
        dialog.txtFind->selectAll();
        dialog.txtFind->insert(find);
        dialog.chkCase->setChecked(matchCase);
        dialog.optDirection[direction]->click();
        dialog.cmdFind->click();
    }

    void setCaret(qsizetype offset)
    {
        text1.setSelStart(offset);
        text1.setSelLength(0);
    }

    QStringList messages() const
    {
        QStringList texts;
        for (const auto& call : host.messageBox->calls)
            texts << call.text;
        return texts;
    }

    FakeHost host;
    frmMain window{host.services};
    EditorControl& text1 = window.Text1();
    SearchSettings& settings = searchSettings();
};

TEST_F(FindDialogTest, FirstOpeningShowsTheStartValues)
{
    frmFind& dialog = open();
    EXPECT_EQ(dialog.windowTitle(), "Tolvane 1.0- Find");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.parent(), nullptr);
    EXPECT_TRUE(dialog.testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_FALSE(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(dialog.txtFind->text(), "");
    EXPECT_FALSE(dialog.cmdFind->isEnabled());
    EXPECT_FALSE(dialog.chkCase->isChecked());
    EXPECT_TRUE(dialog.optDirection[0]->isChecked());
    EXPECT_FALSE(dialog.optDirection[1]->isChecked());
    EXPECT_EQ(dialog.focusWidget(), dialog.txtFind);
    EXPECT_TRUE(dialog.cmdFind->isDefault());
    EXPECT_EQ(dialog.Label1->buddy(), dialog.txtFind);
    EXPECT_EQ(dialog.font().pointSizeF(), 8.25);
}

TEST_F(FindDialogTest, ControlsFollowTheLayoutTable)
{
    frmFind& dialog = open();
    EXPECT_EQ(dialog.size(), QSize(330, 93));
    EXPECT_EQ(dialog.pos(), QPoint(100, 125));

    struct Row {
        const char* name;
        QString caption;
        QString tooltip;
        QRect geometry; // pixels, from the twips table
    };
    const Row rows[] = {
        {"Label1", "Fi&nd What:", "", QRect(8, 16, 65, 17)},
        {"txtFind", "", "Text to Find", QRect(80, 8, 161, 33)},
        {"chkCase", "Match &Case", "Case Sensitivity", QRect(8, 48, 89, 33)},
        {"Frame1", "Direction", "", QRect(104, 48, 137, 41)},
        {"optDirection0", "&Up", "Search to Beginning of Document", QRect(16, 16, 41, 17)},
        {"optDirection1", "&Down", "Search to End of Document", QRect(64, 16, 57, 17)},
        {"cmdFind", "&Find", "Start Search", QRect(248, 8, 73, 25)},
        {"cmdcancel", "Cancel", "Return to Dizudar", QRect(248, 40, 73, 25)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto* control = dialog.findChild<QWidget*>(QString::fromLatin1(row.name));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(), row.geometry);
        EXPECT_EQ(control->toolTip(), row.tooltip);
        QString caption;
        if (auto* label = qobject_cast<QLabel*>(control))
            caption = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(control))
            caption = button->text();
        else if (auto* frame = qobject_cast<QGroupBox*>(control))
            caption = frame->title();
        EXPECT_EQ(caption, row.caption);
    }
    EXPECT_EQ(dialog.optDirection[0]->parentWidget(), dialog.Frame1);
}

TEST_F(FindDialogTest, TabVisitsTheControlsInOrder)
{
    frmFind& dialog = open();
    QList<QWidget*> order;
    QWidget* w = dialog.txtFind;
    for (int k = 0; k < 6; ++k) {
        order << w;
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus)
            w = w->nextInFocusChain();
    }
    const QList<QWidget*> expected = {dialog.txtFind,         dialog.chkCase, dialog.optDirection[0],
                                      dialog.optDirection[1], dialog.cmdFind, dialog.cmdcancel};
    EXPECT_EQ(order, expected);
}

TEST_F(FindDialogTest, TabKeyMovesFocusInOrder)
{
    frmFind& dialog = open();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    const auto tabs = [](int count) {
        QList<QWidget*> visited{QApplication::focusWidget()};
        for (int k = 0; k < count; ++k) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget();
        }
        return visited;
    };
    // Like any dialog: Tab reaches the chosen option of the group only, and passes over a disabled Find.
    EXPECT_EQ(tabs(4), (QList<QWidget*>{dialog.txtFind, dialog.chkCase, dialog.optDirection[0], dialog.cmdcancel,
                                        dialog.txtFind}));
    QTest::keyClicks(dialog.txtFind, "x");
    dialog.optDirection[1]->click();
    dialog.txtFind->setFocus();
    EXPECT_EQ(tabs(5), (QList<QWidget*>{dialog.txtFind, dialog.chkCase, dialog.optDirection[1], dialog.cmdFind,
                                        dialog.cmdcancel, dialog.txtFind}));
    dialog.cmdFind->setFocus();
    QTest::keyClick(dialog.cmdFind, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), dialog.optDirection[1]);
}

TEST_F(FindDialogTest, MnemonicsReachTheirControls)
{
    frmFind& dialog = open();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    // A mnemonic presses its button the way a click does, after a short visible press.
    QTest::keyClick(&dialog, Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return settings.SearchMatchCase == 1; }));
    QTest::keyClick(&dialog, Qt::Key_D, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return settings.SearchDirection == 1; }));
    QTest::keyClick(&dialog, Qt::Key_U, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return settings.SearchDirection == 0; }));
    QTest::keyClick(&dialog, Qt::Key_N, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), dialog.txtFind);
}

TEST_F(FindDialogTest, FindIsEnabledOnlyWhileThereIsText)
{
    frmFind& dialog = open();
    QTest::keyClick(dialog.txtFind, Qt::Key_A);
    EXPECT_TRUE(dialog.cmdFind->isEnabled());
    EXPECT_TRUE(settings.SearchTextFresh);
    QTest::keyClick(dialog.txtFind, Qt::Key_Backspace);
    EXPECT_FALSE(dialog.cmdFind->isEnabled());
    EXPECT_TRUE(settings.SearchTextFresh);
}

TEST_F(FindDialogTest, EnterDoesNothingWhileFindIsDisabled)
{
    text1.setText("a Foo");
    frmFind& dialog = open();
    QTest::keyClick(dialog.txtFind, Qt::Key_Return);
    EXPECT_EQ(frmFind::instance(), &dialog);
    EXPECT_TRUE(host.messageBox->calls.isEmpty());
}

TEST_F(FindDialogTest, EnterSearchesSelectsTheMatchAndCloses)
{
    text1.setText("a Foo");
    setCaret(0);
    frmFind& dialog = open();
    dialog.optDirection[1]->click();
    QTest::keyClicks(dialog.txtFind, "foo");
    QTest::keyClick(dialog.txtFind, Qt::Key_Return);
    EXPECT_EQ(frmFind::instance(), nullptr);
    EXPECT_EQ(text1.SelStart(), 2);
    EXPECT_EQ(text1.SelLength(), 3);
    EXPECT_EQ(settings.SearchText, "foo");
    EXPECT_EQ(settings.SearchLastPos, 2);
    EXPECT_FALSE(settings.SearchTextFresh);
    EXPECT_TRUE(host.messageBox->calls.isEmpty());
}

TEST_F(FindDialogTest, NotFoundReportsTheTypedTextAndKeepsTheSelection)
{
    text1.setText("a Foo bar");
    text1.setSelStart(6);
    text1.setSelLength(2);
    search("foo", 1, true);
    ASSERT_EQ(host.messageBox->calls.size(), 1);
    EXPECT_EQ(host.messageBox->calls[0].text, "Cannot find \"foo\"");
    EXPECT_EQ(host.messageBox->calls[0].style, mb::OKOnly);
    EXPECT_EQ(host.messageBox->calls[0].title, "Tolvane 2000");
    EXPECT_EQ(text1.SelStart(), 6);
    EXPECT_EQ(text1.SelLength(), 2);
    EXPECT_EQ(settings.SearchLastPos, 6);
    EXPECT_EQ(frmFind::instance(), nullptr);
}

TEST_F(FindDialogTest, TheMessageIsShownWhileTheDialogIsStillOpen)
{
    struct WatchingBox : MessageBoxService {
        bool dialogOpen = false;
        int show(const QString&, int, const QString&) override
        {
            dialogOpen = frmFind::instance() && frmFind::instance()->isVisible();
            return mb::OK;
        }
    } box;
    EditorControl editor;
    editor.setText("abc");
    Search::showFindDialog(editor, box);
    QTest::keyClicks(frmFind::instance()->txtFind, "zzz");
    frmFind::instance()->cmdFind->click();
    EXPECT_TRUE(box.dialogOpen);
    EXPECT_EQ(frmFind::instance(), nullptr);
}

TEST_F(FindDialogTest, EscapeCancelsStoringTextAndCase)
{
    frmFind& dialog = open();
    QTest::keyClicks(dialog.txtFind, "Needle");
    dialog.chkCase->click();
    QTest::keyClick(dialog.txtFind, Qt::Key_Escape);
    EXPECT_EQ(frmFind::instance(), nullptr);
    EXPECT_EQ(settings.SearchText, "Needle");
    EXPECT_EQ(settings.SearchMatchCase, 1);
}

TEST_F(FindDialogTest, CancelWithoutTouchingAnythingStoresTheEmptyText)
{
    settings.SearchMatchCase = 1;
    settings.SearchText = "";
    frmFind& dialog = open();
    dialog.chkCase->setChecked(false);
    dialog.cmdcancel->click();
    EXPECT_EQ(settings.SearchText, "");
    EXPECT_EQ(settings.SearchMatchCase, 0);
}

TEST_F(FindDialogTest, ReopenedDialogShowsWhatWasStored)
{
    text1.setText("x FOO foo");
    search("foo", 1, true);
    ASSERT_EQ(text1.SelStart(), 6);

    frmFind& dialog = open();
    EXPECT_EQ(dialog.txtFind->text(), "foo");
    EXPECT_EQ(dialog.txtFind->selectedText(), "foo");
    EXPECT_TRUE(dialog.cmdFind->isEnabled());
    EXPECT_TRUE(dialog.chkCase->isChecked());
    EXPECT_TRUE(dialog.optDirection[1]->isChecked());
    dialog.chkCase->click();
    EXPECT_EQ(settings.SearchMatchCase, 0);
    dialog.chkCase->click();
    EXPECT_EQ(settings.SearchMatchCase, 1);
    dialog.cmdcancel->click();

    // The Cancelled text comes back too, unsearched.
    frmFind& again = open();
    EXPECT_EQ(again.txtFind->text(), "foo");
}

TEST_F(FindDialogTest, CloseButtonStoresNothing)
{
    text1.setText("foo foo");
    search("foo", 1);
    frmFind& dialog = open();
    QTest::keyClicks(dialog.txtFind, "other");
    EXPECT_TRUE(settings.SearchTextFresh);
    dialog.close();
    processDeferredDeletes();
    EXPECT_EQ(settings.SearchText, "foo");
    // Still the text last searched: the next search moves on.
    EXPECT_FALSE(settings.SearchTextFresh);
    EXPECT_EQ(frmFind::instance(), nullptr);
}

TEST_F(FindDialogTest, AtMostOneDialogAndReopeningKeepsTheTypedText)
{
    frmFind& dialog = open();
    QTest::keyClicks(dialog.txtFind, "ab");
    QPointer<frmFind> first = &dialog;
    frmFind& second = open();
    EXPECT_EQ(&second, first.data());
    EXPECT_EQ(second.txtFind->text(), "ab");
    EXPECT_TRUE(second.cmdFind->isEnabled());
    EXPECT_EQ(QApplication::topLevelWidgets().count(qobject_cast<QWidget*>(first.data())), 1);

    second.cmdcancel->click();
    processDeferredDeletes();
    EXPECT_TRUE(first.isNull()); // destroyed, not just hidden
    frmFind& third = open();
    EXPECT_NE(&third, nullptr);
    EXPECT_EQ(frmFind::instance(), &third);
}

TEST_F(FindDialogTest, SearchingAgainAdvancesThroughEveryOccurrence)
{
    text1.setText("foo Foo foo");
    setCaret(0);
    search("foo", 1);
    EXPECT_EQ(text1.SelStart(), 0);
    for (qsizetype expected : {4, 8}) {
        open().cmdFind->click(); // the stored text, unedited
        EXPECT_EQ(text1.SelStart(), expected);
    }
    open().cmdFind->click();
    EXPECT_EQ(messages(), QStringList{"Cannot find \"foo\""});
    EXPECT_EQ(text1.SelStart(), 8);

    // And back up again, nearest first.
    frmFind& dialog = open();
    dialog.optDirection[0]->click();
    dialog.cmdFind->click();
    EXPECT_EQ(text1.SelStart(), 4);
}

TEST_F(FindDialogTest, RetypingTheSameTextStillAdvances)
{
    text1.setText("foo foo");
    search("foo", 1);
    frmFind& dialog = open();
    dialog.txtFind->selectAll();
    QTest::keyClicks(dialog.txtFind, "fo");
    QTest::keyClicks(dialog.txtFind, "o");
    dialog.cmdFind->click();
    EXPECT_EQ(text1.SelStart(), 4);
}

TEST_F(FindDialogTest, ANewTextOrAMovedCaretStartsAtTheCaret)
{
    text1.setText("foo fox foo");
    search("foo", 1);
    ASSERT_EQ(text1.SelStart(), 0);
    search("fo", 1); // different text: the occurrence at the caret counts
    EXPECT_EQ(text1.SelStart(), 0);

    search("foo", 1);
    ASSERT_EQ(text1.SelStart(), 0);
    setCaret(8);
    open().cmdFind->click();
    EXPECT_EQ(text1.SelStart(), 8);
}

TEST_F(FindDialogTest, ACancelledTextIsSearchedFromTheCaret)
{
    text1.setText("fo foo");
    search("fo", 1);
    ASSERT_EQ(text1.SelStart(), 0);
    frmFind& dialog = open();
    dialog.txtFind->setText("fo f");
    dialog.cmdcancel->click();
    frmFind& again = open();
    again.txtFind->setText("fo");
    again.cmdFind->click();
    EXPECT_EQ(text1.SelStart(), 0);
}

TEST_F(FindDialogTest, DirectionCarriesOver)
{
    text1.setText("abc");
    search("b", 1);
    EXPECT_EQ(settings.SearchDirection, 1);
    EXPECT_TRUE(open().optDirection[1]->isChecked());
}

TEST_F(FindDialogTest, FindNextRepeatsAndFindPreviousReverses)
{
    text1.setText("ab ab ab");
    window.mnuFindNext_Click(); // nothing stored yet: the dialog instead
    ASSERT_NE(frmFind::instance(), nullptr);
    frmFind::unload();

    search("AB", 1);
    ASSERT_EQ(text1.SelStart(), 0);
    window.mnuFindNext_Click();
    EXPECT_EQ(text1.SelStart(), 3);
    window.mnuFindNext_Click();
    EXPECT_EQ(text1.SelStart(), 6);
    window.mnuFindPrevious_Click();
    EXPECT_EQ(text1.SelStart(), 3);
    EXPECT_EQ(text1.SelLength(), 2);
    EXPECT_EQ(settings.SearchDirection, 1);
    window.mnuFindPrevious_Click();
    window.mnuFindPrevious_Click();
    EXPECT_EQ(messages(), QStringList{"Cannot find \"AB\""});
    EXPECT_EQ(text1.SelStart(), 0);
}

TEST_F(FindDialogTest, F3AndShiftF3ReachTheSearchFromTheKeyboard)
{
    text1.setText("ab ab ab");
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&text1, Qt::Key_F3);
    ASSERT_NE(frmFind::instance(), nullptr); // nothing to repeat yet
    frmFind::instance()->txtFind->setText("ab");
    frmFind::instance()->optDirection[1]->click();
    frmFind::instance()->cmdFind->click();
    setCaret(4);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&text1, Qt::Key_F3);
    EXPECT_EQ(text1.SelStart(), 6);
    QTest::keyClick(&text1, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(text1.SelStart(), 3);
}

TEST_F(FindDialogTest, FindNextDropsWhatIsHalfTypedInTheDialog)
{
    text1.setText("ab ab");
    search("ab", 1);
    frmFind& dialog = open();
    QTest::keyClicks(dialog.txtFind, "zz");
    window.mnuFindNext_Click();
    EXPECT_EQ(frmFind::instance(), nullptr);
    EXPECT_EQ(text1.SelStart(), 3);
    EXPECT_EQ(settings.SearchText, "ab");
}

TEST_F(FindDialogTest, TheDialogClosesWithItsEditor)
{
    auto editor = std::make_unique<EditorControl>();
    Search::showFindDialog(*editor, *host.messageBox);
    QPointer<frmFind> dialog = frmFind::instance();
    editor.reset();
    EXPECT_EQ(frmFind::instance(), nullptr);
    processDeferredDeletes();
    EXPECT_TRUE(dialog.isNull());
}

TEST_F(FindDialogTest, SearchesFarIntoALongDocument)
{
    QString text(70'000, u'.');
    text.replace(50'000, 6, "Needle");
    text1.setText(text);
    setCaret(40'000);
    search("needle", 1);
    EXPECT_EQ(text1.SelStart(), 50'000);
    EXPECT_EQ(settings.SearchLastPos, 50'000);
    setCaret(69'000);
    search("NEEDLE", 0);
    EXPECT_EQ(text1.SelStart(), 50'000);
}

TEST_F(FindDialogTest, PositionsAreThoseOfTheEditorsSelection)
{
    // A leading byte-order mark, a character outside the BMP and bytes that are not UTF-8 each take
    // the units the editor's selection gives them: mark 1, pair 2, "x" 1, each bad byte 1.
    text1.loadUtf8(QByteArray("\xEF\xBB\xBF\xF0\x90\x90\xA8" "x\xFF\xC3" "ab ab"));
    setCaret(0);
    search("AB", 1);
    EXPECT_EQ(text1.SelStart(), 6);
    EXPECT_EQ(text1.SelText(), "ab");
    setCaret(text1.textLength());
    search(QStringLiteral("\U00010400X"), 0);
    EXPECT_EQ(text1.SelStart(), 1);
    EXPECT_EQ(text1.SelText(), QStringLiteral("\U00010428x"));
}

} // namespace
