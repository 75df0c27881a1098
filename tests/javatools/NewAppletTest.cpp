#include "app/frmMain.h"
#include "document/Document.h"
#include "editor/EditorControl.h"
#include "javatools/JavaTools.h"
#include "javatools/JavaToolsText.h"
#include "javatools/NewApplet.h"
#include "javatools/frmNewApplet.h"
#include "support/FakeHost.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {
class NewAppletTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.files->files.insert("/p/Old.java", "class Old {}\r\n");
        cd1.willChoose(QStringLiteral("/p/Old.java"));
        window.mnuOpen_Click(); // CurrentFileName /p/Old.java, unmodified
        host.messageBox->calls.clear();
    }
    void TearDown() override { delete frmNewApplet::instance(); }

    frmNewApplet* open()
    {
        window.mnuNewApplet_Click();
        frmNewApplet* wizard = frmNewApplet::instance();
        if (wizard && !QTest::qWaitForWindowExposed(wizard))
            ADD_FAILURE() << "wizard not shown";
        return wizard;
    }

    FakeHost host;
    frmMain window{host.services};
    EditorControl& text1 = window.Text1();
    Document& doc = window.document();
    FakeCommonDialog& cd1 = *host.fileDialog;
};

TEST_F(NewAppletTest, HasItsControlsTextsAndTabOrder)
{
    frmNewApplet* wizard = open();
    ASSERT_NE(wizard, nullptr);
    EXPECT_EQ(wizard->windowTitle(), "New Java Applet");
    EXPECT_EQ(wizard->size(), QSize(432, 105));
    EXPECT_EQ(wizard->parentWidget(), nullptr);
    EXPECT_TRUE(wizard->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_EQ(wizard->findChild<QLabel*>("Label1")->text(), "Applet Name");
    EXPECT_EQ(wizard->findChild<QLabel*>("Label2")->text(), "Imports");
    EXPECT_EQ(wizard->findChild<QLabel*>("Label3")->text(), "Make Sure To Put a ; at the end of each line");
    EXPECT_EQ(wizard->findChild<QPushButton*>("OKButton")->text(), "OK");
    EXPECT_EQ(wizard->findChild<QPushButton*>("CancelButton")->text(), "Cancel");
    EXPECT_TRUE(wizard->OKButton->isDefault());
    EXPECT_TRUE(wizard->findChild<QLineEdit*>("txtName")->text().isEmpty());
    EXPECT_EQ(wizard->findChild<QPlainTextEdit*>("Text1")->toPlainText(), "import java.awt.*;\nimport java.applet.*;\n");
    EXPECT_EQ(wizard->imports(), DefaultAppletImports);

    // Tab order OK, Cancel, name, imports (and round again); the labels take no focus.
    QList<QWidget*> order;
    QWidget* w = wizard->OKButton;
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            order << w;
        w = w->nextInFocusChain();
    } while (w != wizard->OKButton);
    EXPECT_EQ(order, (QList<QWidget*>{wizard->OKButton, wizard->CancelButton, wizard->txtName, wizard->Text1}));

    // The caret waits in the name box.
    EXPECT_EQ(wizard->focusWidget(), wizard->txtName);
}

TEST_F(NewAppletTest, TypingANameAndEnterGeneratesTheApplet)
{
    frmNewApplet* wizard = open();
    ASSERT_NE(wizard, nullptr);
    QTest::keyClicks(wizard->focusWidget(), "Hello");
    QTest::keyClick(wizard->txtName, Qt::Key_Return);

    EXPECT_EQ(frmNewApplet::instance(), nullptr);
    EXPECT_EQ(text1.Text(), appletSource(DefaultAppletImports, "Hello"));
    EXPECT_EQ(text1.Text().size(), 126);
    EXPECT_EQ(window.windowTitle(), "Tolvane 1.0- Hello");
    EXPECT_TRUE(doc.Modified());
    EXPECT_FALSE(doc.HasFileName());
    EXPECT_TRUE(cd1.FileName.isEmpty());
    EXPECT_EQ(doc.CurrentFileName(), "/p/Old.java");
    EXPECT_TRUE(host.messageBox->calls.isEmpty()); // nothing unsaved, nothing asked

    // Save afterwards asks for a name, with an empty one offered.
    cd1.willChoose(std::nullopt);
    window.mnuSave_Click();
    ASSERT_EQ(cd1.calls.size(), 2);
    EXPECT_EQ(cd1.calls[1].kind, "save");
    EXPECT_TRUE(cd1.calls[1].fileName.isEmpty());
}

TEST_F(NewAppletTest, EnterInTheImportsBoxClicksOkAndCtrlEnterTypesALineEnd)
{
    frmNewApplet* wizard = open();
    ASSERT_NE(wizard, nullptr);
    wizard->txtName->setText("A");
    wizard->Text1->setFocus();
    wizard->Text1->moveCursor(QTextCursor::End);
    QTest::keyClicks(wizard->Text1, "import java.util.*;");
    QTest::keyClick(wizard->Text1, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClicks(wizard->Text1, "import java.io.*;");
    ASSERT_EQ(frmNewApplet::instance(), wizard);
    EXPECT_EQ(wizard->imports(), DefaultAppletImports + "import java.util.*;\r\nimport java.io.*;");

    QTest::keyClick(wizard->Text1, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(frmNewApplet::instance(), nullptr);
    EXPECT_EQ(text1.Text(), appletSource(DefaultAppletImports + "import java.util.*;\r\nimport java.io.*;", "A"));
}

TEST_F(NewAppletTest, EnterOnOkGeneratesWithTheEmptyName)
{
    frmNewApplet* wizard = open();
    ASSERT_NE(wizard, nullptr);
    wizard->OKButton->setFocus();
    QTest::keyClick(wizard->OKButton, Qt::Key_Return);
    EXPECT_EQ(frmNewApplet::instance(), nullptr);
    EXPECT_TRUE(text1.Text().contains("public class  extends Applet"));
    EXPECT_EQ(window.windowTitle(), "Tolvane 1.0- ");
}

TEST_F(NewAppletTest, CancelEnterOnCancelAndTheCloseBoxDiscardIt)
{
    const QString before = text1.Text();
    const QString title = window.windowTitle();
    for (int way = 0; way < 3; ++way) {
        frmNewApplet* wizard = open();
        ASSERT_NE(wizard, nullptr);
        wizard->txtName->setText("Typed");
        switch (way) {
        case 0: wizard->CancelButton->click(); break;
        case 1:
            wizard->CancelButton->setFocus();
            QTest::keyClick(wizard->CancelButton, Qt::Key_Return);
            break;
        case 2: wizard->close(); break;
        }
        EXPECT_EQ(frmNewApplet::instance(), nullptr) << way;
        EXPECT_EQ(text1.Text(), before) << way;
        EXPECT_EQ(window.windowTitle(), title) << way;
        EXPECT_FALSE(doc.Modified()) << way;
        EXPECT_TRUE(doc.HasFileName()) << way;

        // The next opening starts afresh.
        frmNewApplet* again = open();
        ASSERT_NE(again, nullptr);
        EXPECT_TRUE(again->txtName->text().isEmpty()) << way;
        EXPECT_EQ(again->imports(), DefaultAppletImports) << way;
        again->CancelButton->click();
    }
}

TEST_F(NewAppletTest, EscapeDoesNotCancel)
{
    frmNewApplet* wizard = open();
    ASSERT_NE(wizard, nullptr);
    QTest::keyClick(wizard->txtName, Qt::Key_Escape);
    EXPECT_EQ(frmNewApplet::instance(), wizard);
    EXPECT_TRUE(wizard->isVisible());
}

TEST_F(NewAppletTest, ANameOfAnyLengthIsKeptWhole)
{
    frmNewApplet* wizard = open();
    ASSERT_NE(wizard, nullptr);
    const QString name(100000, u'N');
    wizard->txtName->setText(name);
    EXPECT_EQ(wizard->txtName->text().size(), name.size());
    QTest::keyClick(wizard->txtName, Qt::Key_Return);
    EXPECT_EQ(text1.Text(), appletSource(DefaultAppletImports, name));
}

TEST_F(NewAppletTest, OpeningAgainShowsTheSameWizardWithWhatWasTyped)
{
    frmNewApplet* wizard = open();
    ASSERT_NE(wizard, nullptr);
    wizard->txtName->setText("Half");
    window.mnuNewApplet_Click();
    EXPECT_EQ(frmNewApplet::instance(), wizard);
    EXPECT_EQ(wizard->txtName->text(), "Half");
    EXPECT_EQ(window.findChildren<frmNewApplet*>().size(), 0); // no owner
    int wizards = 0;
    for (QWidget* top : QApplication::topLevelWidgets())
        wizards += qobject_cast<frmNewApplet*>(top) != nullptr && !top->isHidden();
    EXPECT_EQ(wizards, 1);
}

TEST_F(NewAppletTest, UnsavedWorkIsOfferedForSavingFirst)
{
    text1.setText("class Old { int edited; }");
    ASSERT_TRUE(doc.Modified());

    // Cancel: nothing happens and the wizard keeps what was typed.
    frmNewApplet* wizard = open();
    ASSERT_NE(wizard, nullptr);
    wizard->txtName->setText("Hello");
    host.messageBox->willAnswer(mb::Cancel);
    wizard->OKButton->click();
    ASSERT_EQ(host.messageBox->calls.size(), 1);
    EXPECT_EQ(host.messageBox->calls[0].text, "Would you like to save /p/Old.java?");
    EXPECT_EQ(host.messageBox->calls[0].style, mb::YesNoCancel | mb::Question);
    EXPECT_EQ(host.messageBox->calls[0].title, "Save File?");
    EXPECT_EQ(frmNewApplet::instance(), wizard);
    EXPECT_EQ(text1.Text(), "class Old { int edited; }");

    // Yes: saved to its file, then replaced.
    host.messageBox->willAnswer(mb::Yes);
    wizard->OKButton->click();
    EXPECT_EQ(host.files->files.value("/p/Old.java"), "class Old { int edited; }\r\n");
    EXPECT_EQ(frmNewApplet::instance(), nullptr);
    EXPECT_EQ(text1.Text(), appletSource(DefaultAppletImports, "Hello"));

    // No: replaced without saving.
    text1.setText("scratch");
    open()->txtName->setText("B");
    host.messageBox->willAnswer(mb::No);
    frmNewApplet::instance()->OKButton->click();
    EXPECT_EQ(text1.Text(), appletSource(DefaultAppletImports, "B"));
    EXPECT_EQ(host.files->writes.size(), 1);
}

TEST_F(NewAppletTest, ClosingTheMainWindowTakesTheWizardAlong)
{
    {
        FakeHost other;
        auto* second = new frmMain(other.services);
        second->mnuNewApplet_Click();
        ASSERT_NE(frmNewApplet::instance(), nullptr);
        delete second;
    }
    EXPECT_EQ(frmNewApplet::instance(), nullptr);
}
} // namespace
