#include "javatools/ServiceFraming.h"

#include <gtest/gtest.h>

using namespace ServiceFraming;

namespace {
QByteArray u32(quint32 v)
{
    return QByteArray(1, char(v >> 24)) + char(v >> 16) + char(v >> 8) + char(v);
}

QByteArray str(const QByteArray& utf8)
{
    return u32(quint32(utf8.size())) + utf8;
}

QByteArray diagnostic(char kind, qint32 start, qint32 end, qint32 line, const QByteArray& message)
{
    return QByteArray(1, kind) + u32(quint32(start)) + u32(quint32(end)) + u32(quint32(line)) + str(message);
}

QByteArray reply(quint32 id, quint32 count, const QByteArray& body)
{
    return QByteArray(1, 'D') + u32(id) + u32(count) + body;
}
} // namespace

TEST(ServiceFraming, ReaderCutsMessagesHoweverTheBytesArrive)
{
    const QByteArray stream = frame("one") + frame("") + frame(QByteArray(1000, 'x'));
    for (const qsizetype chunk : {qsizetype(1), qsizetype(3), stream.size()}) {
        FrameReader reader;
        QList<QByteArray> messages;
        for (qsizetype at = 0; at < stream.size(); at += chunk) {
            reader.append(stream.mid(at, chunk));
            QByteArray payload;
            while (reader.next(payload) == FrameReader::Status::Message)
                messages << payload;
        }
        EXPECT_EQ(messages, (QList<QByteArray>{"one", "", QByteArray(1000, 'x')})) << "chunks of " << chunk;
        EXPECT_EQ(reader.pending(), 0);
    }
}

TEST(ServiceFraming, TruncatedMessageStaysPendingAndOversizedIsRefused)
{
    FrameReader reader(100);
    QByteArray payload;
    reader.append(frame("whole").left(7));
    EXPECT_EQ(reader.next(payload), FrameReader::Status::Incomplete);
    EXPECT_EQ(reader.pending(), 7); // what a service that ends here leaves: a truncated reply

    FrameReader small(100);
    small.append(u32(101) + QByteArray(101, 'x'));
    EXPECT_EQ(small.next(payload), FrameReader::Status::Oversized);
    FrameReader huge; // a length that would make the reader wait for gigabytes
    huge.append(u32(0xFFFFFFFFu));
    EXPECT_EQ(huge.next(payload), FrameReader::Status::Oversized);
}

TEST(ServiceFraming, RequestLayout)
{
    const QByteArray bytes = encodeCheckRequest({7, QStringLiteral("/p/Ä.java"), QStringLiteral("/p"), QStringLiteral("class Ä {}"), {}});
    EXPECT_EQ(bytes, QByteArray("C") + u32(7) + str("/p/\xc3\x84.java") + str("/p") + str("class \xc3\x84 {}") + str(""));
    const QByteArray misplaced =
        encodeCheckRequest({8, QStringLiteral("/q/A.java"), QStringLiteral("/q"), QStringLiteral("package a;"), QStringLiteral("a")});
    EXPECT_TRUE(misplaced.endsWith(str("package a;") + str("a")));
}

TEST(ServiceFraming, ACheckThatCouldNotRunIsAFailureNotAnEmptyList)
{
    const auto failed = decodeCheckReply(QByteArray("F") + u32(5) + str("StackOverflowError"), 100);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->id, 5u);
    EXPECT_TRUE(failed->failed);
    EXPECT_EQ(failed->failure, "StackOverflowError");
    EXPECT_TRUE(failed->diagnostics.isEmpty());
    EXPECT_FALSE(decodeCheckReply(reply(4, 0, {}), 0)->failed);
    // Cut short or with bytes left over, it is a broken service like any other bad reply.
    EXPECT_FALSE(decodeCheckReply(QByteArray("F") + u32(5), 100));
    EXPECT_FALSE(decodeCheckReply(QByteArray("F") + u32(5) + str("x") + "!", 100));
}

TEST(ServiceFraming, ReplyIsDecodedWithItsRanges)
{
    const auto decoded = decodeCheckReply(
        reply(3, 2, diagnostic(0, 4, 9, 1, "';' expected") + diagnostic(1, 10, 10, 2, "d\xc3\xa9precated")), 10);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->id, 3u);
    EXPECT_EQ(decoded->diagnostics, (QList<CheckDiagnostic>{{true, 4, 9, 1, QStringLiteral("';' expected")},
                                                            {false, 10, 10, 2, QStringLiteral("déprecated")}}));
    EXPECT_TRUE(decodeCheckReply(reply(4, 0, {}), 0));
}

TEST(ServiceFraming, MalformedRepliesAreRejected)
{
    const QByteArray good = diagnostic(0, 1, 2, 1, "m");
    const struct {
        const char* what;
        QByteArray payload;
    } cases[] = {
        {"empty", {}},
        {"a request echoed back", encodeCheckRequest({1, "a", "", "b", {}})},
        {"cut inside the header", reply(1, 1, good).left(6)},
        {"cut inside a diagnostic", reply(1, 1, good).chopped(1)},
        {"more diagnostics counted than sent", reply(1, 2, good)},
        {"a count that would not fit", reply(1, 0xFFFFFFFFu, good)},
        {"bytes left over", reply(1, 1, good) + "x"},
        {"unknown kind", reply(1, 1, diagnostic(2, 1, 2, 1, "m"))},
        {"negative start", reply(1, 1, diagnostic(0, -1, 2, 1, "m"))},
        {"start after end", reply(1, 1, diagnostic(0, 3, 2, 1, "m"))},
        {"end past the source", reply(1, 1, diagnostic(0, 1, 11, 1, "m"))},
        {"line 0", reply(1, 1, diagnostic(0, 1, 2, 0, "m"))},
        {"message length past the end", reply(1, 1, QByteArray(1, 0) + u32(1) + u32(2) + u32(1) + u32(100) + "m")},
        {"message not UTF-8", reply(1, 1, diagnostic(0, 1, 2, 1, "\xff\xfe"))},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(decodeCheckReply(c.payload, 10)) << c.what;
}

TEST(ServiceFraming, CompletionReplyIsReadOnlyWhenWellFormed)
{
    const QByteArray candidate = QByteArray(1, 2) + str("length") + str("() : int") + QByteArray(1, 0);
    const QByteArray signature = str("substring") + u32(2) + str("int") + str("int");
    const auto completion = [&](qint32 wordStart, quint32 count, const QByteArray& candidates, qint32 callStart,
                                const QByteArray& tail) {
        return QByteArray(1, 'L') + u32(7) + u32(quint32(wordStart)) + u32(count) + candidates + u32(quint32(callStart))
            + u32(1) + tail;
    };
    const QByteArray good = completion(10, 1, candidate, 5, u32(1) + signature);
    const std::optional<CompletionReply> read = decodeCompletionReply(good, 20, 12);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->id, 7u);
    EXPECT_EQ(read->wordStart, 10);
    EXPECT_EQ(read->candidates, (QList<CompletionCandidate>{{CompletionCandidate::Kind::Method, "length", "() : int", false}}));
    EXPECT_EQ(read->callStart, 5);
    EXPECT_EQ(read->argument, 1);
    EXPECT_EQ(read->signatures, (QList<CompletionSignature>{{"substring", {"int", "int"}}}));

    const struct {
        const char* what;
        QByteArray payload;
    } bad[] = {
        {"a check reply", reply(7, 0, {})},
        {"cut short", good.chopped(1)},
        {"bytes left over", good + 'x'},
        {"word after the caret", completion(13, 1, candidate, 5, u32(0))},
        {"call after the caret", completion(10, 1, candidate, 12, u32(0))},
        {"unknown kind", completion(10, 1, QByteArray(1, 9) + candidate.mid(1), 5, u32(0))},
        {"empty name", completion(10, 1, QByteArray(1, 2) + str("") + str("") + QByteArray(1, 0), 5, u32(0))},
        {"more candidates than bytes", completion(10, 1000000, candidate, 5, u32(0))},
    };
    for (const auto& c : bad)
        EXPECT_FALSE(decodeCompletionReply(c.payload, 20, 12)) << c.what;
}
