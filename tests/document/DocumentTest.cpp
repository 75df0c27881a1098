#include "app/frmMain.h"
#include "document/Document.h"
#include "host/EditorControl.h"
#include "support/FakeHost.h"

#include <gtest/gtest.h>

namespace {
class DocumentTest : public ::testing::Test {
protected:
    FakeHost host;
    frmMain window{host.services};
    EditorControl& text1 = window.Text1();
    Document& doc = window.document();
    FakeCommonDialog& cd1 = *host.fileDialog;
};

TEST_F(DocumentTest, OpenRightAfterStartShowsTheDialogWithoutAQuestion)
{
    host.files->files.insert("/p/A.java", "class A {}\r\n");
    cd1.willChoose(QStringLiteral("/p/A.java"));
    window.mnuOpen_Click();
    EXPECT_TRUE(host.messageBox->calls.isEmpty());
    ASSERT_EQ(cd1.calls.size(), 1);
    EXPECT_EQ(cd1.calls[0].filter, "Java (*.java)|*.java|All Files (*.*)|*.*");
    EXPECT_EQ(text1.Text(), "class A {}\r\n");
    EXPECT_EQ(window.windowTitle(), "Tolvane 1.0- /p/A.java");
    EXPECT_TRUE(doc.HasFileName);
    EXPECT_FALSE(doc.Modified());
}
} // namespace
