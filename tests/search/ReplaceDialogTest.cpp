#include "app/frmMain.h"
#include "document/Document.h"
#include "editor/EditorControl.h"
#include "search/SearchSettings.h"
#include "search/frmFind.h"
#include "search/frmReplace.h"
#include "support/FakeHost.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

class ReplaceDialogTest : public ::testing::Test {
protected:
    void SetUp() override { resetSearchSettings(); }
    void TearDown() override
    {
        frmReplace::unload();
        frmFind::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    frmReplace& open(const QString& find, const QString& replacement, int direction = 1, bool matchCase = false)
    {
        window.mnuReplace_Click();
        frmReplace* dialog = frmReplace::instance();
        if (!dialog)
            throw std::logic_error("no replace dialog");
        dialog->txtFind->setText(find);
        dialog->txtReplace->setText(replacement);
        dialog->chkCase->setChecked(matchCase);
        dialog->optDirection[direction]->setChecked(true);
        return *dialog;
    }

    void start(const QString& text)
    {
        text1.setText(text);
        text1.emptyUndoBuffer();
        text1.markSaved();
    }

    QString lastMessage() const { return host.messageBox->calls.isEmpty() ? QString() : host.messageBox->calls.constLast().text; }

    FakeHost host;
    frmMain window{host.services};
    EditorControl& text1 = window.Text1();
};

TEST_F(ReplaceDialogTest, ReplaceAllIsOneUndoStepAndSaysHowMany)
{
    start("Foo foo FOO bar\r\nfoo");
    frmReplace& dialog = open("foo", "baz");
    text1.setSelStart(14); // in "bar": the caret stays by its text
    dialog.cmdReplaceAll->click();
    EXPECT_EQ(text1.Text(), "baz baz baz bar\r\nbaz");
    EXPECT_EQ(text1.SelStart(), 14);
    EXPECT_EQ(lastMessage(), "Replaced 4 occurrences.");
    EXPECT_EQ(frmReplace::instance(), &dialog) << "the dialog stays open";
    EXPECT_TRUE(window.document().Modified());

    window.mnuUndo_Click();
    EXPECT_EQ(text1.Text(), "Foo foo FOO bar\r\nfoo");
    EXPECT_FALSE(window.document().Modified());
    window.mnuRedo_Click();
    EXPECT_EQ(text1.Text(), "baz baz baz bar\r\nbaz");

    // With Match Case only the exact spelling is replaced; the setting is the one Find uses.
    start("Foo foo FOO");
    dialog.chkCase->setChecked(true);
    dialog.txtReplace->setText("x");
    dialog.cmdReplaceAll->click();
    EXPECT_EQ(text1.Text(), "Foo x FOO");
    EXPECT_EQ(lastMessage(), "Replaced 1 occurrence.");
    EXPECT_EQ(searchSettings().SearchMatchCase, 1);

    dialog.txtFind->setText("absent");
    dialog.cmdReplaceAll->click();
    EXPECT_EQ(lastMessage(), "Cannot find \"absent\"");
    EXPECT_EQ(text1.Text(), "Foo x FOO");
}

TEST_F(ReplaceDialogTest, ReplaceTakesTheSelectedMatchThenSelectsTheNext)
{
    start("one two one two one");
    frmReplace& dialog = open("one", "one one");
    // Nothing selected yet: the first press only finds.
    dialog.cmdReplace->click();
    EXPECT_EQ(text1.SelStart(), 0);
    EXPECT_EQ(text1.SelLength(), 3);
    EXPECT_EQ(text1.Text(), "one two one two one");
    // Each press replaces the selected match and moves on past the new text, never into it.
    dialog.cmdReplace->click();
    EXPECT_EQ(text1.Text(), "one one two one two one");
    EXPECT_EQ(text1.SelStart(), 12);
    dialog.cmdReplace->click();
    dialog.cmdReplace->click();
    EXPECT_EQ(text1.Text(), "one one two one one two one one");
    EXPECT_EQ(text1.SelStart(), 31);
    EXPECT_EQ(lastMessage(), "Cannot find \"one\"");

    // Upwards, a replacement that leaves nothing: the match before is the next one.
    start("ab ab ab");
    text1.setSelStart(8);
    dialog.txtFind->setText("ab");
    dialog.txtReplace->clear();
    dialog.optDirection[0]->setChecked(true);
    dialog.cmdFindNext->click();
    EXPECT_EQ(text1.SelStart(), 6);
    dialog.cmdReplace->click();
    EXPECT_EQ(text1.Text(), "ab ab ");
    EXPECT_EQ(text1.SelStart(), 3);
    EXPECT_EQ(text1.SelLength(), 2);
    EXPECT_EQ(searchSettings().SearchDirection, 0);
}

TEST_F(ReplaceDialogTest, TextBoxesTakeTextOfAnyLength)
{
    // Only the first 32,767 characters of the search text are in the document: a box that cut the
    // text there would find them.
    const QString longText = QString(40000, u'x') + u'y';
    start(longText.left(32767) + " end");
    window.mnuFind_Click();
    frmFind* find = frmFind::instance();
    ASSERT_NE(find, nullptr);
    find->txtFind->setText(longText);
    find->optDirection[1]->click();
    EXPECT_EQ(find->txtFind->text().size(), longText.size());
    find->cmdFind->click();
    EXPECT_EQ(lastMessage(), "Cannot find \"" + longText + '"');
    EXPECT_EQ(searchSettings().SearchText.size(), longText.size());

    frmReplace& dialog = open(longText, longText + longText);
    EXPECT_EQ(dialog.txtFind->text(), longText);
    EXPECT_EQ(dialog.txtReplace->text().size(), 2 * longText.size());
}

} // namespace
