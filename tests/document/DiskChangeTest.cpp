// Another program changes the open file: the document notices, takes the change when that loses
// nothing, and otherwise says so and never writes over it unseen. And no command acts while the
// start-up load is still filling the editor.

#include "app/ChangedOnDiskBar.h"
#include "app/frmMain.h"
#include "document/Document.h"
#include "editor/EditorControl.h"
#include "host/ContentHash.h"
#include "host/QtFileStore.h"
#include "host/QtFileWatcher.h"
#include "support/FakeHost.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace {
const QString Path = QStringLiteral("/p/A.java");

class DiskChangeTest : public ::testing::Test {
protected:
    FakeHost host;
    frmMain window{host.services};
    EditorControl& text1 = window.Text1();
    Document& doc = window.document();
    FakeFileStore& files = *host.files;
    ChangedOnDiskBar& bar = *window.diskChangeBar();

    void SetUp() override
    {
        files.files.insert(Path, "line 1\r\nline 2\r\nline 3\r\n");
        host.fileDialog->willChoose(Path);
        window.mnuOpen_Click();
        ASSERT_EQ(text1.Text(), "line 1\r\nline 2\r\nline 3\r\n");
    }
    bool barShown() const { return !bar.isHidden(); }
};

TEST_F(DiskChangeTest, AnUnmodifiedDocumentTakesTheChangeAsOneUndoableStep)
{
    struct Case {
        const char* what;
        QByteArray bytes;
        bool inPlace;
        bool keepTimes;
        bool reloads;
    };
    for (const Case& c : {
             Case{"appended in place", "line 1\r\nline 2\r\nline 3\r\nline 4\r\n", true, false, true},
             Case{"renamed over it", "line 1\r\nLINE 2\r\nline 3\r\n", false, false, true},
             Case{"same size, time put back", "line 1\r\nline 2\r\nline X\r\n", true, true, true},
             Case{"same bytes, touched", "line 1\r\nline 2\r\nline 3\r\n", true, true, false},
         }) {
        SCOPED_TRACE(c.what);
        const QByteArray before = text1.utf8();
        text1.setCursorPosition(1, 3);
        files.changeBehind(Path, c.bytes, c.inPlace, c.keepTimes);
        host.fileWatcher->fire();
        EXPECT_EQ(text1.utf8(), c.bytes);
        EXPECT_FALSE(doc.Modified());
        EXPECT_FALSE(barShown());
        EXPECT_EQ(text1.caretLine(), 2);
        EXPECT_TRUE(host.messageBox->calls.isEmpty());
        if (!c.reloads)
            continue;
        text1.undo();
        EXPECT_EQ(text1.utf8(), before);
        EXPECT_TRUE(doc.Modified());
        text1.redo();
        EXPECT_FALSE(doc.Modified());
    }
}

TEST_F(DiskChangeTest, WithUnsavedChangesTheBarOffersReloadOrKeep)
{
    text1.setSelText("// mine\r\n");
    files.changeBehind(Path, "line 1\r\nline 2\r\nline 3\r\ntheirs\r\n", false);
    host.fileWatcher->fire();
    ASSERT_TRUE(barShown());
    EXPECT_TRUE(bar.message()->text().contains(Path + " has been changed by another program"));
    EXPECT_EQ(text1.Text(), "// mine\r\nline 1\r\nline 2\r\nline 3\r\n");

    bar.reloadButton()->click();
    EXPECT_FALSE(barShown());
    EXPECT_EQ(text1.Text(), "line 1\r\nline 2\r\nline 3\r\ntheirs\r\n");
    EXPECT_FALSE(doc.Modified());
    text1.undo();
    EXPECT_EQ(text1.Text(), "// mine\r\nline 1\r\nline 2\r\nline 3\r\n");

    // Keep my version: the user has seen this change, so Save writes without asking.
    files.changeBehind(Path, "theirs again\r\n", true);
    host.fileWatcher->fire();
    ASSERT_TRUE(barShown());
    bar.keepButton()->click();
    EXPECT_FALSE(barShown());
    EXPECT_TRUE(window.document().Save());
    EXPECT_TRUE(host.messageBox->calls.isEmpty());
    EXPECT_EQ(files.files.value(Path), "// mine\r\nline 1\r\nline 2\r\nline 3\r\n");
}

TEST_F(DiskChangeTest, SaveAsksBeforeWritingOverAChangeNobodySaw)
{
    text1.setSelText("// mine\r\n");
    files.changeBehind(Path, "theirs\r\n", true);
    host.messageBox->willAnswer(mb::Cancel);
    EXPECT_FALSE(doc.Save());
    ASSERT_EQ(host.messageBox->calls.size(), 1);
    EXPECT_EQ(host.messageBox->calls[0].style, mb::OKCancel | mb::Exclamation);
    EXPECT_TRUE(host.messageBox->calls[0].text.startsWith(Path + " has been changed by another program"));
    EXPECT_EQ(files.files.value(Path), "theirs\r\n");
    EXPECT_TRUE(doc.Modified());

    host.messageBox->willAnswer(mb::OK);
    EXPECT_TRUE(doc.Save());
    EXPECT_EQ(files.files.value(Path), "// mine\r\nline 1\r\nline 2\r\nline 3\r\n");

    // The program's own save is no change: nothing is reloaded, shown or asked.
    host.fileWatcher->fire();
    text1.setSelText("x");
    EXPECT_TRUE(doc.Save());
    EXPECT_EQ(host.messageBox->calls.size(), 2);
    EXPECT_FALSE(barShown());
}

TEST_F(DiskChangeTest, ADeletedFileIsSaidSoAndSaveWritesItAgain)
{
    files.files.remove(Path);
    host.fileWatcher->fire();
    ASSERT_TRUE(barShown());
    EXPECT_TRUE(bar.message()->text().contains("deleted or moved away"));
    EXPECT_TRUE(bar.reloadButton()->isHidden());
    EXPECT_EQ(text1.Text(), "line 1\r\nline 2\r\nline 3\r\n");
    // The text lives only in the editor now: leaving asks (Cancel, by default here).
    EXPECT_FALSE(doc.maybeSave());
    EXPECT_TRUE(doc.Save());
    EXPECT_EQ(host.messageBox->calls.size(), 1);
    EXPECT_TRUE(doc.maybeSave());
    EXPECT_EQ(files.files.value(Path), "line 1\r\nline 2\r\nline 3\r\n");
    EXPECT_FALSE(barShown());
}

TEST_F(DiskChangeTest, NoCommandActsWhileTheStartUpLoadRuns)
{
    doc.setLoading(true);
    for (const char* name : {"mnuNew", "mnuNewApplet", "mnuOpen", "mnuSave", "mnuCut", "mnuCopy", "mnuPaste", "mnuFind",
                             "mnuFindNext", "mnuFindPrevious", "mnuSelectAll", "mnuDateTime", "mnuCompile", "tbSave",
                             "tbOpen", "tbNew", "tbPaste", "tbCompile"}) {
        SCOPED_TRACE(name);
        QAction* action = window.findChild<QAction*>(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr);
        EXPECT_FALSE(action->isEnabled());
    }
    EXPECT_TRUE(window.findChild<QAction*>("mnuExit")->isEnabled());
    EXPECT_TRUE(window.findChild<QAction*>("mnuAbout")->isEnabled());

    // Called directly, the commands do nothing: no dialog, no question, no write.
    files.writes.clear();
    window.mnuSave_Click();
    window.mnuOpen_Click();
    window.mnuNew_Click();
    EXPECT_TRUE(files.writes.isEmpty());
    EXPECT_EQ(host.fileDialog->calls.size(), 1); // the Open of SetUp
    EXPECT_EQ(doc.CurrentFileName(), Path);

    doc.setLoading(false);
    EXPECT_TRUE(window.findChild<QAction*>("mnuSave")->isEnabled());
}

TEST(ContentHash, PiecesHashLikeTheWhole)
{
    QByteArray bytes(3 * ContentHasher::BlockSize + 123, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    const quint64 whole = contentHash(bytes);
    for (const qsizetype piece : {qsizetype(1000), qsizetype(65536), ContentHasher::BlockSize + 1}) {
        ContentHasher hasher;
        for (qsizetype at = 0; at < bytes.size(); at += piece)
            hasher.add(QByteArrayView(bytes).sliced(at, std::min(piece, bytes.size() - at)));
        EXPECT_EQ(hasher.result(), whole) << piece;
    }
    EXPECT_NE(contentHash(bytes.first(bytes.size() - 1)), whole);
    bytes[5] = 'x';
    EXPECT_NE(contentHash(bytes), whole);
}

TEST(ReplaceAll, KeepsCharactersWholeWhereOldAndNewShareBytes)
{
    EditorControl editor;
    editor.loadUtf8("caf\xc3\xa9 ok\r\n");
    editor.replaceAllUtf8("caf\xc3\xa8 ok\r\n"); // é and è share their first byte
    EXPECT_EQ(editor.Text(), QString::fromUtf8("caf\xc3\xa8 ok\r\n"));
    editor.undo();
    EXPECT_EQ(editor.Text(), QString::fromUtf8("caf\xc3\xa9 ok\r\n"));
}

// The real disk and the system's notifications: a rename over the file, as editors and version
// control do, must not end the watching; the file written in place afterwards is noticed too.
TEST(QtFileWatcherTest, FollowsTheFileAcrossARenameOverIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("A.java");
    QtFileStore store;
    store.writeAll(path, "one\n");
    const FileStat first = store.stat(path);
    EXPECT_TRUE(first.exists);
    EXPECT_EQ(store.hashFile(path), contentHash("one\n"));

    QtFileWatcher watcher;
    int events = 0;
    watcher.watch(path, [&events] { ++events; });
    store.writeAll(path, "two\n"); // through a temporary file renamed over it
    ASSERT_TRUE(QTest::qWaitFor([&] { return events > 0; }, 5000));
    EXPECT_NE(store.stat(path).inode, first.inode);

    const int before = events;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("three\n");
    file.close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return events > before; }, 5000));

    QFile::remove(path);
    const int afterWrite = events;
    EXPECT_TRUE(QTest::qWaitFor([&] { return events > afterWrite; }, 5000));
    EXPECT_FALSE(store.stat(path).exists);
}
} // namespace
