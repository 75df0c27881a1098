#include "app/frmMain.h"
#include "document/Document.h"
#include "document/Recovery.h"
#include "document/RecoveryJournal.h"
#include "document/FileCodec.h"
#include "host/EditorControl.h"
#include "host/HostError.h"
#include "host/QtRecordStore.h"
#include "support/FakeHost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>

#include <sys/resource.h>

namespace {

TEST(PieceTextTest, RandomEditsMatchEditingTheBytesDirectly)
{
    const QByteArray base = "0123456789abcdefghijklmnopqrstuvwxyz";
    QByteArray expected = base;
    PieceText text(base.size());
    QRandomGenerator random(7);
    for (int i = 0; i < 3000; ++i) {
        RecoveryEdit edit;
        edit.position = random.bounded(expected.size() + 1);
        edit.removed = random.bounded(std::min<qint64>(4, expected.size() - edit.position) + 1);
        edit.inserted = QByteArray(random.bounded(4), char('A' + i % 26));
        expected.replace(edit.position, edit.removed, edit.inserted);
        ASSERT_TRUE(text.apply(edit));
    }
    EXPECT_EQ(text.materialize(base), expected);
    EXPECT_FALSE(text.apply({expected.size(), 1, {}})) << "an edit past the end";
}

TEST(RecoveryJournalTest, RecordsRoundTripAndAnyDamageRefusesTheWholeRecord)
{
    const QByteArray base = "class A {\r\n}\r\n";
    RecoveryHeader header;
    header.pid = 4242;
    header.bootId = "boot";
    header.currentFileName = header.displayName = header.basePath = "/p/A.java";
    header.hasFileName = true;
    header.format = {TextEncoding::Windows1252, false, LineEnd::CR};
    header.baseLength = base.size();
    header.baseHash = Recovery64::hash(base);
    PieceText pieces(base.size());
    pieces.apply({9, 0, " int x;"});
    const std::vector<RecoveryEdit> later = {{0, 5, "final class"}, {0, 0, "// é\r\n"}};
    const QByteArray expected = "// é\r\nfinal class A { int x;\r\n}\r\n";

    struct Case {
        const char* name;
        QByteArray snapshot;
    };
    const Case cases[] = {
        {"pieces over the base", RecoveryJournal::encodePiecesSnapshot(pieces)},
        {"whole text", RecoveryJournal::encodeWholeTextSnapshot("class A { int x;\r\n}\r\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = RecoveryJournal::encodeHeader(header) + c.snapshot +
                                 RecoveryJournal::encodeEdits({later[0]}) + RecoveryJournal::encodeEdits({later[1]});
        const std::optional<RecoveryRecord> record = RecoveryJournal::decode(bytes);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->header, header);
        EXPECT_EQ(record->edits, later);
        EXPECT_EQ(RecoveryJournal::replay(*record, base), expected);

        // A crash cuts the record anywhere: inside the header or the snapshot (written whole, so only
        // damage does that) nothing is recovered; inside an appended edit frame the record is the one
        // the flush before it left, and says that it lost its tail.
        const qsizetype firstFlush = RecoveryJournal::encodeHeader(header).size() + c.snapshot.size();
        const qsizetype lastFlush = bytes.size() - RecoveryJournal::encodeEdits({later[1]}).size();
        const QByteArray afterSnapshot = "class A { int x;\r\n}\r\n", afterFirst = "final class A { int x;\r\n}\r\n";
        for (qsizetype cut = 0; cut < bytes.size(); ++cut) {
            const std::optional<RecoveryRecord> cutRecord = RecoveryJournal::decode(bytes.left(cut));
            if (cut < firstFlush) {
                ASSERT_FALSE(cutRecord) << "truncated to " << cut << " bytes";
                continue;
            }
            ASSERT_TRUE(cutRecord) << "truncated to " << cut << " bytes";
            EXPECT_EQ(RecoveryJournal::replay(*cutRecord, base), cut < lastFlush ? afterSnapshot : afterFirst);
            EXPECT_EQ(cutRecord->torn, cut != firstFlush && cut != lastFlush);
        }
        const std::optional<RecoveryRecord> zeroFilled = RecoveryJournal::decode(bytes + QByteArray(4096, '\0'));
        ASSERT_TRUE(zeroFilled) << "space a power cut left unfilled";
        EXPECT_EQ(RecoveryJournal::replay(*zeroFilled, base), expected);

        // Damage is refused whole. A changed length of the last frame cannot be told from a torn
        // append: it may only ever lose that last frame.
        const qsizetype lastLength = lastFlush + 4;
        for (qsizetype at = 0; at < bytes.size(); at += 3) {
            QByteArray damaged = bytes;
            damaged[at] = char(damaged[at] ^ 0x20);
            const std::optional<RecoveryRecord> damagedRecord = RecoveryJournal::decode(damaged);
            if (at >= lastLength && at < lastLength + 8 && damagedRecord) {
                EXPECT_TRUE(damagedRecord->torn);
                EXPECT_EQ(RecoveryJournal::replay(*damagedRecord, base), afterFirst);
                continue;
            }
            ASSERT_FALSE(damagedRecord) << "byte " << at << " changed";
        }
    }
    EXPECT_FALSE(RecoveryJournal::replay({header, {}, {{100, 1, {}}}}, base)) << "edits that do not fit";
}

TEST(RecoveryJournalTest, BaseIsRecognisedInTheFileASaveWrote)
{
    RecoveryHeader header;
    header.baseLength = 3;
    header.baseHash = Recovery64::hash("abc");
    header.baseEndedWithLineEnd = false;
    EXPECT_EQ(RecoveryJournal::baseFromFile(header, "abc\r\n"), "abc") << "the line end the save added";
    EXPECT_EQ(RecoveryJournal::baseFromFile(header, "abc"), "abc");
    EXPECT_FALSE(RecoveryJournal::baseFromFile(header, "abd\n"));
    header.baseEndedWithLineEnd = true;
    EXPECT_FALSE(RecoveryJournal::baseFromFile(header, "abc\n"));
}

// The real record store, but for the writes a test makes fail with a reason of its choosing; a failed
// write changes nothing, as the store promises.
struct FaultyRecordStore : RecordStore {
    QtRecordStore real;
    QString folderFault, writeFault; // empty: works
    int writes = 0;

    void makeFolder(const QString& path) override
    {
        if (!folderFault.isEmpty())
            throw HostError(folderFault);
        real.makeFolder(path);
    }
    void replace(const QString& path, const QByteArray& bytes) override
    {
        ++writes;
        if (!writeFault.isEmpty())
            throw HostError(writeFault);
        real.replace(path, bytes);
    }
    void append(const QString& path, qint64 size, const QByteArray& bytes) override
    {
        ++writes;
        if (!writeFault.isEmpty())
            throw HostError(writeFault);
        real.append(path, size, bytes);
    }
    void remove(const QString& path) override { real.remove(path); }
};

// One running instance: a window with its own scripted host and a recovery record in folder.
struct Instance {
    Instance(const QString& folder, const QString& id, FaultyRecordStore* faults = nullptr)
    {
        std::unique_ptr<FaultyRecordStore> store(faults);
        recovery = std::make_unique<Recovery>(window.document(), window.Text1(), host.services, folder, id, std::move(store));
        QObject::connect(&window.document(), &Document::diskChangeNoticed, [this](DiskChange change) { notice = change; });
    }
    FakeHost host;
    frmMain window{host.services};
    std::unique_ptr<Recovery> recovery;
    DiskChange notice = DiskChange::None; // what the bar above the editor shows

    Document& doc() { return window.document(); }
    EditorControl& text1() { return window.Text1(); }
    void open(const QString& path, const QByteArray& bytes)
    {
        host.files->files.insert(path, bytes);
        ASSERT_TRUE(doc().loadFile(path));
    }
    void type(qsizetype byteOffset, const QString& text)
    {
        text1().setSelStart(text1().offsetOfPosition(byteOffset));
        text1().setSelText(text);
    }
    // The process ends without a word: its lock goes, its record stays.
    void crash() { recovery.reset(); }
};

class RecoveryTest : public ::testing::Test {
protected:
    QTemporaryDir state;
    QString folder = state.path() + "/tolvane";

    QStringList files() const { return QDir(folder).entryList(QDir::Files, QDir::Name); }
};

TEST_F(RecoveryTest, CrashedNamedFileComesBackUnsavedWithItsFormatAndTheFileUntouched)
{
    const QByteArray disk = "class A {\r// caf\xE9\r}\r";
    auto a = std::make_unique<Instance>(folder, "a");
    a->open("/p/A.java", disk); // not UTF-8: Windows-1252 with CR line ends
    ASSERT_EQ(a->doc().Format(), (FileFormat{TextEncoding::Windows1252, false, LineEnd::CR}));
    a->type(9, QStringLiteral(" int é;"));
    a->recovery->flush();
    a->type(0, QStringLiteral("final "));
    a->recovery->flush();
    const QByteArray typed = a->text1().utf8();
    EXPECT_EQ(files(), (QStringList{"a.lock", "a.record"}));

    Instance b(folder, "b");
    b.host.files->files.insert("/p/A.java", disk); // the same disk
    b.recovery->offerOrphans();
    EXPECT_TRUE(b.host.messageBox->calls.isEmpty()) << "a record of a running instance is not offered";

    a->crash();
    b.host.messageBox->willAnswer(mb::Yes);
    b.recovery->offerOrphans();
    ASSERT_EQ(b.host.messageBox->calls.size(), 1);
    EXPECT_EQ(b.host.messageBox->calls[0].title, "Recover Unsaved Changes?");
    EXPECT_TRUE(b.host.messageBox->calls[0].text.contains("without saving the changes to /p/A.java."));
    EXPECT_EQ(b.text1().utf8(), typed);
    EXPECT_TRUE(b.doc().Modified());
    EXPECT_EQ(b.doc().CurrentFileName(), "/p/A.java");
    EXPECT_TRUE(b.doc().HasFileName());
    EXPECT_EQ(b.doc().Format(), a->doc().Format());
    EXPECT_EQ(b.host.files->files["/p/A.java"], disk);
    EXPECT_EQ(files(), (QStringList{"b.lock", "b.record"})) << "the text is now b's to keep";

    ASSERT_TRUE(b.doc().Save());
    EXPECT_EQ(b.host.files->files["/p/A.java"], "final class A { int \xE9;\r// caf\xE9\r}\r");
    EXPECT_EQ(files(), QStringList{"b.lock"}) << "saving removes the record";
    b.recovery->finish();
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(RecoveryTest, UntitledLaterAndDiscard)
{
    {
        Instance a(folder, "a");
        a.doc().New();
        a.type(0, QStringLiteral("never saved\r\n"));
        a.recovery->flush();
    }
    for (int answer : {mb::Cancel, mb::No}) {
        Instance b(folder, "b");
        b.host.messageBox->willAnswer(answer);
        b.recovery->offerOrphans();
        ASSERT_EQ(b.host.messageBox->calls.size(), 1);
        EXPECT_TRUE(b.host.messageBox->calls[0].text.contains("the changes to Untitled."));
        EXPECT_EQ(b.text1().utf8(), "");
        EXPECT_EQ(QFile::exists(folder + "/a.record"), answer == mb::Cancel);
    }

    Instance a(folder, "a2");
    a.type(0, QStringLiteral("again"));
    a.recovery->flush();
    a.crash();
    Instance c(folder, "c");
    c.host.messageBox->willAnswer(mb::Yes);
    c.recovery->offerOrphans();
    EXPECT_EQ(c.text1().utf8(), "again");
    EXPECT_EQ(c.doc().CurrentFileName(), "Untitled");
    EXPECT_FALSE(c.doc().HasFileName());
    EXPECT_TRUE(c.doc().Modified());
}

TEST_F(RecoveryTest, NewUndoAndLeavingRemoveTheRecord)
{
    Instance a(folder, "a");
    a.open("/p/A.java", "class A {}\n");
    a.type(0, QStringLiteral("x"));
    a.recovery->flush();
    ASSERT_TRUE(QFile::exists(a.recovery->recordPath()));
    a.text1().undo();
    EXPECT_FALSE(QFile::exists(a.recovery->recordPath())) << "undone to the saved text";

    a.type(0, QStringLiteral("y"));
    a.recovery->flush();
    a.host.messageBox->willAnswer(mb::No);
    a.doc().New();
    EXPECT_FALSE(QFile::exists(a.recovery->recordPath())) << "New, answering No";

    a.type(0, QStringLiteral("z"));
    a.recovery->flush();
    a.recovery->finish();
    EXPECT_TRUE(files().isEmpty()) << "leaving";
}

TEST_F(RecoveryTest, DamagedRecordIsToldAndKeptAside)
{
    {
        Instance a(folder, "a");
        a.type(0, QStringLiteral("some words"));
        a.recovery->flush();
    }
    QFile record(folder + "/a.record");
    ASSERT_TRUE(record.open(QIODevice::ReadWrite));
    ASSERT_TRUE(record.resize(record.size() - 1));
    record.close();

    Instance b(folder, "b");
    b.recovery->offerOrphans();
    ASSERT_EQ(b.host.messageBox->calls.size(), 1);
    EXPECT_TRUE(b.host.messageBox->calls[0].text.contains("is damaged"));
    EXPECT_EQ(b.text1().utf8(), "");
    EXPECT_EQ(files(), (QStringList{"a.damaged", "b.lock"}));
}

TEST_F(RecoveryTest, LongDocumentRecordFollowsTheEditsAndNeedsItsBase)
{
    QByteArray original;
    while (original.size() <= Recovery::WholeTextLimit)
        original += "        System.out.println(\"a line of a long program\");\n";
    QByteArray typed;
    {
        Instance a(folder, "a");
        a.open("/p/Long.java", original);
        for (int i = 0; i < 200; ++i) {
            a.type(qsizetype(i) * 997, QStringLiteral("\u00e9"));
            if (i % 50 == 0)
                a.recovery->flush();
        }
        a.recovery->flush();
        EXPECT_LT(QFileInfo(a.recovery->recordPath()).size(), 10000);
        typed = a.text1().utf8();
    }
    {
        Instance b(folder, "b");
        b.host.files->files["/p/Long.java"] = "changed meanwhile\n";
        b.host.messageBox->willAnswer(mb::Yes); // recover
        b.host.messageBox->willAnswer(mb::Yes); // keep the record
        b.recovery->offerOrphans();
        ASSERT_EQ(b.host.messageBox->calls.size(), 2);
        EXPECT_TRUE(b.host.messageBox->calls[1].text.contains("the file has been changed since"));
        EXPECT_TRUE(QFile::exists(folder + "/a.record"));
    }
    Instance c(folder, "c");
    c.host.files->files["/p/Long.java"] = original;
    c.host.messageBox->willAnswer(mb::Yes);
    c.recovery->offerOrphans();
    EXPECT_TRUE(c.text1().utf8() == typed);
    EXPECT_TRUE(c.doc().Modified());
}

TEST_F(RecoveryTest, EveryEncodingAndLineEndComesBackExactly)
{
    struct Case {
        TextEncoding encoding;
        bool bom;
    };
    const Case encodings[] = {{TextEncoding::Utf8, false}, {TextEncoding::Utf8, true}, {TextEncoding::Windows1252, false},
                              {TextEncoding::Utf16LE, true}, {TextEncoding::Utf16BE, true}};
    int n = 0;
    for (const Case& c : encodings) {
        for (LineEnd lineEnd : {LineEnd::CRLF, LineEnd::LF, LineEnd::CR}) {
            const FileFormat format{c.encoding, c.bom, lineEnd};
            const QByteArray eol = lineEndBytes(lineEnd);
            const QByteArray disk = encodeFile("class A {" + eol + "// caf\xC3\xA9" + eol + "}" + eol, format).bytes;
            const QString id = QString::number(n++);
            SCOPED_TRACE(id.toStdString());
            QByteArray typed;
            {
                Instance a(folder, "a" + id);
                a.open("/p/A.java", disk);
                ASSERT_EQ(a.doc().Format(), format);
                a.type(9, QStringLiteral(" int \u00e9;"));
                a.recovery->flush();
                typed = a.text1().utf8();
            } // the process dies with its record
            Instance b(folder, "b" + id);
            b.host.files->files.insert("/p/A.java", disk);
            b.host.messageBox->willAnswer(mb::Yes);
            b.recovery->offerOrphans();
            ASSERT_EQ(b.host.messageBox->calls.size(), 1);
            EXPECT_FALSE(b.host.messageBox->calls[0].text.contains("damaged"));
            EXPECT_EQ(b.text1().utf8(), typed);
            EXPECT_EQ(b.doc().Format(), format);
            ASSERT_TRUE(b.doc().Save());
            EXPECT_EQ(b.host.files->files["/p/A.java"], encodeFile(typed, format).bytes);
            b.recovery->finish();
        }
    }
}

TEST_F(RecoveryTest, ATornAppendLosesOnlyItselfAndSaysSo)
{
    QByteArray flushed;
    {
        Instance a(folder, "a");
        a.open("/p/A.java", "class A {\n}\n");
        a.type(9, QStringLiteral(" int x;"));
        a.recovery->flush();
        a.type(0, QStringLiteral("final "));
        a.recovery->flush(); // appended
        flushed = a.text1().utf8();
        a.type(0, QString(20000, u'p')); // a big paste, cut off while it was written
        a.recovery->flush();
    }
    QFile record(folder + "/a.record");
    ASSERT_TRUE(record.open(QIODevice::ReadWrite));
    ASSERT_TRUE(record.resize(record.size() - 12345));
    record.close();

    Instance b(folder, "b");
    b.host.files->files.insert("/p/A.java", "class A {\n}\n");
    b.host.messageBox->willAnswer(mb::Yes);
    b.recovery->offerOrphans();
    ASSERT_EQ(b.host.messageBox->calls.size(), 1);
    EXPECT_TRUE(b.host.messageBox->calls[0].text.contains("The very last changes were being recorded when it ended"));
    EXPECT_EQ(b.text1().utf8(), flushed);
}

TEST_F(RecoveryTest, AStateFolderThatCannotBeWrittenIsToldOnceAndEditingGoesOn)
{
    struct Case {
        const char* name;
        QString folderFault, writeFault;
        bool plainFile = false;
    };
    const Case cases[] = {
        {"a full disk", {}, "No space left on device"},
        {"no free inodes", {}, "No space left on device"},
        {"a read-only file system", "Read-only file system", {}},
        {"a plain file", {}, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString stateFolder = dir.path() + "/tolvane";
        if (c.plainFile) {
            QFile plain(stateFolder);
            ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
        }
        auto* faults = new FaultyRecordStore;
        faults->folderFault = c.folderFault;
        faults->writeFault = c.writeFault;
        Instance a(stateFolder, "a", faults);
        a.open("/p/A.java", "class A {}\n");
        for (const char* typed : {"x", "y"}) {
            a.type(0, QString::fromLatin1(typed));
            a.recovery->flush();
        }
        ASSERT_EQ(a.host.messageBox->calls.size(), 1) << "told once, not at every flush";
        const FakeMessageBox::Call& told = a.host.messageBox->calls[0];
        EXPECT_EQ(told.title, "Unsaved Changes Not Protected");
        EXPECT_TRUE(told.text.contains("not protected against a crash")) << told.text.toStdString();
        const QString reason = c.plainFile ? "Not a directory" : c.writeFault + c.folderFault;
        EXPECT_TRUE(told.text.contains(reason)) << told.text.toStdString();
        EXPECT_EQ(a.text1().utf8(), "yxclass A {}\n");
        ASSERT_TRUE(a.doc().Save());
        EXPECT_EQ(a.host.files->files["/p/A.java"], "yxclass A {}\n");
    }
}

TEST_F(RecoveryTest, AFailedWriteKeepsTheEditsPendingAndAppliesThemOnce)
{
    QByteArray original;
    while (original.size() <= Recovery::WholeTextLimit)
        original += "        System.out.println(\"a line of a long program\");\n";
    QByteArray typed;
    {
        auto* faults = new FaultyRecordStore;
        Instance a(folder, "a", faults);
        a.open("/p/Long.java", original);
        faults->writeFault = "No space left on device";
        a.type(0, QStringLiteral("X"));
        a.recovery->flush();
        ASSERT_EQ(a.host.messageBox->calls.size(), 1);
        faults->writeFault.clear();
        a.type(1, QStringLiteral("Y"));
        a.recovery->flush();
        a.type(2, QStringLiteral("Z"));
        a.recovery->flush(); // appended to the record the last flush wrote
        typed = a.text1().utf8();
        ASSERT_TRUE(typed.startsWith("XYZ        System"));
    }
    Instance b(folder, "b");
    b.host.files->files.insert("/p/Long.java", original);
    b.host.messageBox->willAnswer(mb::Yes);
    b.recovery->offerOrphans();
    EXPECT_TRUE(b.text1().utf8() == typed) << b.text1().utf8().left(20).toStdString();
}

TEST_F(RecoveryTest, TheStoreReportsEveryFailedWriteAndLeavesWhatWasThere)
{
    // A limit on file sizes makes writes fail part-way, the way a full disk does.
    QtRecordStore store;
    store.makeFolder(folder);
    const QString path = folder + "/a.record";
    store.replace(path, "first");
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    struct Case {
        const char* name;
        std::function<void()> write;
    };
    const Case cases[] = {
        {"a rewrite", [&] { store.replace(path, QByteArray(10000, 'r')); }},
        {"an append", [&] { store.append(path, 5, QByteArray(10000, 'a')); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(c.write(), HostError);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), "first");
    }
    store.append(path, 5, " second");
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "first second");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"a.record"}) << "no half-written copy left";

    QFile plain(state.path() + "/plain");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    EXPECT_THROW(store.makeFolder(plain.fileName()), HostError);
    EXPECT_THROW(store.makeFolder(plain.fileName() + "/tolvane"), HostError);
}

TEST_F(RecoveryTest, AReloadAfterAChangeOnDiskIsTheNewBase)
{
    QByteArray original;
    while (original.size() <= Recovery::WholeTextLimit)
        original += "        System.out.println(\"a line of a long program\");\n";
    const QByteArray changed = "// changed by another program\n" + original;
    QByteArray typed;
    {
        Instance a(folder, "a");
        a.open("/p/Long.java", original);
        a.host.files->changeBehind("/p/Long.java", changed, false);
        a.host.fileWatcher->fire();
        ASSERT_TRUE(a.text1().utf8() == changed) << "reloaded, unmodified";
        a.type(0, QStringLiteral("x"));
        a.recovery->flush();
        typed = a.text1().utf8();
    }
    Instance b(folder, "b");
    b.host.files->files.insert("/p/Long.java", changed);
    b.host.messageBox->willAnswer(mb::Yes);
    b.recovery->offerOrphans();
    ASSERT_EQ(b.host.messageBox->calls.size(), 1) << b.host.messageBox->calls.last().text.toStdString();
    EXPECT_TRUE(b.text1().utf8() == typed);
}

TEST_F(RecoveryTest, RecoveredTextIsWatchedAndNeverSilentlyOverwritesAChangedFile)
{
    const QByteArray disk = "class A {\n}\n";
    const auto crashedEdit = [&](const QString& id, const QString& text) {
        Instance a(folder, id);
        a.open("/p/A.java", disk);
        a.type(0, text);
        a.recovery->flush();
    };

    // Unchanged since the crash: recovered quietly, then watched like any open file.
    crashedEdit("a", "// a\n");
    {
        Instance b(folder, "b");
        b.host.files->files.insert("/p/A.java", disk);
        b.host.messageBox->willAnswer(mb::Yes);
        b.recovery->offerOrphans();
        EXPECT_FALSE(b.host.messageBox->calls[0].text.contains("changed or removed by another program"));
        EXPECT_EQ(b.notice, DiskChange::None);
        b.host.files->changeBehind("/p/A.java", "class B {}\n", true);
        b.host.fileWatcher->fire();
        EXPECT_EQ(b.notice, DiskChange::Changed) << "another program's write shows the bar";
        b.host.messageBox->willAnswer(mb::Cancel);
        EXPECT_FALSE(b.doc().Save());
        EXPECT_EQ(b.host.messageBox->calls.last().title, "File Changed on Disk");
        EXPECT_EQ(b.host.files->files["/p/A.java"], "class B {}\n");
        b.recovery->finish();
    }

    // Two instances killed on one file: the first recovered is saved; the second is offered with a
    // word about that, shows the bar, and Save asks before it overwrites.
    crashedEdit("c", "// c\n");
    crashedEdit("d", "// d\n");
    QByteArray savedFirst;
    for (const char* id : {"e", "f"}) {
        Instance e(folder, id);
        e.host.files->files.insert("/p/A.java", savedFirst.isEmpty() ? disk : savedFirst);
        e.host.messageBox->willAnswer(mb::Yes);
        e.recovery->offerOrphans();
        ASSERT_GE(e.host.messageBox->calls.size(), 1);
        const bool second = !savedFirst.isEmpty();
        EXPECT_EQ(e.host.messageBox->calls[0].text.contains("changed or removed by another program since"), second);
        EXPECT_EQ(e.notice, second ? DiskChange::Changed : DiskChange::None);
        const qsizetype asked = e.host.messageBox->calls.size();
        e.host.messageBox->willAnswer(mb::Cancel);
        const bool saved = e.doc().Save();
        EXPECT_EQ(saved, !second);
        EXPECT_EQ(e.host.messageBox->calls.size(), asked + (second ? 1 : 0));
        if (!second)
            savedFirst = e.host.files->files["/p/A.java"];
        else
            EXPECT_EQ(e.host.files->files["/p/A.java"], savedFirst);
    }
}

} // namespace
