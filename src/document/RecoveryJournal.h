#pragma once

#include "FileCodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// The on-disk form of a recovery record and the arithmetic that rebuilds a text from it. No files,
// no widgets: bytes in, bytes out.
//
// A record is a run of frames, each closed by a checksum of its own bytes:
//   header    who wrote it, which document, and the base the edits start from;
//   snapshot  the text at the last compaction: either the whole text, or the text as ranges of the
//             base plus the bytes typed between them;
//   edits...  one frame per flush, appended: insertions and deletions in UTF-8 byte positions, each
//             against the text the edits before it left.
// One bad or missing byte anywhere makes the whole record unusable: it is never replayed in part. The
// one exception is an edit frame cut off at the end of the record, which is what a crash in the middle
// of an append leaves: the record is then the one the appends before it made.

namespace Recovery64 {
// A fast 64-bit checksum, fed in pieces: the same bytes give the same value however they are split.
class Hasher {
public:
    void add(QByteArrayView bytes);
    std::uint64_t value() const;

private:
    void block(const unsigned char* data);
    std::uint64_t lanes_[4] = {0x9E3779B185EBCA87ull, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull, 0x27D4EB2F165667C5ull};
    unsigned char pending_[32] = {};
    int pendingSize_ = 0;
    std::uint64_t total_ = 0;
};
std::uint64_t hash(QByteArrayView bytes);
} // namespace Recovery64

struct RecoveryEdit {
    qint64 position = 0;
    qint64 removed = 0;  // bytes deleted at position
    QByteArray inserted; // bytes inserted at position, after the deletion
    friend bool operator==(const RecoveryEdit&, const RecoveryEdit&) = default;
};

// A text as ranges of a base text and literal bytes, changed edit by edit without touching the base:
// the cost of an edit follows the number of places edited, not the length of the text.
class PieceText {
public:
    struct Piece {
        qint64 baseOffset = -1; // -1: the bytes are in literal
        qint64 length = 0;
        QByteArray literal;
        friend bool operator==(const Piece&, const Piece&) = default;
    };

    explicit PieceText(qint64 baseLength = 0);
    static PieceText fromPieces(std::vector<Piece> pieces);

    // False (and nothing changed) when the edit does not fit the text.
    bool apply(const RecoveryEdit& edit);
    qint64 length() const { return length_; }
    qint64 literalBytes() const;
    const std::vector<Piece>& pieces() const { return pieces_; }
    // The text, given the base; nullopt when a piece reaches past the base's end.
    std::optional<QByteArray> materialize(QByteArrayView base) const;

private:
    // Splits the piece holding offset so that a piece starts there; returns that piece's index.
    std::size_t splitAt(qint64 offset);
    std::vector<Piece> pieces_;
    qint64 length_ = 0;
};

struct RecoveryHeader {
    // The instance that wrote the record.
    qint64 pid = 0;
    QString bootId;
    quint64 processStart = 0;
    qint64 writtenAtMs = 0; // when the record was last compacted (ms since the epoch)

    QString currentFileName;
    QString displayName;
    bool hasFileName = false;
    FileFormat format;

    // The base: the text as last loaded or saved. For a document without a file it is empty.
    QString basePath;
    qint64 baseFileSize = -1;
    qint64 baseFileMtimeNs = -1;
    qint64 baseLength = 0;     // bytes of the editor's text
    quint64 baseHash = 0;      // Recovery64::hash of the editor's text
    bool baseEndedWithLineEnd = true; // false: the file holds one line end more than the text
    friend bool operator==(const RecoveryHeader&, const RecoveryHeader&) = default;
};

struct RecoverySnapshot {
    bool wholeText = false; // true: text holds the whole text; false: pieces over the base
    QByteArray text;
    std::vector<PieceText::Piece> pieces;
};

struct RecoveryRecord {
    RecoveryHeader header;
    RecoverySnapshot snapshot;
    std::vector<RecoveryEdit> edits;
    bool torn = false; // the last edits were being appended when the writer ended: they are not here
};

namespace RecoveryJournal {
// Frames, to be written one after the other: header + snapshot start a record, edit batches follow.
QByteArray encodeHeader(const RecoveryHeader& header);
QByteArray encodeWholeTextSnapshot(QByteArrayView text);
QByteArray encodePiecesSnapshot(const PieceText& text);
QByteArray encodeEdits(const std::vector<RecoveryEdit>& edits);

// The record, or nullopt when any frame is missing, short, out of order or fails its checksum (but
// for a torn last edit frame, left out).
std::optional<RecoveryRecord> decode(QByteArrayView bytes);

// True when the record can be rebuilt without the base (its snapshot holds the whole text).
bool standsAlone(const RecoveryRecord& record);

// The base as the file holds it: its decoded text, less the one line end a save appended. Nullopt
// when fileText is not the base the record was made against.
std::optional<QByteArray> baseFromFile(const RecoveryHeader& header, const QByteArray& fileText);

// The text the record describes. base is used only for a pieces snapshot; nullopt when the edits do
// not fit the text (a record that does not belong to that base).
std::optional<QByteArray> replay(const RecoveryRecord& record, QByteArrayView base);
} // namespace RecoveryJournal
