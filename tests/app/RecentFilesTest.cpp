// The File menu beyond the one document: recent files, other windows, where the dialogs start.
#include "app/RecentFiles.h"
#include "app/frmMain.h"
#include "document/Document.h"
#include "editor/EditorControl.h"
#include "host/CommandLine.h"
#include "support/FakeHost.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>

namespace {

class FileMenuTest : public ::testing::Test {
protected:
    FileMenuTest() { window.setRecentFilesStore(store()); }

    QString store() const { return config.filePath(QStringLiteral("tolvane/recent-files")); }
    // A file the fake store holds, opened through File > Open.
    void open(const QString& path)
    {
        host.files->files[path] = "class A {}\n";
        host.fileDialog->willChoose(path);
        window.mnuOpen_Click();
    }
    QMenu* fileMenu() { return window.menuBar()->actions().first()->menu(); }
    QStringList menuNames()
    {
        QMetaObject::invokeMethod(fileMenu(), "aboutToShow");
        QStringList names;
        for (QAction* item : fileMenu()->actions())
            names << (item->isSeparator() ? QStringLiteral("-") : item->objectName());
        return names;
    }
    QAction* item(const QString& name) { return window.findChild<QAction*>(name); }

    QTemporaryDir config;
    QTemporaryDir files;
    FakeHost host;
    frmMain window{host.services};
};

TEST_F(FileMenuTest, RecentFilesAreNumberedNewestFirstAndSharedBetweenWindows)
{
    for (int i = 1; i <= 11; ++i)
        open(QStringLiteral("/p/F%1.java").arg(i));
    open(QStringLiteral("/p/F5.java")); // opened again: moves up, never listed twice
    host.fileDialog->willChoose(QStringLiteral("/p/Saved & Sound.java"));
    ASSERT_TRUE(window.document().SaveAs());

    EXPECT_EQ(window.recentFiles(), (QStringList{"/p/Saved & Sound.java", "/p/F5.java", "/p/F11.java", "/p/F10.java",
                                                 "/p/F9.java", "/p/F8.java", "/p/F7.java", "/p/F6.java", "/p/F4.java"}));
    EXPECT_EQ(menuNames(), (QStringList{"mnuNew", "mnuNewWindow", "mnuNewApplet", "mnuOpen", "mnuOpenInNewWindow", "mnuSave",
                                        "mnuSaveAs", "mnuPrint", "-", "mnuRecent1", "mnuRecent2", "mnuRecent3", "mnuRecent4", "mnuRecent5",
                                        "mnuRecent6", "mnuRecent7", "mnuRecent8", "mnuRecent9", "-", "mnuExit"}));
    EXPECT_EQ(item("mnuRecent1")->text(), "&1 /p/Saved && Sound.java");
    EXPECT_EQ(item("mnuRecent9")->text(), "&9 /p/F4.java");

    // Another window (or the next start) reads the same list, and what it opens shows here too.
    FakeHost otherHost;
    frmMain other(otherHost.services);
    other.setRecentFilesStore(store());
    EXPECT_EQ(other.recentFiles(), window.recentFiles());
    otherHost.files->files[QStringLiteral("/q/Other.java")] = "class O {}\n";
    otherHost.fileDialog->willChoose(QStringLiteral("/q/Other.java"));
    other.mnuOpen_Click();
    menuNames();
    EXPECT_EQ(item("mnuRecent1")->text(), "&1 /q/Other.java");
}

TEST_F(FileMenuTest, ARecentFileOpensAfterTheSaveQuestionAndAMissingOneIsDropped)
{
    open(QStringLiteral("/p/A.java"));
    open(QStringLiteral("/p/B.java"));
    window.Text1().setText(QStringLiteral("changed"));

    // Cancel at the save question keeps everything as it was.
    menuNames();
    item("mnuRecent2")->trigger();
    EXPECT_EQ(window.document().CurrentFileName(), "/p/B.java");
    EXPECT_EQ(window.Text1().Text(), "changed");

    host.messageBox->willAnswer(mb::No);
    item("mnuRecent2")->trigger();
    EXPECT_EQ(window.document().CurrentFileName(), "/p/A.java");
    EXPECT_EQ(window.Text1().Text(), "class A {}\n");
    EXPECT_EQ(window.recentFiles().first(), "/p/A.java");

    // B is deleted behind the editor's back: refused with a message, taken off the list.
    host.files->files.remove(QStringLiteral("/p/B.java"));
    host.files->stats.remove(QStringLiteral("/p/B.java"));
    const qsizetype boxes = host.messageBox->calls.size();
    menuNames();
    item("mnuRecent2")->trigger();
    ASSERT_EQ(host.messageBox->calls.size(), boxes + 1);
    EXPECT_TRUE(host.messageBox->calls.last().text.startsWith("/p/B.java cannot be found"));
    EXPECT_EQ(window.document().CurrentFileName(), "/p/A.java");
    EXPECT_EQ(window.recentFiles(), QStringList{"/p/A.java"});
}

TEST(RecentFileList, StoreIsReplacedWholeAndALinkStaysALink)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("dotfiles/recent-files"));
    const QString link = dir.filePath(QStringLiteral("config/recent-files"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("dotfiles"))));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("config"))));
    ASSERT_TRUE(QFile::link(target, link));
    RecentFiles recent(link);
    EXPECT_TRUE(recent.add(QStringLiteral("/a/A.java")));
    EXPECT_TRUE(recent.add(QStringLiteral("/b/B.java")));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(RecentFiles(target).files(), (QStringList{"/b/B.java", "/a/A.java"}));
    // Nothing is left beside the store once it is written.
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("dotfiles"))).entryList(QDir::Files), QStringList{"recent-files"});
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("config"))).entryList(QDir::Files | QDir::System), QStringList{"recent-files"});
}

TEST(RecentFileList, StoreSurvivesDamageAndOddNames)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("deep/er/recent-files"));
    RecentFiles recent(path);
    EXPECT_TRUE(recent.files().isEmpty()); // nothing stored yet
    EXPECT_TRUE(recent.add(QStringLiteral("/a/Caf\u00e9.java")));
    EXPECT_FALSE(recent.add(QStringLiteral("/a/two\nlines.java")));
    EXPECT_FALSE(recent.add(QStringLiteral("relative.java")));
    EXPECT_EQ(recent.files(), QStringList{"/a/Caf\u00e9.java"});

    QFile damaged(path);
    ASSERT_TRUE(damaged.open(QIODevice::Append));
    damaged.write("\nnot/absolute\n\n/a/Caf\xc3\xa9.java\n/b/B.java\n");
    damaged.close();
    EXPECT_EQ(recent.files(), (QStringList{"/a/Caf\u00e9.java", "/b/B.java"}));

    EXPECT_EQ(withRecentFile({"/a", "/b", "/c"}, "/c", 2), (QStringList{"/c", "/a"}));
    const QString longPath = QStringLiteral("/home/ann/") + QString(80, u'x') + QStringLiteral("/Main.java");
    const QString caption = recentFileCaption(0, longPath);
    EXPECT_TRUE(caption.startsWith("&1 /home/ann/xx")) << caption.toStdString();
    EXPECT_TRUE(caption.endsWith(".../Main.java")) << caption.toStdString();
    EXPECT_LE(caption.size(), 80);
}

TEST_F(FileMenuTest, OtherWindowsAreProgramsOfTheirOwnAndThisDocumentStays)
{
    open(QStringLiteral("/p/A.java"));
    const QString program = quoteCommandLineArgument(QCoreApplication::applicationFilePath());

    window.mnuNewWindow_Click();
    host.fileDialog->willChoose(QStringLiteral("/p/My B.java"));
    window.mnuOpenInNewWindow_Click();
    host.fileDialog->willChoose(std::nullopt);
    window.mnuOpenInNewWindow_Click();
    window.openInNewWindow(QStringLiteral("/p/C.java"), 3, 4);

    ASSERT_EQ(host.processes->calls.size(), 3);
    EXPECT_EQ(host.processes->calls[0].commandLine, program);
    EXPECT_EQ(host.processes->calls[1].commandLine, program + " -- \"/p/My B.java\"");
    EXPECT_EQ(host.processes->calls[2].commandLine, program + " --goto=3:5 -- /p/C.java");
    for (const auto& call : host.processes->calls)
        EXPECT_EQ(call.windowStyle, ws::NormalFocus);
    // This window's document and its dialog's name are untouched.
    EXPECT_EQ(window.document().CurrentFileName(), "/p/A.java");
    EXPECT_EQ(window.cd1().FileName, "/p/A.java");
}

TEST_F(FileMenuTest, DialogsStartAtTheDocumentElseTheLastFolderElseHome)
{
    // Nothing opened yet, in this session or the last: the home folder.
    host.fileDialog->willChoose(std::nullopt);
    window.mnuSaveAs_Click();
    EXPECT_EQ(host.fileDialog->calls.last().fileName, "");
    EXPECT_EQ(host.fileDialog->calls.last().initDir, QDir::homePath());

    // A document with a file: the dialog starts at it.
    const QString a = files.filePath(QStringLiteral("A.java"));
    open(a);
    host.fileDialog->willChoose(std::nullopt);
    window.mnuOpen_Click();
    EXPECT_EQ(host.fileDialog->calls.last().fileName, a);

    // Untitled: the folder last used, in this window and in the next one.
    window.mnuNew_Click();
    host.fileDialog->willChoose(std::nullopt);
    window.mnuSave_Click();
    EXPECT_EQ(host.fileDialog->calls.last().fileName, "");
    EXPECT_EQ(host.fileDialog->calls.last().initDir, files.path());

    FakeHost nextHost;
    frmMain next(nextHost.services);
    next.setRecentFilesStore(store());
    nextHost.fileDialog->willChoose(std::nullopt);
    next.mnuOpen_Click();
    EXPECT_EQ(nextHost.fileDialog->calls.last().initDir, files.path());
}

} // namespace
