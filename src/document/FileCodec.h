#pragma once

#include <QByteArray>
#include <QString>

// How a document file stores its text. Bytes in, bytes out: a file that is loaded and saved again
// without edits is written back byte for byte (but for the one line end a file without a final
// line end gains).

enum class TextEncoding { Utf8, Windows1252, Utf16LE, Utf16BE };
enum class LineEnd { CRLF, LF, CR };

struct FileFormat {
    TextEncoding encoding = TextEncoding::Utf8;
    bool bom = false;            // a byte order mark at the start of the file (always there for UTF-16)
    LineEnd lineEnd = LineEnd::CRLF; // what Enter types, and what a save appends when the text has no final line end
    friend bool operator==(const FileFormat&, const FileFormat&) = default;
};

struct DecodedFile {
    QByteArray utf8; // the text as the editor holds it (UTF-8, NULs kept, no BOM)
    FileFormat format;
};

struct EncodedFile {
    QByteArray bytes;
    // Characters the encoding cannot hold (they were written as '?' in bytes): 0 when the save is exact.
    qsizetype unmappable = 0;
    QString firstUnmappable; // the first such character, to name it to the user
};

// The files that a file of more bytes than this is refused with a message.
constexpr qint64 MaxDocumentBytes = qint64(768) * 1024 * 1024;

QByteArray lineEndBytes(LineEnd lineEnd);

bool isValidUtf8(const char* data, qsizetype size);

// The line end that occurs most often in text (CRLF wins ties over LF, LF over CR); fallback when
// the text has none.
LineEnd dominantLineEnd(const QByteArray& text, LineEnd fallback);

// A UTF-16 byte order mark (FF FE little endian, FE FF big endian) followed by well-formed UTF-16
// (whole code units, every surrogate paired) is UTF-16. Otherwise valid UTF-8 (with or without BOM)
// is UTF-8, and anything else Windows-1252, its five unassigned bytes 81 8D 8F 90 9D kept as the
// code points U+0081 U+008D U+008F U+0090 U+009D. Every file comes back byte for byte from
// encodeFile, whichever it is.
DecodedFile decodeFile(const QByteArray& bytes);

// The file bytes for the editor's UTF-8 text. One line end (format.lineEnd) is appended when the
// text does not already end with CR or LF; an empty text becomes one line end. In UTF-16 the line
// end is written in UTF-16 too, as every other character.
EncodedFile encodeFile(const QByteArray& utf8, const FileFormat& format);
