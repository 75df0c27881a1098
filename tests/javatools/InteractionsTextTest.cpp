// The Interactions pane's messages, transcript texts and history, without a Java service.
#include "javatools/InteractionsProtocol.h"
#include "javatools/InteractionsText.h"

#include <QDataStream>

#include <gtest/gtest.h>

using namespace InteractionsProtocol;

namespace {
// Builds a service message field by field, as the service writes it.
struct Bytes {
    QByteArray data;
    Bytes& u8(int v)
    {
        data.append(char(v));
        return *this;
    }
    Bytes& u32(quint32 v)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            data.append(char(v >> shift));
        return *this;
    }
    Bytes& str(const QByteArray& utf8)
    {
        u32(quint32(utf8.size()));
        data.append(utf8);
        return *this;
    }
    Bytes& item(int kind, const QByteArray& name, const QByteArray& value, const QByteArray& type,
                const QByteArray& message, qint32 start = -1, qint32 end = -1)
    {
        return u8(kind).str(name).str(value).str(type).str(message).u32(quint32(start)).u32(quint32(end));
    }
};
} // namespace

TEST(InteractionsProtocol, ReadsEveryMessageTheServiceSends)
{
    const auto evaluated = decodeMessage(Bytes()
                                             .u8('R').u32(7).u8(1).u32(3)
                                             .item(0, "", "3", "int", "")
                                             .item(1, "method f()", "", "", "")
                                             .item(2, "", "", "", "illegal start of expression", 8, 8)
                                             .data,
                                         9);
    ASSERT_TRUE(evaluated);
    EXPECT_EQ(evaluated->type, Message::Type::Evaluated);
    EXPECT_EQ(evaluated->id, 7u);
    EXPECT_TRUE(evaluated->complete);
    EXPECT_EQ(evaluated->items,
              (QList<Item>{{ItemKind::Value, "", "3", "int", "", -1, -1},
                           {ItemKind::Declared, "method f()", "", "", "", -1, -1},
                           {ItemKind::Error, "", "", "", "illegal start of expression", 8, 8}}));

    const auto unfinished = decodeMessage(Bytes().u8('R').u32(8).u8(0).u32(0).data, 10);
    ASSERT_TRUE(unfinished);
    EXPECT_FALSE(unfinished->complete);

    const auto printed = decodeMessage(Bytes().u8('O').u8(1).data + "caf\xc3", 0);
    ASSERT_TRUE(printed);
    EXPECT_TRUE(printed->isError);
    EXPECT_EQ(printed->bytes, QByteArray("caf\xc3")) << "a character cut in two is joined by the reader, not here";

    const auto ready = decodeMessage(Bytes().u8('H').u32(2).str("").data, 0);
    ASSERT_TRUE(ready);
    EXPECT_EQ(ready->type, Message::Type::Ready);
    EXPECT_EQ(ready->id, 2u);
    EXPECT_EQ(decodeMessage(Bytes().u8('I').data, 0)->type, Message::Type::InputWanted);
    EXPECT_EQ(decodeMessage(Bytes().u8('X').str("ended").data, 0)->note, "ended");
}

TEST(InteractionsProtocol, RefusesWhatIsNoMessage)
{
    const struct {
        const char* why;
        QByteArray payload;
    } cases[] = {
        {"empty", {}},
        {"unknown type", Bytes().u8('Z').data},
        {"id cut short", Bytes().u8('H').u8(0).data},
        {"bytes left over", Bytes().u8('H').u32(1).str("").u8(0).data},
        {"unknown channel", Bytes().u8('O').u8(2).data},
        {"unknown kind", Bytes().u8('R').u32(1).u8(1).u32(1).item(9, "", "", "", "").data},
        {"more items than bytes", Bytes().u8('R').u32(1).u8(1).u32(1000000).data},
        {"string longer than the message", Bytes().u8('X').u32(100).data},
        {"text not UTF-8", Bytes().u8('X').str("\xff\xfe").data},
        {"range past the source", Bytes().u8('R').u32(1).u8(1).u32(1).item(2, "", "", "", "e", 2, 6).data},
        {"range backwards", Bytes().u8('R').u32(1).u8(1).u32(1).item(2, "", "", "", "e", 3, 2).data},
        {"range negative", Bytes().u8('R').u32(1).u8(1).u32(1).item(2, "", "", "", "e", -2, 1).data},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(decodeMessage(c.payload, 5)) << c.why;
}

TEST(InteractionsProtocol, RequestsCarryTheirFieldsInOrder)
{
    EXPECT_EQ(encodeNewSession(3, "/a", "import a.*;"), Bytes().u8('N').u32(3).str("/a").str("import a.*;").data);
    EXPECT_EQ(encodeEvaluate(4, true, "7/2"), Bytes().u8('E').u32(4).u8(1).str("7/2").data);
    EXPECT_EQ(encodeInput("é\n"), QByteArray("T\xc3\xa9\n"));
    EXPECT_EQ(encodeStop(), QByteArray("S"));
}

TEST(InteractionsText, TellsEachKindOfAnswer)
{
    const struct {
        Item item;
        QString source;
        QString shown;
    } cases[] = {
        {{ItemKind::Value, "", "3", "int", "", -1, -1}, "7/2", "3 (int)"},
        {{ItemKind::Value, "k", "20", "int", "", -1, -1}, "int k = 20;", "k = 20 (int)"},
        {{ItemKind::Value, "", "\"abc\"", "String", "", -1, -1}, "\"abc\"", "\"abc\" (String)"},
        {{ItemKind::Declared, "method twice(int)", "", "", "", -1, -1}, "", "method twice(int) declared"},
        {{ItemKind::Declared, "class A", "", "", "it cannot be used until B is declared", -1, -1}, "",
         "class A declared, but it cannot be used until B is declared"},
        {{ItemKind::Declared, "import java.util.*", "", "", "", -1, -1}, "", "imported java.util.*"},
        {{ItemKind::Error, "", "", "", "illegal start of expression", 8, 8}, "int x = ;",
         "error: illegal start of expression\nint x = ;\n        ^"},
        {{ItemKind::Error, "", "", "", "cannot find symbol", -1, -1}, "x", "error: cannot find symbol"},
        {{ItemKind::Exception, "", "", "", "java.lang.ArithmeticException: / by zero\n    at (#1:1)", -1, -1}, "1/0",
         "exception java.lang.ArithmeticException: / by zero\n    at (#1:1)"},
        {{ItemKind::Note, "", "", "", "The session ended.", -1, -1}, "", "The session ended."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InteractionsText::describe(c.item, c.source), c.shown) << c.source.toStdString();
}

TEST(InteractionsText, MarksThePartTheCompilerMeansOnItsOwnLine)
{
    const struct {
        QString source;
        qsizetype start, end;
        QString marked;
    } cases[] = {
        {"x + y", 4, 5, "x + y\n    ^"},
        {"foo(bar)", 0, 8, "foo(bar)\n^~~~~~~~"},
        {"int a;\n\tint b = q;", 16, 17, "\tint b = q;\n\t        ^"},
        {"if (a) {\r\n  b\r\n}", 9, 20, "if (a) {\n         ^"}, // a range over several lines is marked to its line's end
        {"ab", 2, 2, "ab\n  ^"}, // at the very end: what is missing
        {"ab", 7, 9, "ab\n  ^"},  // past the end: kept inside
    };
    for (const auto& c : cases)
        EXPECT_EQ(InteractionsText::markedLine(c.source, c.start, c.end), c.marked) << c.source.toStdString();
}

TEST(InteractionsHistory, UpAndDownWalkTheEntriesAndComeBackToTheLineBeingTyped)
{
    InteractionsHistory history;
    EXPECT_FALSE(history.older("x"));
    for (const char* entry : {"7/2", "int k = 20;", "   ", "int k = 20;", "k + 22"})
        history.add(QString::fromUtf8(entry));
    EXPECT_EQ(history.entries(), (QStringList{"7/2", "int k = 20;", "k + 22"})) << "no blanks, no repeats in a row";

    EXPECT_EQ(history.older("k *"), "k + 22");
    EXPECT_EQ(history.older("ignored"), "int k = 20;");
    EXPECT_EQ(history.older("ignored"), "7/2");
    EXPECT_FALSE(history.older("ignored")) << "the oldest stays";
    EXPECT_EQ(history.newer(), "int k = 20;");
    EXPECT_EQ(history.newer(), "k + 22");
    EXPECT_EQ(history.newer(), "k *") << "what was being typed comes back";
    EXPECT_FALSE(history.newer());

    for (int i = 0; i < InteractionsHistory::MaxEntries + 10; ++i)
        history.add(QString::number(i));
    EXPECT_EQ(history.entries().size(), InteractionsHistory::MaxEntries);
    EXPECT_EQ(history.entries().last(), QString::number(InteractionsHistory::MaxEntries + 9));
}

TEST(InteractionsHistory, SurvivesSavingWhateverWasTyped)
{
    InteractionsHistory history;
    const QStringList entries = {"a\\nb", "void f() {\n}", "\"\\\\\"", "x\r\ny", "é ∑ 😀", "trailing\\"};
    for (const QString& entry : entries)
        history.add(entry);
    EXPECT_EQ(InteractionsHistory::load(history.save()).entries(), entries);
    EXPECT_TRUE(InteractionsHistory::load("").entries().isEmpty());
    EXPECT_EQ(InteractionsHistory::load("a\nb\n\n").entries(), (QStringList{"a", "b"}));
}
