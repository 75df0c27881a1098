// The real file store on a real disk: what it reads, what it writes, and that a failure at any step
// leaves the file on disk as it was.

#include "app/frmMain.h"
#include "document/Document.h"
#include "document/FileCodec.h"
#include "editor/EditorControl.h"
#include "host/HostError.h"
#include "host/LocalFileName.h"
#include "host/QtFileStore.h"
#include "host/QtHost.h"
#include "support/FakeHost.h"

#include <QDir>
#include <QProcess>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
bool runningAsRoot()
{
    return ::geteuid() == 0;
}

class FileStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QTemporaryDir stateHome; // where safety copies go
    QtFileStore store;

    FileStoreTest() { qputenv("XDG_STATE_HOME", QFile::encodeName(stateHome.path())); }
    ~FileStoreTest() override { qunsetenv("XDG_STATE_HOME"); }

    // Safety copies a save left in the state folder: none, once a save is over.
    QStringList safetyCopies() const
    {
        return QDir(QtFileStore::stateFolder() + "/safety-copies").entryList(QDir::Files | QDir::Hidden);
    }

    static ino_t inodeOf(const QString& p)
    {
        struct stat info {};
        ::stat(localFileName(p).constData(), &info);
        return info.st_ino;
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    void put(const QString& name, const QByteArray& bytes) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QByteArray contents(const QString& name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    // Every name in the folder, hidden ones included: a failed save must leave no temporary behind.
    QStringList entries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                          QDir::Name);
    }

    static mode_t modeOf(const QString& p)
    {
        struct stat info {};
        ::stat(QFile::encodeName(p).constData(), &info);
        return info.st_mode & 07777;
    }

    // The error message of f, which must throw HostError.
    template <typename F>
    static QString failure(F f)
    {
        try {
            f();
        } catch (const HostError& error) {
            return error.message();
        }
        ADD_FAILURE() << "no HostError";
        return QString();
    }
};

TEST_F(FileStoreTest, WritesAndReadsEveryByte)
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    all += all;
    store.writeAll(path("A.java"), all);
    EXPECT_EQ(contents("A.java"), all);
    EXPECT_EQ(store.readAll(path("A.java"), MaxDocumentBytes), all);
    EXPECT_EQ(entries(), QStringList{"A.java"});

    store.writeAll(path("A.java"), QByteArray());
    EXPECT_EQ(store.readAll(path("A.java"), MaxDocumentBytes), QByteArray());
}

TEST_F(FileStoreTest, ReadFailuresNameThePathAndTheReason)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.java"));
    put("big.java", QByteArray(4097, 'x'));
    struct Case {
        QString name;
        qint64 maxBytes;
        QString reason;
    };
    for (const Case& c : {Case{"missing.java", MaxDocumentBytes, "No such file or directory"},
                          Case{"folder.java", MaxDocumentBytes, "Is a directory"},
                          Case{"big.java", 4096, "larger than"}}) {
        SCOPED_TRACE(c.name.toStdString());
        const QString message = failure([&] { store.readAll(path(c.name), c.maxBytes); });
        EXPECT_TRUE(message.contains(path(c.name))) << message.toStdString();
        EXPECT_TRUE(message.contains(c.reason)) << message.toStdString();
    }
    EXPECT_EQ(store.readAll(path("big.java"), 4097).size(), 4097);
}

TEST_F(FileStoreTest, AnUnreadableFileIsRefused)
{
    if (runningAsRoot())
        GTEST_SKIP() << "permissions do not stop root from reading";
    put("secret.java", "x");
    ::chmod(QFile::encodeName(path("secret.java")).constData(), 0);
    const QString message = failure([&] { store.readAll(path("secret.java"), MaxDocumentBytes); });
    EXPECT_TRUE(message.contains("Permission denied")) << message.toStdString();
}

TEST_F(FileStoreTest, WriteFailuresLeaveTheDiskAsItWas)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.java"));
    put("A.java", "original\r\n");
    const QStringList before = entries();
    struct Case {
        QString target;
        QString reason;
    };
    for (const Case& c : {Case{path("folder.java"), "Is a directory"},
                          Case{path("no/such/folder/A.java"), "No such file or directory"}}) {
        SCOPED_TRACE(c.target.toStdString());
        const QString message = failure([&] { store.writeAll(c.target, "new"); });
        EXPECT_TRUE(message.contains(c.target)) << message.toStdString();
        EXPECT_TRUE(message.contains(c.reason)) << message.toStdString();
        EXPECT_EQ(entries(), before);
    }
}

TEST_F(FileStoreTest, ALongNameSaves)
{
    const QString name = QString(245, u'L') + ".java"; // 250 bytes; the most a name may have is 255
    store.writeAll(path(name), "class L {}\n");
    store.writeAll(path(name), "class L { }\n");
    EXPECT_EQ(contents(name), "class L { }\n");
    EXPECT_EQ(entries(), QStringList{name});
}

// A file with a second name stays one file; a failure part way puts the old contents back.
TEST_F(FileStoreTest, AHardLinkedFileIsWrittenInPlace)
{
    put("A.java", "old text\n");
    ASSERT_EQ(::link(QFile::encodeName(path("A.java")).constData(), QFile::encodeName(path("B.java")).constData()), 0);
    const ino_t inode = inodeOf(path("A.java"));

    QtFileStore fullDisk([](int fd, const void* data, std::size_t size) -> ssize_t {
        if (size > 2 && ::write(fd, data, 2) == 2) { // some bytes change, then the disk is full
            errno = ENOSPC;
            return -1;
        }
        return ::write(fd, data, size);
    });
    const QString message = failure([&] { fullDisk.writeAll(path("A.java"), "much longer new text\n"); });
    EXPECT_TRUE(message.contains("No space left on device")) << message.toStdString();
    EXPECT_EQ(contents("A.java"), "old text\n");
    EXPECT_EQ(safetyCopies(), QStringList());

    store.writeAll(path("A.java"), "new\n");
    EXPECT_EQ(contents("B.java"), "new\n");
    EXPECT_EQ(inodeOf(path("A.java")), inode);
    EXPECT_EQ(entries(), QStringList({"A.java", "B.java"}));
    EXPECT_EQ(safetyCopies(), QStringList());
}

TEST_F(FileStoreTest, ExtendedAttributesSurviveASave)
{
    put("A.java", "x");
    const QByteArray name = localFileName(path("A.java"));
    if (::setxattr(name.constData(), "user.origin", "lab", 3, 0) != 0)
        GTEST_SKIP() << "this file system keeps no user attributes: " << std::strerror(errno);
    store.writeAll(path("A.java"), "y");
    char value[8] = {};
    EXPECT_EQ(::getxattr(name.constData(), "user.origin", value, sizeof value), 3);
    EXPECT_STREQ(value, "lab");
}

// Root writes any folder, so the folder is made immutable instead (chattr +i): no one may add a name
// to it, the editor's temporary file included, while the files already in it stay writable.
TEST_F(FileStoreTest, AFileInAFolderNoOneMayWriteIsSavedInPlace)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("locked"));
    put("locked/A.java", "old\n");
    if (QProcess::execute("chattr", {"+i", path("locked")}) != 0)
        GTEST_SKIP() << "chattr +i is not available here";
    struct Unlock {
        QString folder;
        ~Unlock() { QProcess::execute("chattr", {"-i", folder}); }
    } unlock{path("locked")};
    const ino_t inode = inodeOf(path("locked/A.java"));

    store.writeAll(path("locked/A.java"), "new\n");
    EXPECT_EQ(contents("locked/A.java"), "new\n");
    EXPECT_EQ(inodeOf(path("locked/A.java")), inode);
    EXPECT_EQ(safetyCopies(), QStringList());
    const QString message = failure([&] { store.writeAll(path("locked/B.java"), "new\n"); });
    EXPECT_FALSE(message.isEmpty());
}

TEST_F(FileStoreTest, TemporariesOfKilledSavesAreRemovedByTheNextSave)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);
    const QString dead = ".tolvane-save-" + QString::number(child) + "-a1b2c3";
    const QString alive = ".tolvane-save-" + QString::number(::getppid()) + "-a1b2c3";
    put(dead, "half");
    put(alive, "half");
    put("A.java", "x");
    store.writeAll(path("A.java"), "y");
    EXPECT_EQ(entries(), QStringList({alive, "A.java"}));
}

// A name that is not UTF-8, as the command line passes it and as Qt's folder listing shows it.
TEST_F(FileStoreTest, NamesThatAreNotUtf8KeepTheirBytes)
{
    const QByteArray bytes = QFile::encodeName(dir.path()) + "/caf\xE9.java";
    const QString name = fileNameFromLocal(bytes);
    EXPECT_EQ(localFileName(name), bytes);
    {
        const int fd = ::open(bytes.constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "old\n", 4), 4);
        ::close(fd);
    }
    EXPECT_EQ(store.readAll(name, MaxDocumentBytes), "old\n");
    store.writeAll(name, "new\n");
    EXPECT_EQ(store.readAll(name, MaxDocumentBytes), "new\n");
    EXPECT_EQ(entries(), QStringList()); // no temporary left; Qt lists no name that is not UTF-8

    // The name as Qt would give it: the lost byte is explained, not reported as a missing file.
    const QString message = failure([&] { store.readAll(QFile::decodeName(bytes), MaxDocumentBytes); });
    EXPECT_TRUE(message.contains("not valid UTF-8")) << message.toStdString();
}

TEST(LocalFileName, EveryByteStringComesBack)
{
    for (const QByteArray& bytes : {QByteArray("plain.java"), QByteArray("caf\xE9"), QByteArray("\xEF\xBB\xBF\xC3\xA9"),
                                    QByteArray("\xF0\x90\x83\xA9\xE9\x80"), QByteArray("\xED\xA0\x80\xC0\xAF\xFF"),
                                    QByteArray("\xE2\x82")}) {
        SCOPED_TRACE(bytes.toHex().toStdString());
        EXPECT_EQ(localFileName(fileNameFromLocal(bytes)).toHex(), bytes.toHex());
    }
    EXPECT_EQ(fileNameFromLocal("caf\xC3\xA9"), QString::fromUtf8("caf\xC3\xA9"));
}

TEST_F(FileStoreTest, AReadOnlyFolderOrFileIsNotWritten)
{
    if (runningAsRoot())
        GTEST_SKIP() << "permissions do not stop root from writing";
    ASSERT_TRUE(QDir(dir.path()).mkdir("ro"));
    put("ro/A.java", "original\r\n");
    put("B.java", "original\r\n");
    ::chmod(QFile::encodeName(path("B.java")).constData(), 0444);
    ::chmod(QFile::encodeName(path("ro")).constData(), 0555);
    for (const QString& name : {QStringLiteral("ro/New.java"), QStringLiteral("B.java")}) {
        SCOPED_TRACE(name.toStdString());
        const QString message = failure([&] { store.writeAll(path(name), "new"); });
        EXPECT_TRUE(message.contains("Permission denied")) << message.toStdString();
    }
    // A writable file in that folder is another matter: it is written in place.
    store.writeAll(path("ro/A.java"), "new");
    ::chmod(QFile::encodeName(path("ro")).constData(), 0755);
    EXPECT_EQ(contents("ro/A.java"), "new");
    EXPECT_EQ(contents("B.java"), "original\r\n");
    EXPECT_EQ(QDir(path("ro")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"A.java"});
}

// A disk that fills up part way: the system writes some bytes, then refuses the rest.
TEST_F(FileStoreTest, AFullDiskCancelsTheSaveAndKeepsTheOriginal)
{
    put("A.java", "original contents\r\n");
    const QStringList before = entries();
    struct Case {
        const char* name;
        QtFileStore::WriteFunction write;
        QString reason;
    };
    const Case cases[] = {
        {"short write, then ENOSPC",
         [](int fd, const void* data, std::size_t size) -> ssize_t {
             static int calls = 0;
             if (++calls % 2 == 0) {
                 errno = ENOSPC;
                 return -1;
             }
             return ::write(fd, data, size / 2);
         },
         "No space left on device"},
        {"no progress", [](int, const void*, std::size_t) -> ssize_t { return 0; }, "No space left on device"},
        {"quota", [](int, const void*, std::size_t) -> ssize_t { errno = EDQUOT; return -1; }, "quota"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QtFileStore fullDisk(c.write);
        const QString message = failure([&] { fullDisk.writeAll(path("A.java"), QByteArray(100000, 'n')); });
        EXPECT_TRUE(message.contains(path("A.java"))) << message.toStdString();
        EXPECT_TRUE(message.contains(c.reason, Qt::CaseInsensitive)) << message.toStdString();
        EXPECT_EQ(contents("A.java"), "original contents\r\n");
        EXPECT_EQ(entries(), before);
    }
}

TEST_F(FileStoreTest, PartialWritesAreCarriedOnUntilEverythingIsWritten)
{
    int calls = 0;
    QtFileStore trickle([&calls](int fd, const void* data, std::size_t size) -> ssize_t {
        ++calls;
        if (calls % 3 == 0) {
            errno = EINTR;
            return -1;
        }
        return ::write(fd, data, std::min<std::size_t>(size, 7));
    });
    const QByteArray bytes("0123456789abcdefghijklmnopqrstuvwxyz\r\n");
    trickle.writeAll(path("A.java"), bytes);
    EXPECT_EQ(contents("A.java"), bytes);
    EXPECT_GT(calls, 6);
}

TEST_F(FileStoreTest, SavingKeepsPermissionsAndNewFilesFollowTheUmask)
{
    put("A.java", "x");
    ::chmod(QFile::encodeName(path("A.java")).constData(), 0640);
    store.writeAll(path("A.java"), "y");
    EXPECT_EQ(modeOf(path("A.java")), mode_t(0640));

    const mode_t mask = ::umask(022);
    store.writeAll(path("New.java"), "z");
    ::umask(mask);
    EXPECT_EQ(modeOf(path("New.java")), mode_t(0644));
}

TEST_F(FileStoreTest, SymbolicLinksAreWrittenThrough)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("real"));
    put("real/A.java", "old");
    ASSERT_EQ(::symlink("real/A.java", QFile::encodeName(path("link.java")).constData()), 0);
    ASSERT_EQ(::symlink("link.java", QFile::encodeName(path("link2.java")).constData()), 0);

    store.writeAll(path("link2.java"), "new");
    EXPECT_TRUE(QFileInfo(path("link.java")).isSymLink());
    EXPECT_TRUE(QFileInfo(path("link2.java")).isSymLink());
    EXPECT_EQ(contents("real/A.java"), "new");
    EXPECT_EQ(QtFileStore::resolveWriteTarget(path("link2.java")), path("real/A.java"));

    // A link whose target does not exist yet creates the target.
    ASSERT_EQ(::symlink("real/B.java", QFile::encodeName(path("dangling.java")).constData()), 0);
    store.writeAll(path("dangling.java"), "b");
    EXPECT_TRUE(QFileInfo(path("dangling.java")).isSymLink());
    EXPECT_EQ(contents("real/B.java"), "b");

    // A loop of links is refused.
    ASSERT_EQ(::symlink("loop2", QFile::encodeName(path("loop1")).constData()), 0);
    ASSERT_EQ(::symlink("loop1", QFile::encodeName(path("loop2")).constData()), 0);
    EXPECT_FALSE(failure([&] { store.writeAll(path("loop1"), "x"); }).isEmpty());
}

// The window on a real disk that fills up during Save: a message naming the file and the reason,
// the edits still in the editor and still unsaved, the file untouched.
TEST_F(FileStoreTest, AFullDiskDuringSaveLosesNothing)
{
    put("A.java", "class A {}\r\n");
    FakeHost host;
    host.services.files = std::make_unique<QtFileStore>([](int, const void*, std::size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    });
    frmMain window{host.services};
    host.fileDialog->willChoose(path("A.java"));
    window.mnuOpen_Click();
    ASSERT_EQ(window.Text1().Text(), "class A {}\r\n");
    window.Text1().setSelText(QStringLiteral("// edited\r\n"));

    window.mnuSave_Click();
    ASSERT_EQ(host.messageBox->calls.size(), 1);
    EXPECT_TRUE(host.messageBox->calls[0].text.contains(path("A.java")));
    EXPECT_TRUE(host.messageBox->calls[0].text.contains("No space left on device"));
    EXPECT_EQ(window.Text1().Text(), "// edited\r\nclass A {}\r\n");
    EXPECT_TRUE(window.document().Modified());
    EXPECT_EQ(contents("A.java"), "class A {}\r\n");
    EXPECT_EQ(entries(), QStringList{"A.java"});
}

TEST_F(FileStoreTest, OpeningAFolderOrAMissingFileChangesNothing)
{
    put("A.java", "class A {}\r\n");
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.java"));
    FakeHost host;
    host.services.files = std::make_unique<QtFileStore>();
    frmMain window{host.services};
    host.fileDialog->willChoose(path("A.java"));
    window.mnuOpen_Click();
    for (const QString& name : {QStringLiteral("folder.java"), QStringLiteral("missing.java")}) {
        SCOPED_TRACE(name.toStdString());
        host.messageBox->calls.clear();
        host.fileDialog->willChoose(path(name));
        window.mnuOpen_Click();
        ASSERT_EQ(host.messageBox->calls.size(), 1);
        EXPECT_TRUE(host.messageBox->calls[0].text.contains(path(name)));
        EXPECT_EQ(window.Text1().Text(), "class A {}\r\n");
        EXPECT_EQ(window.document().CurrentFileName(), path("A.java"));
        EXPECT_EQ(window.windowTitle(), "Tolvane 1.0- " + path("A.java"));
        EXPECT_FALSE(window.document().Modified());
    }
}
} // namespace

namespace {
TEST(SaveDialog, AddsTheExtensionOfTheChosenFilterToANameWithout)
{
    const QString java = QtCommonDialog::qtFilter(QStringLiteral("Java (*.java)|*.java|All Files (*.*)|*.*")).section(";;", 0, 0);
    const QString all = QStringLiteral("All Files (*.*)");
    ASSERT_EQ(java, "Java (*.java)");
    const QList<std::tuple<QString, QString, QString>> rows = {
        {"/p/Greeter", java, "/p/Greeter.java"},
        {"/p/Greeter.java", java, "/p/Greeter.java"},
        {"/p/notes.txt", java, "/p/notes.txt"},
        {"/p.d/Greeter", java, "/p.d/Greeter.java"},
        {"/p/Greeter", all, "/p/Greeter"},
        {"/p/Greeter", "Sources (*.java *.jav)", "/p/Greeter"},
        {"", java, ""},
    };
    for (const auto& [typed, filter, expected] : rows)
        EXPECT_EQ(QtCommonDialog::withDefaultSuffix(typed, filter), expected) << typed.toStdString() << " " << filter.toStdString();
}
} // namespace
