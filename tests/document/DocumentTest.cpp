#include "app/frmMain.h"
#include "document/Document.h"
#include "editor/EditorControl.h"
#include "support/FakeHost.h"

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace {
const QString JavaFilter = QStringLiteral("Java (*.java)|*.java|All Files (*.*)|*.*");

class DocumentTest : public ::testing::Test {
protected:
    FakeHost host;
    frmMain window{host.services};
    EditorControl& text1 = window.Text1();
    Document& doc = window.document();
    FakeCommonDialog& cd1 = *host.fileDialog;
    FakeMessageBox& messages = *host.messageBox;
    FakeFileStore& files = *host.files;

    void type(const QString& text) { text1.setSelText(text); }

    void openFile(const QString& path, const QByteArray& bytes)
    {
        files.files.insert(path, bytes);
        cd1.willChoose(path);
        window.mnuOpen_Click();
        ASSERT_EQ(window.windowTitle(), "Tolvane 1.0- " + path);
    }

    // Everything a failed command must leave alone.
    struct Snapshot {
        QByteArray text;
        QString name;
        bool hasFileName;
        bool modified;
        QString title;
        QHash<QString, QByteArray> disk;
        friend bool operator==(const Snapshot&, const Snapshot&) = default;
    };
    Snapshot snapshot() const
    {
        return {text1.utf8(), doc.CurrentFileName(), doc.HasFileName(), doc.Modified(), window.windowTitle(), files.files};
    }
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
    EXPECT_TRUE(doc.HasFileName());
    EXPECT_FALSE(doc.Modified());
}

TEST_F(DocumentTest, TheSaveQuestionNamesTheCurrentFile)
{
    struct Case {
        const char* setup;
        QString expected;
    };
    for (const Case& c : {Case{"start", "Would you like to save ?"},
                          Case{"new", "Would you like to save Untitled?"},
                          Case{"open", "Would you like to save /p/A.java?"}}) {
        SCOPED_TRACE(c.setup);
        FakeHost host;
        frmMain window{host.services};
        const QString setup = QString::fromLatin1(c.setup);
        if (setup == "new")
            window.mnuNew_Click();
        if (setup == "open") {
            host.files->files.insert("/p/A.java", "class A {}\r\n");
            host.fileDialog->willChoose(QStringLiteral("/p/A.java"));
            window.mnuOpen_Click();
        }
        window.Text1().setSelText(QStringLiteral("x"));
        host.messageBox->willAnswer(mb::No);
        host.fileDialog->willChoose(std::nullopt);
        window.mnuOpen_Click();
        ASSERT_EQ(host.messageBox->calls.size(), 1);
        EXPECT_EQ(host.messageBox->calls[0].text, c.expected);
        EXPECT_EQ(host.messageBox->calls[0].style, mb::YesNo | mb::Question);
        EXPECT_EQ(host.messageBox->calls[0].title, "Save File?");
    }
}

TEST_F(DocumentTest, OpeningTwiceWithoutEditsAsksNothing)
{
    openFile("/p/A.java", "class A {}\r\n");
    openFile("/p/B.java", "class B {}\r\n");
    EXPECT_TRUE(messages.calls.isEmpty());
    EXPECT_EQ(text1.Text(), "class B {}\r\n");
    EXPECT_FALSE(doc.Modified());
}

TEST_F(DocumentTest, CancellingTheOpenDialogLoadsNothing)
{
    openFile("/p/A.java", "class A {}\r\n");
    type("edited ");
    messages.willAnswer(mb::No);
    files.files.insert("/p/A.java", "changed on disk\r\n");
    cd1.willChoose(std::nullopt);
    const Snapshot before = snapshot();
    window.mnuOpen_Click();
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(text1.Text(), "edited class A {}\r\n");
}

TEST_F(DocumentTest, YesOnAnUntitledDocumentSavesThroughTheDialogThenOpens)
{
    type("class Draft {}");
    files.files.insert("/p/B.java", "class B {}\r\n");
    messages.willAnswer(mb::Yes);
    cd1.willChoose(QStringLiteral("/p/Draft.java"));
    cd1.willChoose(QStringLiteral("/p/B.java"));
    window.mnuOpen_Click();
    ASSERT_EQ(cd1.calls.size(), 2);
    EXPECT_EQ(cd1.calls[0].kind, "save");
    EXPECT_EQ(cd1.calls[1].kind, "open");
    EXPECT_EQ(cd1.calls[1].filter, JavaFilter);
    EXPECT_EQ(files.files.value("/p/Draft.java"), "class Draft {}\r\n");
    EXPECT_EQ(text1.Text(), "class B {}\r\n");
    EXPECT_EQ(doc.CurrentFileName(), "/p/B.java");
    EXPECT_FALSE(doc.Modified());
}

TEST_F(DocumentTest, CancellingTheSaveDialogOfTheQuestionEndsOpenWithNothingChanged)
{
    type("class Draft {}");
    messages.willAnswer(mb::Yes);
    cd1.willChoose(std::nullopt);
    const Snapshot before = snapshot();
    window.mnuOpen_Click();
    EXPECT_EQ(snapshot(), before);
    ASSERT_EQ(cd1.calls.size(), 1);
    EXPECT_EQ(cd1.calls[0].kind, "save");
    EXPECT_TRUE(files.writes.isEmpty());
}

TEST_F(DocumentTest, YesOnADocumentWithAFileSavesItInPlaceThenOpens)
{
    openFile("/p/A.java", "class A {}\r\n");
    type("// note\r\n");
    files.files.insert("/p/B.java", "class B {}\r\n");
    messages.willAnswer(mb::Yes);
    cd1.willChoose(QStringLiteral("/p/B.java"));
    window.mnuOpen_Click();
    EXPECT_EQ(files.files.value("/p/A.java"), "// note\r\nclass A {}\r\n");
    EXPECT_EQ(text1.Text(), "class B {}\r\n");
    EXPECT_EQ(cd1.calls.last().kind, "open");
}

TEST_F(DocumentTest, AFailedSaveBeforeOpenKeepsTheEditsAndOpensNothing)
{
    openFile("/p/A.java", "class A {}\r\n");
    type("// note\r\n");
    files.unwritable.insert("/p/A.java", QStringLiteral("No space left on device"));
    messages.willAnswer(mb::Yes);
    const Snapshot before = snapshot();
    window.mnuOpen_Click();
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(cd1.calls.size(), 1); // only the first Open's dialog
    ASSERT_EQ(messages.calls.size(), 2);
    EXPECT_TRUE(messages.calls[1].text.contains("/p/A.java"));
    EXPECT_TRUE(messages.calls[1].text.contains("No space left on device"));
}

TEST_F(DocumentTest, SaveOfAnOpenedFileWritesInPlaceAndKeepsTheTitle)
{
    openFile("/p/A.java", "class A {}\r\n");
    type("// note\r\n");
    EXPECT_TRUE(doc.Modified());
    window.mnuSave_Click();
    EXPECT_EQ(cd1.calls.size(), 1); // no save dialog
    EXPECT_EQ(files.writes, QStringList{"/p/A.java"});
    EXPECT_EQ(files.files.value("/p/A.java"), "// note\r\nclass A {}\r\n");
    EXPECT_EQ(window.windowTitle(), "Tolvane 1.0- /p/A.java");
    EXPECT_FALSE(doc.Modified());
}

TEST_F(DocumentTest, SaveOfAnUntitledDocumentAsksForAName)
{
    type("class C {}");
    cd1.willChoose(QStringLiteral("/p/C.java"));
    window.mnuSave_Click();
    ASSERT_EQ(cd1.calls.size(), 1);
    EXPECT_EQ(cd1.calls[0].kind, "save");
    EXPECT_EQ(cd1.calls[0].filter, JavaFilter);
    EXPECT_EQ(files.files.value("/p/C.java"), "class C {}\r\n");
    EXPECT_EQ(doc.CurrentFileName(), "/p/C.java");
    EXPECT_TRUE(doc.HasFileName());
    EXPECT_EQ(window.windowTitle(), "Tolvane 1.0- /p/C.java");

    // Cancelling the dialog writes nothing.
    window.mnuNew_Click();
    type("x");
    cd1.willChoose(std::nullopt);
    const Snapshot before = snapshot();
    window.mnuSave_Click();
    EXPECT_EQ(snapshot(), before);
}

TEST_F(DocumentTest, SaveAsAsksEveryTimeAndTheDocumentBecomesThatFileStoredAsBefore)
{
    openFile("/p/L.java", "caf\xE9\n");
    type("x");
    cd1.willChoose(QStringLiteral("/q/M.java"));
    window.findChild<QAction*>("mnuSaveAs")->trigger();
    ASSERT_EQ(cd1.calls.size(), 2);
    EXPECT_EQ(cd1.calls[1].kind, "save");
    EXPECT_EQ(cd1.calls[1].filter, JavaFilter);
    EXPECT_EQ(cd1.calls[1].fileName, "/p/L.java");
    EXPECT_EQ(files.files.value("/q/M.java"), "xcaf\xE9\n"); // Windows-1252, LF line ends
    EXPECT_EQ(files.files.value("/p/L.java"), "caf\xE9\n");
    EXPECT_EQ(window.windowTitle(), "Tolvane 1.0- /q/M.java");
    EXPECT_EQ(doc.CurrentFileName(), "/q/M.java");
    EXPECT_TRUE(doc.HasFileName());
    EXPECT_FALSE(doc.Modified());

    // Save now writes there without asking; Save As asks again, and Cancel changes nothing.
    type("y");
    window.mnuSave_Click();
    EXPECT_EQ(cd1.calls.size(), 2);
    EXPECT_EQ(files.files.value("/q/M.java"), "xycaf\xE9\n");
    type("z");
    cd1.willChoose(std::nullopt);
    const Snapshot before = snapshot();
    window.mnuSaveAs_Click();
    EXPECT_EQ(cd1.calls.size(), 3);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(DocumentTest, ANewFileHasItsNameAndTheFirstSaveCreatesIt)
{
    doc.startNewFile("/p/New.java");
    EXPECT_EQ(window.windowTitle(), "Tolvane 1.0- /p/New.java");
    EXPECT_TRUE(doc.HasFileName());
    EXPECT_FALSE(doc.Modified());
    EXPECT_FALSE(files.files.contains("/p/New.java"));
    type("class New {}");
    window.mnuSave_Click();
    EXPECT_TRUE(cd1.calls.isEmpty());
    EXPECT_EQ(files.files.value("/p/New.java"), "class New {}\r\n");
}

TEST_F(DocumentTest, UndoBackToTheSavedTextIsUnmodified)
{
    openFile("/p/A.java", "class A {}\r\n");
    type("x");
    EXPECT_TRUE(doc.Modified());
    text1.undo();
    EXPECT_FALSE(doc.Modified());
    EXPECT_FALSE(text1.isUndoAvailable()); // the load itself cannot be undone
}

TEST_F(DocumentTest, SavingNeverGrowsTheFile)
{
    struct Case {
        const char* name;
        QByteArray onDisk;
        QByteArray afterSave;
    };
    const Case cases[] = {
        {"empty", "", "\r\n"},
        {"one line end", "\r\n", "\r\n"},
        {"no final line end, CRLF file", "a\r\nb", "a\r\nb\r\n"},
        {"no final line end, LF file", "a\nb", "a\nb\n"},
        {"no final line end, CR file", "a\rb", "a\rb\r"},
        {"final line end", "a\r\nb\r\n", "a\r\nb\r\n"},
        {"final blank lines", "a\n\n\n", "a\n\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        openFile("/p/A.java", c.onDisk);
        type("");
        window.mnuSave_Click();
        EXPECT_EQ(files.files.value("/p/A.java"), c.afterSave);
        // Open and save again: the same bytes.
        openFile("/p/A.java", files.files.value("/p/A.java"));
        window.mnuSave_Click();
        EXPECT_EQ(files.files.value("/p/A.java"), c.afterSave);
    }
}

TEST_F(DocumentTest, AnEmptyNewDocumentSavesAsOneLineEnd)
{
    window.mnuNew_Click();
    cd1.willChoose(QStringLiteral("/p/Empty.java"));
    window.mnuSave_Click();
    EXPECT_EQ(files.files.value("/p/Empty.java"), "\r\n");
}

// Bytes in, bytes out: whatever a file holds comes back unchanged from a load and a save.
TEST_F(DocumentTest, FilesRoundTripByteForByte)
{
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"CRLF", "class A {\r\n\tint x;\r\n}\r\n"},
        {"LF", "class A {\n\tint x;\n}\n"},
        {"CR", "class A {\r\tint x;\r}\r"},
        {"mixed", "a\r\nb\nc\rd\r\n\n\r"},
        {"NUL bytes", QByteArray("a\0b\0\0c\r\n\0\r\n", 11)},
        {"invalid UTF-8 (Windows-1252)", "caf\xE9 \x80 \x81\x8D\x8F\x90\x9D \xFF\xFE\r\n"},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" "caf\xC3\xA9 \xE2\x82\xAC\r\n"},
        {"UTF-8 without BOM", "caf\xC3\xA9 \xF0\x9F\x98\x80\n"},
        {"BOM only, then text without line end", "\xEF\xBB\xBF\r\n"},
        {"truncated UTF-8 sequence", "abc\xE2\x82\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        openFile("/p/A.java", c.bytes);
        // An edit and its undo: the save must not depend on the text never having been touched.
        type("z");
        text1.undo();
        window.mnuSave_Click();
        EXPECT_EQ(files.files.value("/p/A.java").toHex(' '), c.bytes.toHex(' '));
    }
}

TEST_F(DocumentTest, Windows1252FilesShowTheirCharacters)
{
    openFile("/p/A.java", "// caf\xE9 \x80\x81\r\n");
    EXPECT_EQ(text1.Text(), QString::fromUtf8("// caf\xC3\xA9 \xE2\x82\xAC") + QChar(0x81) + "\r\n");
    EXPECT_EQ(doc.Format().encoding, TextEncoding::Windows1252);
}

TEST_F(DocumentTest, NulCharactersSurviveEditing)
{
    openFile("/p/A.java", QByteArray("a\0b\r\n", 5));
    text1.setSelStart(3);
    type("c");
    EXPECT_EQ(text1.Text(), QString("a") + QChar(0) + "bc\r\n");
    window.mnuSave_Click();
    EXPECT_EQ(files.files.value("/p/A.java"), QByteArray("a\0bc\r\n", 6));
}

TEST_F(DocumentTest, EnterTypesTheDocumentsLineEnd)
{
    struct Case {
        const char* name;
        QByteArray file; // empty: a new document
        QByteArray lineEnd;
    };
    const Case cases[] = {
        {"new document", {}, "\r\n"},
        {"LF file", "a\nb\nc\r\n", "\n"},
        {"CRLF file", "a\r\nb\r\nc\n", "\r\n"},
        {"CR file", "a\rb\r", "\r"},
        {"file without line ends", "a", "\r\n"},
    };
    window.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.file.isEmpty())
            window.mnuNew_Click();
        else
            openFile("/p/A.java", c.file);
        const QByteArray before = text1.utf8();
        text1.findChild<QsciScintilla*>()->SendScintilla(QsciScintilla::SCI_DOCUMENTEND);
        QTest::keyClick(&text1, Qt::Key_Return);
        EXPECT_EQ(text1.utf8(), before + c.lineEnd);
    }
}

TEST_F(DocumentTest, CharactersTheFileEncodingCannotHoldAreNeverDroppedSilently)
{
    openFile("/p/A.java", "caf\xE9\r\n");
    text1.setSelStart(0);
    type(QString::fromUtf8("\xC5\x82")); // ł, not in Windows-1252

    messages.willAnswer(mb::No);
    const Snapshot before = snapshot();
    window.mnuSave_Click();
    EXPECT_EQ(snapshot(), before);
    ASSERT_EQ(messages.calls.size(), 1);
    EXPECT_TRUE(messages.calls[0].text.contains("UTF-8"));
    EXPECT_TRUE(messages.calls[0].text.contains(QString::fromUtf8("\xC5\x82")));

    messages.willAnswer(mb::Yes);
    window.mnuSave_Click();
    EXPECT_EQ(files.files.value("/p/A.java"), "\xC5\x82" "caf\xC3\xA9\r\n");
    EXPECT_EQ(doc.Format().encoding, TextEncoding::Utf8);
    EXPECT_FALSE(doc.Modified());
}

TEST_F(DocumentTest, AFileThatCannotBeReadChangesNothing)
{
    openFile("/p/A.java", "class A {}\r\n");
    type("edit ");
    files.unreadable.insert("/p/Locked.java", QStringLiteral("Permission denied"));
    struct Case {
        QString path;
        QString reason;
    };
    for (const Case& c : {Case{"/p/Missing.java", "No such file or directory"},
                          Case{"/p/Locked.java", "Permission denied"}}) {
        SCOPED_TRACE(c.path.toStdString());
        messages.calls.clear();
        messages.willAnswer(mb::No);
        cd1.willChoose(c.path);
        const Snapshot before = snapshot();
        window.mnuOpen_Click();
        EXPECT_EQ(snapshot(), before);
        ASSERT_EQ(messages.calls.size(), 2);
        EXPECT_TRUE(messages.calls[1].text.contains(c.path));
        EXPECT_TRUE(messages.calls[1].text.contains(c.reason));
    }
}

TEST_F(DocumentTest, AFileThatCannotBeWrittenChangesNothing)
{
    // An opened file.
    openFile("/p/A.java", "class A {}\r\n");
    type("edit ");
    files.unwritable.insert("/p/A.java", QStringLiteral("No space left on device"));
    Snapshot before = snapshot();
    window.mnuSave_Click();
    EXPECT_EQ(snapshot(), before);
    ASSERT_EQ(messages.calls.size(), 1);
    EXPECT_TRUE(messages.calls[0].text.contains("/p/A.java"));
    EXPECT_TRUE(messages.calls[0].text.contains("No space left on device"));

    // A new file chosen in the save dialog.
    window.mnuNew_Click(); // Cancel is what the fake answers to the question
    messages.willAnswer(mb::No);
    window.mnuNew_Click();
    type("class B {}");
    files.unwritable.insert("/ro/B.java", QStringLiteral("Read-only file system"));
    cd1.willChoose(QStringLiteral("/ro/B.java"));
    before = snapshot();
    window.mnuSave_Click();
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(doc.CurrentFileName(), "Untitled");
    EXPECT_FALSE(doc.HasFileName());
}

// The guard on leaving modified text: New, Exit and the close box.
class LeaveGuardTest : public DocumentTest {
protected:
    enum class Way { New, Exit, CloseBox };
};

TEST_F(LeaveGuardTest, AsksOnlyWhenThereAreUnsavedChanges)
{
    for (Way way : {Way::New, Way::Exit, Way::CloseBox}) {
        FakeHost host;
        frmMain window{host.services};
        host.files->files.insert("/p/A.java", "class A {}\r\n");
        host.fileDialog->willChoose(QStringLiteral("/p/A.java"));
        window.mnuOpen_Click();
        window.show();
        if (way == Way::New)
            window.mnuNew_Click();
        else if (way == Way::Exit)
            window.mnuExit_Click();
        else
            window.close();
        EXPECT_TRUE(host.messageBox->calls.isEmpty());
    }
}

TEST_F(LeaveGuardTest, YesNoAndCancel)
{
    struct Case {
        const char* name;
        int answer;
        bool hasFile;
        std::optional<QString> saveDialog; // for an untitled document
        bool unwritable;
        bool goesAhead;
        bool saved;
    };
    const Case cases[] = {
        {"Cancel", mb::Cancel, true, {}, false, false, false},
        {"No", mb::No, true, {}, false, true, false},
        {"Yes, file", mb::Yes, true, {}, false, true, true},
        {"Yes, untitled, named", mb::Yes, false, QStringLiteral("/p/A.java"), false, true, true},
        {"Yes, untitled, dialog cancelled", mb::Yes, false, std::nullopt, false, false, false},
        {"Yes, save fails", mb::Yes, true, {}, true, false, false},
    };
    for (Way way : {Way::New, Way::Exit, Way::CloseBox}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " / way " + std::to_string(int(way)));
            FakeHost host;
            frmMain window{host.services};
            if (c.hasFile) {
                host.files->files.insert("/p/A.java", "class A {}\r\n");
                host.fileDialog->willChoose(QStringLiteral("/p/A.java"));
                window.mnuOpen_Click();
            }
            window.Text1().setSelText(QStringLiteral("edit "));
            if (!c.hasFile)
                host.fileDialog->willChoose(c.saveDialog);
            if (c.unwritable)
                host.files->unwritable.insert("/p/A.java", QStringLiteral("No space left on device"));
            host.messageBox->willAnswer(c.answer);
            const QByteArray before = window.Text1().utf8();

            bool wentAhead = false;
            switch (way) {
            case Way::New:
                window.mnuNew_Click();
                wentAhead = window.Text1().utf8().isEmpty();
                break;
            case Way::Exit:
                window.show();
                window.mnuExit_Click();
                wentAhead = !window.isVisible();
                break;
            case Way::CloseBox: {
                QCloseEvent event;
                QCoreApplication::sendEvent(&window, &event);
                wentAhead = event.isAccepted();
                break;
            }
            }

            ASSERT_GE(host.messageBox->calls.size(), 1);
            const auto& question = host.messageBox->calls[0];
            EXPECT_EQ(question.text, "Would you like to save " + QString(c.hasFile ? "/p/A.java" : "") + "?");
            EXPECT_EQ(question.style, mb::YesNoCancel | mb::Question);
            EXPECT_EQ(wentAhead, c.goesAhead);
            EXPECT_EQ(host.files->files.value("/p/A.java") == "edit class A {}\r\n" ||
                          host.files->files.value("/p/A.java") == "edit \r\n",
                      c.saved);
            if (!c.goesAhead) {
                EXPECT_EQ(window.Text1().utf8(), before);
                EXPECT_TRUE(window.document().Modified());
            }
        }
    }
}

TEST_F(DocumentTest, NewStartsAnEmptyUntitledDocument)
{
    openFile("/p/A.java", "a\nb\n");
    window.mnuNew_Click();
    EXPECT_EQ(text1.utf8(), "");
    EXPECT_EQ(cd1.FileName, "");
    EXPECT_EQ(doc.CurrentFileName(), "Untitled");
    EXPECT_EQ(window.windowTitle(), "Tolvane 1.0- Untitled");
    EXPECT_FALSE(doc.HasFileName());
    EXPECT_FALSE(doc.Modified());
    EXPECT_EQ(doc.Format(), FileFormat());
    // After New, cancelling the open dialog loads nothing.
    cd1.willChoose(std::nullopt);
    window.mnuOpen_Click();
    EXPECT_EQ(text1.utf8(), "");
}
} // namespace
