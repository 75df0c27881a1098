// Keys every exercise touches: indentation as Java nests, Alt never typing, comments, printing.
#include "app/frmMain.h"
#include "editor/EditorControl.h"
#include "support/FakeHost.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {
class EditingKeysTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        text1.setFocus();
    }
    // Types text into the editor key by key; '\n' is Enter.
    void type(const QString& text)
    {
        for (const QChar c : text) {
            if (c == u'\n')
                QTest::keyClick(&text1, Qt::Key_Return);
            else
                QTest::keyClicks(&text1, QString(c));
        }
    }

    FakeHost host;
    frmMain window{host.services};
    EditorControl& text1 = window.Text1();
};

TEST_F(EditingKeysTest, TypingJavaIndentsAsItNests)
{
    type("class H {\npublic int b;\nvoid f() {\nif (b > 0)\nb--;\nreturn;\n}\n}");
    // Enter types the document's line end; the indentation is what is looked at.
    EXPECT_EQ(text1.Text().replace("\r\n", "\n"), "class H {\n\tpublic int b;\n\tvoid f() {\n\t\tif (b > 0)\n\t\t\tb--;\n\t\treturn;\n\t}\n}");
}

TEST_F(EditingKeysTest, AltWithALetterNeverTypes)
{
    text1.setText("abc");
    for (const Qt::Key key : {Qt::Key_Q, Qt::Key_Z, Qt::Key_D, Qt::Key_N, Qt::Key_1})
        QTest::keyClick(&text1, key, Qt::AltModifier);
    EXPECT_EQ(text1.Text(), "abc");
    // Alt with other keys still edits: Alt+Backspace undoes.
    type("d");
    QTest::keyClick(&text1, Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_EQ(text1.Text(), "abc");
}

TEST_F(EditingKeysTest, CtrlSlashCommentsTheSelectedLinesAndTakesItBackInOneUndo)
{
    const QString source = "class A {\n    int a;\n\n    int b;\n}\n";
    text1.setText(source);
    text1.emptyUndoBuffer();
    // From the middle of line 2 to the start of line 4: line 4 is not taken.
    text1.selectOffsets(source.indexOf("nt a"), source.indexOf("    int b"));
    QTest::keyClick(&text1, Qt::Key_Slash, Qt::ControlModifier);
    EXPECT_EQ(text1.Text(), "class A {\n    // int a;\n\n    int b;\n}\n");
    text1.selectOffsets(source.indexOf("int a"), source.indexOf("}"));
    window.findChild<QAction*>("mnuToggleComment")->trigger();
    EXPECT_EQ(text1.Text(), "class A {\n    // // int a;\n\n    // int b;\n}\n");
    window.findChild<QAction*>("mnuToggleComment")->trigger();
    EXPECT_EQ(text1.Text(), "class A {\n    // int a;\n\n    int b;\n}\n");
    text1.undo();
    EXPECT_EQ(text1.Text(), "class A {\n    // // int a;\n\n    // int b;\n}\n");
    text1.undo();
    text1.undo();
    EXPECT_EQ(text1.Text(), source);
}

TEST_F(EditingKeysTest, PrintWritesTheTextWithLineNumbersToAPdf)
{
    QTemporaryDir temp;
    text1.setText("class Printed {\n    int answer = 42;\n}\n");
    // Cancel prints nothing.
    window.findChild<QAction*>("mnuPrint")->trigger();
    EXPECT_EQ(host.printDialogs, 1);
    host.printToPdf = temp.filePath("out.pdf");
    window.findChild<QAction*>("mnuPrint")->trigger();
    EXPECT_EQ(host.printDialogs, 2);
    EXPECT_TRUE(host.messageBox->calls.isEmpty());
    ASSERT_TRUE(QFile::exists(*host.printToPdf));
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext is not on the search path (Debian: poppler-utils)";
    QProcess pdftotext;
    pdftotext.start("pdftotext", {"-layout", *host.printToPdf, "-"});
    ASSERT_TRUE(pdftotext.waitForFinished(60000));
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    EXPECT_TRUE(text.contains("class Printed {")) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression("2\\s+int answer = 42;"))) << text.toStdString();
}
} // namespace
