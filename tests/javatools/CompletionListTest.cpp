#include "javatools/CompletionList.h"

#include <gtest/gtest.h>

using namespace ServiceFraming;
using Kind = CompletionCandidate::Kind;

namespace {
QStringList labels(const QList<CompletionCandidate>& list)
{
    QStringList out;
    for (const CompletionCandidate& c : list)
        out << CompletionList::label(c);
    return out;
}
} // namespace

TEST(CompletionList, PrefixMatchesFirstThenByKindThenByName)
{
    const QList<CompletionCandidate> all{
        {Kind::Type, QStringLiteral("Count"), QStringLiteral("p"), false},
        {Kind::Keyword, QStringLiteral("continue"), QString(), false},
        {Kind::Method, QStringLiteral("count"), QStringLiteral("(int n) : int"), true},
        {Kind::Method, QStringLiteral("count"), QStringLiteral("() : int"), false},
        {Kind::Local, QStringLiteral("counter"), QStringLiteral("int"), false},
        {Kind::Field, QStringLiteral("account"), QStringLiteral("long"), false},
        {Kind::Field, QStringLiteral("other"), QStringLiteral("long"), false},
        {Kind::Local, QStringLiteral("counter"), QStringLiteral("int"), false}, // shown once
    };
    EXPECT_EQ(labels(CompletionList::rank(all, u"co")),
              (QStringList{QStringLiteral("counter : int"), QStringLiteral("count() : int"), QStringLiteral("count(int n) : int"),
                           QStringLiteral("continue"), QStringLiteral("Count - p"), QStringLiteral("account : long")}));
    EXPECT_EQ(CompletionList::rank(all, u"").size(), 7);
    EXPECT_TRUE(CompletionList::rank(all, u"zz").isEmpty());
}

TEST(CompletionList, ChosenNameIsInsertedWithWhatItNeeds)
{
    const CompletionCandidate length{Kind::Method, QStringLiteral("length"), QStringLiteral("() : int"), false};
    const CompletionCandidate charAt{Kind::Method, QStringLiteral("charAt"), QStringLiteral("(int) : char"), true};
    const CompletionCandidate field{Kind::Field, QStringLiteral("out"), QStringLiteral("PrintStream"), false};
    const struct {
        CompletionCandidate candidate;
        QString after;
        QString text;
        qsizetype caret;
        bool opensCall;
    } cases[] = {
        {length, QString(), QStringLiteral("length()"), 8, false},
        {charAt, QStringLiteral(";"), QStringLiteral("charAt()"), 7, true},
        {charAt, QStringLiteral(" (1)"), QStringLiteral("charAt"), 6, false}, // the arguments are there
        {field, QString(), QStringLiteral("out"), 3, false},
    };
    for (const auto& c : cases) {
        const CompletionList::Insertion got = CompletionList::insertion(c.candidate, c.after);
        EXPECT_EQ(got.text, c.text);
        EXPECT_EQ(got.caret, c.caret) << c.text.toStdString();
        EXPECT_EQ(got.opensCall, c.opensCall) << c.text.toStdString();
    }
}

TEST(CompletionList, HintHighlightsTheArgumentInTheFirstOverloadThatHasIt)
{
    const QList<CompletionSignature> substring{{QStringLiteral("substring"), {QStringLiteral("int"), QStringLiteral("int")}},
                                               {QStringLiteral("substring"), {QStringLiteral("int")}}};
    const struct {
        QList<CompletionSignature> signatures;
        int argument;
        QString text;
        QString highlighted;
    } cases[] = {
        {substring, 0, QStringLiteral("substring(int)\nsubstring(int, int)"), QStringLiteral("int")},
        {substring, 1, QStringLiteral("substring(int)\nsubstring(int, int)"), QStringLiteral("int")},
        {substring, 2, QStringLiteral("substring(int)\nsubstring(int, int)"), QString()},
        {{{QStringLiteral("printf"), {QStringLiteral("String format"), QStringLiteral("Object... args")}}}, 3,
         QStringLiteral("printf(String format, Object... args)"), QStringLiteral("Object... args")},
    };
    for (const auto& c : cases) {
        const CompletionList::Hint got = CompletionList::hint(c.signatures, c.argument);
        EXPECT_EQ(got.text, c.text);
        EXPECT_EQ(got.text.mid(got.highlightFrom, got.highlightTo - got.highlightFrom), c.highlighted) << c.argument;
    }
    // The second argument is in the second line.
    const CompletionList::Hint second = CompletionList::hint(substring, 1);
    EXPECT_EQ(second.highlightFrom, QStringLiteral("substring(int)\nsubstring(int, ").size());
}
