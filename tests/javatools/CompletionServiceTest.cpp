// Completion and parameter hints against the real compile service (the JDK's compiler), and in the
// main window as a user types.
#include "app/frmMain.h"
#include "editor/EditorControl.h"
#include "javatools/CheckWhileTyping.h"
#include "javatools/CodeCompletion.h"
#include "javatools/CompileService.h"
#include "javatools/CompilerOutputPanel.h"
#include "javatools/JavaLookup.h"
#include "javatools/JavaTools.h"
#include "support/FakeHost.h"

#include <QAction>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace ServiceFraming;

namespace {
constexpr int StartMs = 120000;

QStringList realService()
{
    const QStringList command = checkServiceCommand();
    EXPECT_FALSE(command.isEmpty()) << "no JDK or no service jar (scripts/install-deps: default-jdk-headless)";
    return command;
}

// The source with its '|' taken out as the caret.
CompletionRequest requestFor(const QString& marked, CompletionRequest::What what)
{
    static quint32 id = 0;
    CompletionRequest request;
    request.id = ++id;
    request.path = QStringLiteral("Untitled");
    request.source = marked;
    request.caret = marked.indexOf(u'|');
    request.source.remove(request.caret, 1);
    request.what = what;
    return request;
}

std::optional<CompletionReply> ask(CompileService& service, const CompletionRequest& request)
{
    QSignalSpy spy(&service, &CompileService::completed);
    if (!service.complete(request) || !spy.wait(StartMs))
        return std::nullopt;
    return spy.takeFirst().first().value<CompletionReply>();
}

QStringList names(const CompletionReply& reply)
{
    QStringList out;
    for (const CompletionCandidate& c : reply.candidates)
        out << c.name;
    return out;
}

const QString Class = QStringLiteral(R"(import java.util.*;
public class Hello {
    private int count;
    static int total;
    static class Inner { void innerWork() { } }
    private static String greet(String who) { return "hi " + who; }
    void work(int param) {
        String s = "abc";
        List<String> names = new ArrayList<>();
        int[] numbers = {1, 2};
        %1
        int after = 1;
    }
    static void statics() {
        int onlyHere = 2;
        %2
    }
}
)");
} // namespace

Q_DECLARE_METATYPE(ServiceFraming::CompletionReply)

TEST(Completion, ServiceOffersWhatCanStandAtTheCaret)
{
    qRegisterMetaType<CompletionReply>();
    const struct {
        const char* what;
        QString source;
        QStringList must;
        QStringList mustNot;
    } cases[] = {
        {"a String's members, inherited ones too", Class.arg(QStringLiteral("s.len|"), QString()),
         {QStringLiteral("length"), QStringLiteral("charAt"), QStringLiteral("hashCode"), QStringLiteral("getClass")},
         {QStringLiteral("valueOf"), QStringLiteral("s"), QStringLiteral("finalize"), QStringLiteral("clone")}},
        {"after a bare dot, with code on the next line", Class.arg(QStringLiteral("names.|"), QString()),
         {QStringLiteral("add"), QStringLiteral("size"), QStringLiteral("iterator")}, {QStringLiteral("param")}},
        {"an array", Class.arg(QStringLiteral("numbers.|"), QString()), {QStringLiteral("length"), QStringLiteral("clone")},
         {QStringLiteral("size")}},
        {"a chain through a field", Class.arg(QStringLiteral("System.out.pri|"), QString()),
         {QStringLiteral("println"), QStringLiteral("printf")}, {QStringLiteral("out")}},
        {"a type name gives its static members", Class.arg(QStringLiteral("Math.|"), QString()),
         {QStringLiteral("max"), QStringLiteral("PI"), QStringLiteral("class")}, {QStringLiteral("getClass")}},
        {"inside an argument list", Class.arg(QStringLiteral("greet(s.toUpp|)"), QString()),
         {QStringLiteral("toUpperCase")}, {}},
        {"a name alone: locals, parameters, members, types, keywords", Class.arg(QStringLiteral("|"), QString()),
         {QStringLiteral("s"), QStringLiteral("param"), QStringLiteral("count"), QStringLiteral("total"),
          QStringLiteral("greet"), QStringLiteral("work"), QStringLiteral("Inner"), QStringLiteral("Hello"),
          QStringLiteral("String"), QStringLiteral("ArrayList"), QStringLiteral("for"), QStringLiteral("return")},
         {QStringLiteral("onlyHere"), QStringLiteral("after"), QStringLiteral("public"), QStringLiteral("StringLatin1")}},
        {"a static method sees no instance members", Class.arg(QString(), QStringLiteral("to|")),
         {QStringLiteral("onlyHere"), QStringLiteral("total"), QStringLiteral("greet"), QStringLiteral("statics")},
         {QStringLiteral("count"), QStringLiteral("work"), QStringLiteral("s")}},
        {"after new: the types that can be made", Class.arg(QStringLiteral("Object o = new Arr|"), QString()),
         {QStringLiteral("ArrayList"), QStringLiteral("StringBuilder"), QStringLiteral("Inner"), QStringLiteral("Runnable")},
         {QStringLiteral("Math"), QStringLiteral("System"), QStringLiteral("s"), QStringLiteral("for")}},
        {"a class body offers modifiers and types", QStringLiteral("public class A {\n    pri|\n}\n"),
         {QStringLiteral("private"), QStringLiteral("String"), QStringLiteral("int")}, {QStringLiteral("return")}},
        {"nothing in a comment", Class.arg(QStringLiteral("// s.|"), QString()), {}, {QStringLiteral("length")}},
        {"nothing in a block comment", Class.arg(QStringLiteral("/* s.| */"), QString()), {}, {QStringLiteral("length")}},
        {"nothing in a string", Class.arg(QStringLiteral("String t = \"s.|\";"), QString()), {}, {QStringLiteral("length")}},
        {"a string before the caret is no obstacle", Class.arg(QStringLiteral("String t = \"a//b\" + s.len|"), QString()),
         {QStringLiteral("length")}, {}},
        {"packages after a package's name, and its types", Class.arg(QStringLiteral("java.util.|"), QString()),
         {QStringLiteral("concurrent"), QStringLiteral("function"), QStringLiteral("List")},
         {QStringLiteral("util"), QStringLiteral("internal"), QStringLiteral("length")}},
        {"packages in an import, the JDK's exported ones only", QStringLiteral("import java.|\nclass A { }\n"),
         {QStringLiteral("util"), QStringLiteral("io"), QStringLiteral("lang")}, {QStringLiteral("internal")}},
        {"the first part of a package's name in an import", QStringLiteral("import ja|\nclass A { }\n"),
         {QStringLiteral("java"), QStringLiteral("javax")}, {QStringLiteral("jdk.internal")}},
        {"a variable hides a package of its name", QStringLiteral("class A { String java; void f() { java.|\n } }"),
         {QStringLiteral("length")}, {QStringLiteral("util")}},
        {"errors elsewhere do not matter", QStringLiteral("public class A {\n  int x = ;\n  void f() { String s = \"\"; s.len| }\n  void g( {\n}\n"),
         {QStringLiteral("length")}, {}},
    };
    CompileService service(realService());
    for (const auto& c : cases) {
        const std::optional<CompletionReply> reply = ask(service, requestFor(c.source, CompletionRequest::What::Names));
        ASSERT_TRUE(reply) << c.what;
        const QStringList offered = names(*reply);
        for (const QString& name : c.must)
            EXPECT_TRUE(offered.contains(name)) << c.what << ": no " << name.toStdString();
        for (const QString& name : c.mustNot)
            EXPECT_FALSE(offered.contains(name)) << c.what << ": " << name.toStdString() << " offered";
    }
    EXPECT_EQ(service.starts(), 1);
}

TEST(Completion, ServiceOffersThePackagesOfTheProgramsSourceFolder)
{
    qRegisterMetaType<CompletionReply>();
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("org/algo/sorts")));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("org/algo/utils")));
    CompletionRequest request = requestFor(QStringLiteral("import org.algo.|\nclass A { }\n"), CompletionRequest::What::Names);
    request.path = dir.filePath(QStringLiteral("A.java"));
    request.folder = dir.path();
    CompileService service(realService());
    const std::optional<CompletionReply> reply = ask(service, request);
    ASSERT_TRUE(reply);
    EXPECT_EQ(names(*reply), (QStringList{QStringLiteral("sorts"), QStringLiteral("utils")}));
    EXPECT_EQ(reply->candidates.value(0).kind, CompletionCandidate::Kind::Package);
}

TEST(Completion, ServiceGivesTheOverloadsOfTheCallAtTheCaret)
{
    const struct {
        const char* what;
        QString source;
        int signatures; // -1: not in a call
        int argument;
        QString firstParameter;
    } cases[] = {
        {"first argument", Class.arg(QStringLiteral("s.substring(|"), QString()), 2, 0, QStringLiteral("int")},
        {"second argument", Class.arg(QStringLiteral("s.substring(1, |"), QString()), 2, 1, QStringLiteral("int")},
        {"nested call: the inner one", Class.arg(QStringLiteral("greet(s.charAt(|)"), QString()), 1, 0, QStringLiteral("int")},
        {"own method with its parameter names", Class.arg(QStringLiteral("greet(|"), QString()), 1, 0,
         QStringLiteral("String who")},
        {"constructor", Class.arg(QStringLiteral("new StringBuilder(|"), QString()), 4, 0, QString()},
        {"a comma in a string is no argument", Class.arg(QStringLiteral("greet(\"a,b\" + |"), QString()), 1, 0,
         QStringLiteral("String who")},
        {"not in a call", Class.arg(QStringLiteral("if (s != null) |"), QString()), -1, 0, QString()},
    };
    CompileService service(realService());
    for (const auto& c : cases) {
        const std::optional<CompletionReply> reply = ask(service, requestFor(c.source, CompletionRequest::What::Parameters));
        ASSERT_TRUE(reply) << c.what;
        if (c.signatures < 0) {
            EXPECT_EQ(reply->callStart, -1) << c.what;
            continue;
        }
        EXPECT_EQ(reply->signatures.size(), c.signatures) << c.what;
        EXPECT_EQ(reply->argument, c.argument) << c.what;
        EXPECT_GE(reply->callStart, 0) << c.what;
        if (!c.firstParameter.isEmpty() && !reply->signatures.isEmpty()) {
            EXPECT_EQ(reply->signatures.first().parameters.value(0), c.firstParameter) << c.what;
        }
    }
}

// The user's story: s.len, Ctrl+Space, and the name is completed with its parentheses.
TEST(Completion, CtrlSpaceCompletesTheOnlyNameThatFits)
{
    FakeHost host;
    const QStringList command = realService();
    host.services.checkServiceCommand = [command] { return command; };
    frmMain window(host.services);
    window.show();
    window.activateWindow(); // the keys go through the window's shortcuts
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EditorControl& editor = window.Text1();
    CodeCompletion& completion = window.javaTools().completion();
    EXPECT_TRUE(completion.automaticAction()->isChecked());
    const QString before = QStringLiteral("public class A {\n    void f() {\n        String s = \"\";\n        s.len");
    const QString after = QStringLiteral("\n    }\n}\n");
    editor.setText(before + after);
    editor.setCaretOffset(before.size());
    editor.setFocus();

    QSignalSpy answered(&completion, &CodeCompletion::answered);
    QTest::keyClick(&editor, Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.Text() == before.chopped(3) + QStringLiteral("length()") + after; }, StartMs))
        << editor.Text().toStdString();
    EXPECT_EQ(editor.caretOffset(), before.size() - 3 + 8); // length() takes nothing: after the parentheses

    // A dot typed: the list comes by itself after the pause, and narrows as the name is typed.
    QSignalSpy listed(&completion, &CodeCompletion::listShown);
    QTest::keyClicks(&editor, QStringLiteral("; s.su"));
    ASSERT_TRUE(listed.wait(StartMs));
    ASSERT_FALSE(completion.shownCandidates().isEmpty());
    EXPECT_TRUE(completion.shownCandidates().first().name.startsWith(QStringLiteral("su")));
    EXPECT_TRUE(editor.listShown());
    // Enter at once after a letter, before anything else has run (a fast typist, a busy machine): the
    // list is narrowed first, and Enter takes its first. A method with arguments leaves the caret
    // inside, and the hint follows.
    QSignalSpy hinted(&completion, &CodeCompletion::hintShown);
    QTest::keyClick(&editor, Qt::Key_B);
    QTest::keyClick(&editor, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.Text().contains(QStringLiteral("s.length(); s.subSequence()")); }))
        << editor.Text().toStdString();
    EXPECT_EQ(editor.textBetween(editor.caretOffset(), editor.caretOffset() + 1), QStringLiteral(")"));
    ASSERT_TRUE(hinted.wait(StartMs));
    EXPECT_EQ(hinted.first().first().toString(), QStringLiteral("subSequence(int, int)"));
    EXPECT_TRUE(editor.tipShown());
}

TEST(Completion, NoAutomaticListWhenSwitchedOffAndStaleAnswersAreDropped)
{
    FakeHost host;
    const QStringList command = realService();
    host.services.checkServiceCommand = [command] { return command; };
    frmMain window(host.services);
    window.show();
    window.activateWindow(); // the keys go through the window's shortcuts
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EditorControl& editor = window.Text1();
    CodeCompletion& completion = window.javaTools().completion();
    const QString before = QStringLiteral("public class A {\n    void f(String s) {\n        s");
    editor.setText(before + QStringLiteral("\n    }\n}\n"));
    editor.setCaretOffset(before.size());
    editor.setFocus();

    completion.automaticAction()->setChecked(false);
    QSignalSpy answered(&completion, &CodeCompletion::answered);
    QTest::keyClick(&editor, Qt::Key_Period);
    QTest::qWait(3 * CodeCompletion::PauseMs);
    EXPECT_EQ(answered.size(), 0);

    // The text changes while the service works: that answer is never shown; the question is asked
    // again for the text as it is (the name is still being typed).
    QSignalSpy listed(&completion, &CodeCompletion::listShown);
    completion.mnuComplete_Click();
    QTest::keyClick(&editor, Qt::Key_T);
    QTest::keyClick(&editor, Qt::Key_R);
    ASSERT_TRUE(QTest::qWaitFor([&] { return listed.size() == 1 || editor.Text().contains(QStringLiteral("s.trim()")); }, StartMs))
        << editor.Text().toStdString();
    EXPECT_GE(answered.size(), 2);
    for (const CompletionCandidate& c : completion.shownCandidates())
        EXPECT_TRUE(c.name.contains(QStringLiteral("tr"), Qt::CaseInsensitive)) << c.name.toStdString();
}

// The control's popups need a screen under the caret: a window not on screen shows no list (and
// does not crash the control).
TEST(Completion, HiddenWindowShowsNoList)
{
    FakeHost host;
    const QStringList command = realService();
    host.services.checkServiceCommand = [command] { return command; };
    frmMain window(host.services);
    EditorControl& editor = window.Text1();
    CodeCompletion& completion = window.javaTools().completion();
    const QString before = QStringLiteral("public class A {\n    void f(String s) {\n        s.");
    editor.setText(before + QStringLiteral("\n    }\n}\n"));
    editor.setCaretOffset(before.size());
    QSignalSpy answered(&completion, &CodeCompletion::answered);
    completion.mnuComplete_Click();
    ASSERT_TRUE(answered.wait(StartMs));
    EXPECT_FALSE(answered.first().first().value<CompletionReply>().candidates.isEmpty());
    EXPECT_FALSE(editor.listShown());
    EXPECT_TRUE(completion.shownCandidates().isEmpty());
}
