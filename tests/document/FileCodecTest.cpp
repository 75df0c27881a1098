#include "document/FileCodec.h"

#include <gtest/gtest.h>

namespace {
TEST(FileCodecTest, RecognisesTheEncodingAndTheLineEnd)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        TextEncoding encoding;
        bool bom;
        LineEnd lineEnd;
        QByteArray utf8;
    };
    const Case cases[] = {
        {"empty", "", TextEncoding::Utf8, false, LineEnd::CRLF, ""},
        {"ASCII, LF", "a\nb\n", TextEncoding::Utf8, false, LineEnd::LF, "a\nb\n"},
        {"CR", "a\rb\r", TextEncoding::Utf8, false, LineEnd::CR, "a\rb\r"},
        {"mostly LF", "a\r\nb\nc\nd\r", TextEncoding::Utf8, false, LineEnd::LF, "a\r\nb\nc\nd\r"},
        {"CRLF wins a tie", "a\r\nb\n", TextEncoding::Utf8, false, LineEnd::CRLF, "a\r\nb\n"},
        {"LF wins a tie with CR", "a\rb\n", TextEncoding::Utf8, false, LineEnd::LF, "a\rb\n"},
        {"CR at the very end", "a\r", TextEncoding::Utf8, false, LineEnd::CR, "a\r"},
        {"BOM", "\xEF\xBB\xBFx\r\n", TextEncoding::Utf8, true, LineEnd::CRLF, "x\r\n"},
        {"BOM alone", "\xEF\xBB\xBF", TextEncoding::Utf8, true, LineEnd::CRLF, ""},
        {"Windows-1252", "caf\xE9", TextEncoding::Windows1252, false, LineEnd::CRLF, "caf\xC3\xA9"},
        {"unassigned bytes keep their numbers", "\x81\x8D\x8F\x90\x9D", TextEncoding::Windows1252, false, LineEnd::CRLF,
         "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
        {"euro and quotes", "\x80\x93\x94", TextEncoding::Windows1252, false, LineEnd::CRLF,
         "\xE2\x82\xAC\xE2\x80\x9C\xE2\x80\x9D"},
        {"overlong UTF-8 is not UTF-8", "\xC0\xAF", TextEncoding::Windows1252, false, LineEnd::CRLF, "\xC3\x80\xC2\xAF"},
        {"UTF-16 surrogates are not UTF-8", "\xED\xA0\x80", TextEncoding::Windows1252, false, LineEnd::CRLF,
         "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
        {"NUL is ASCII", QByteArray("a\0b", 3), TextEncoding::Utf8, false, LineEnd::CRLF, QByteArray("a\0b", 3)},
        {"UTF-16LE", QByteArray("\xFF\xFEx\0\xE9\0\n\0=\xD8\0\xDE\n\0", 14), TextEncoding::Utf16LE, true, LineEnd::LF,
         "x\xC3\xA9\n\xF0\x9F\x98\x80\n"},
        {"UTF-16BE", QByteArray("\xFE\xFF\0x\0\r\0\n\0\0", 10), TextEncoding::Utf16BE, true, LineEnd::CRLF,
         QByteArray("x\r\n\0", 4)},
        {"UTF-16 mark alone", "\xFF\xFE", TextEncoding::Utf16LE, true, LineEnd::CRLF, ""},
        {"odd length is not UTF-16", "\xFF\xFEx", TextEncoding::Windows1252, false, LineEnd::CRLF, "\xC3\xBF\xC3\xBEx"},
        {"a lone surrogate is not UTF-16", QByteArray("\xFE\xFF\xDC\0", 4), TextEncoding::Windows1252, false,
         LineEnd::CRLF, QByteArray("\xC3\xBE\xC3\xBF\xC3\x9C\0", 7)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedFile decoded = decodeFile(c.bytes);
        EXPECT_EQ(decoded.format.encoding, c.encoding);
        EXPECT_EQ(decoded.format.bom, c.bom);
        EXPECT_EQ(decoded.format.lineEnd, c.lineEnd);
        EXPECT_EQ(decoded.utf8.toHex(' '), c.utf8.toHex(' '));
    }
}

// Every byte value, in every position a scan might treat differently (the 8-byte ASCII skip):
// decoding and encoding again gives the bytes back.
TEST(FileCodecTest, EveryByteSurvivesADecodeAndAnEncode)
{
    for (int offset = 0; offset < 9; ++offset) {
        QByteArray bytes(offset, 'a');
        for (int i = 0; i < 256; ++i)
            bytes.append(char(i));
        bytes.append("\r\n");
        SCOPED_TRACE(offset);
        const DecodedFile decoded = decodeFile(bytes);
        EXPECT_EQ(decoded.format.encoding, TextEncoding::Windows1252);
        const EncodedFile encoded = encodeFile(decoded.utf8, decoded.format);
        EXPECT_EQ(encoded.unmappable, 0);
        EXPECT_EQ(encoded.bytes, bytes);
    }
}

TEST(FileCodecTest, AFinalLineEndIsAddedOnlyWhenMissing)
{
    struct Case {
        QByteArray utf8;
        LineEnd lineEnd;
        QByteArray bytes;
    };
    for (const Case& c : {Case{"", LineEnd::CRLF, "\r\n"}, Case{"", LineEnd::LF, "\n"}, Case{"a", LineEnd::CR, "a\r"},
                          Case{"a\n", LineEnd::CRLF, "a\n"}, Case{"a\r", LineEnd::LF, "a\r"},
                          Case{QByteArray("a\0", 2), LineEnd::CRLF, QByteArray("a\0\r\n", 4)}}) {
        SCOPED_TRACE(c.utf8.toHex().toStdString());
        FileFormat format;
        format.lineEnd = c.lineEnd;
        EXPECT_EQ(encodeFile(c.utf8, format).bytes, c.bytes);
    }
    FileFormat bom;
    bom.bom = true;
    EXPECT_EQ(encodeFile("", bom).bytes, "\xEF\xBB\xBF\r\n");
}

// The line end a save appends is a UTF-16 one, and characters outside the first plane go back as pairs.
TEST(FileCodecTest, Utf16IsWrittenAsItWasRead)
{
    struct Case {
        QByteArray bytes;
        QByteArray withZ; // after typing "z" at the end, then saving
    };
    const Case cases[] = {
        {QByteArray("\xFF\xFEx\0\xE9\0=\xD8\0\xDE\n\0", 12), QByteArray("\xFF\xFEx\0\xE9\0=\xD8\0\xDE\n\0z\0\n\0", 16)},
        {QByteArray("\xFE\xFF\0x\0\r\0\n", 8), QByteArray("\xFE\xFF\0x\0\r\0\n\0z\0\r\0\n", 14)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.toHex().toStdString());
        const DecodedFile decoded = decodeFile(c.bytes);
        EXPECT_EQ(encodeFile(decoded.utf8, decoded.format).bytes.toHex(' '), c.bytes.toHex(' '));
        EXPECT_EQ(encodeFile(decoded.utf8 + "z", decoded.format).bytes.toHex(' '), c.withZ.toHex(' '));
    }
}

TEST(FileCodecTest, CountsWhatWindows1252CannotHold)
{
    FileFormat format;
    format.encoding = TextEncoding::Windows1252;
    const EncodedFile encoded = encodeFile("\xE2\x82\xAC \xC5\x82 \xF0\x9F\x98\x80\r\n", format); // € ł 😀
    EXPECT_EQ(encoded.unmappable, 2);
    EXPECT_EQ(encoded.firstUnmappable, QString::fromUtf8("\xC5\x82"));
    EXPECT_EQ(encoded.bytes.left(1), "\x80");
}

// The line-end scan works on blocks of bytes; pairs split between blocks, long runs and short tails
// must count as a plain byte-by-byte scan counts them.
TEST(FileCodecTest, DominantLineEndAgreesWithAByteByByteCount)
{
    const auto reference = [](const QByteArray& text) {
        qsizetype crlf = 0, lf = 0, cr = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++crlf;
                ++i;
            } else if (text[i] == '\r') {
                ++cr;
            } else if (text[i] == '\n') {
                ++lf;
            }
        }
        if (crlf == 0 && lf == 0 && cr == 0)
            return LineEnd::LF; // the fallback passed below
        if (crlf >= lf && crlf >= cr)
            return LineEnd::CRLF;
        return lf >= cr ? LineEnd::LF : LineEnd::CR;
    };
    quint32 seed = 12345;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    for (int round = 0; round < 400; ++round) {
        // Sizes around the 16-byte blocks and past the 255-block batches.
        const int size = round < 100 ? round : int(next() % 9000);
        QByteArray text(size, 'x');
        const int density = 2 + int(next() % 40);
        for (int i = 0; i < size; ++i) {
            const unsigned r = next() % unsigned(density);
            text[i] = r == 0 ? '\r' : r == 1 ? '\n' : char('a' + r % 26);
        }
        SCOPED_TRACE(text.toHex().toStdString());
        ASSERT_EQ(dominantLineEnd(text, LineEnd::LF), reference(text));
    }
    // Long uniform files, where a lane counter would overflow if it were not emptied in time.
    for (const QByteArray& line : {QByteArray("ab\r\n"), QByteArray("a\n"), QByteArray("\r")}) {
        const QByteArray text = line.repeated(100003);
        EXPECT_EQ(dominantLineEnd(text, LineEnd::LF), reference(text));
    }
    const QByteArray mixed = QByteArray("\r\n").repeated(70001) + QByteArray("\n").repeated(70000) +
                             QByteArray("\r").repeated(70002);
    EXPECT_EQ(dominantLineEnd(mixed, LineEnd::LF), LineEnd::CR);
}

TEST(FileCodecTest, ValidUtf8AcrossTheFastPath)
{
    // A multi-byte character split across the 8-byte blocks, or cut off at the end.
    const QByteArray euro("\xE2\x82\xAC");
    for (int offset = 0; offset < 10; ++offset) {
        SCOPED_TRACE(offset);
        const QByteArray good = QByteArray(offset, 'a') + euro + QByteArray(9, 'b');
        EXPECT_TRUE(isValidUtf8(good.constData(), good.size()));
        const QByteArray cut = QByteArray(offset, 'a') + euro.left(2);
        EXPECT_FALSE(isValidUtf8(cut.constData(), cut.size()));
    }
}
} // namespace
