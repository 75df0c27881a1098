#include "RecoveryJournal.h"

#include <QDataStream>
#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace Recovery64 {
namespace {
constexpr std::uint64_t P1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t P2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t P3 = 0x165667B19E3779F9ull;

std::uint64_t rotl(std::uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }
std::uint64_t round(std::uint64_t lane, std::uint64_t input) { return rotl(lane + input * P2, 31) * P1; }
std::uint64_t read64(const unsigned char* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return qFromLittleEndian(v);
}
} // namespace

void Hasher::block(const unsigned char* data)
{
    for (int i = 0; i < 4; ++i)
        lanes_[i] = round(lanes_[i], read64(data + 8 * i));
}

void Hasher::add(QByteArrayView bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    qsizetype size = bytes.size();
    total_ += static_cast<std::uint64_t>(size);
    if (pendingSize_ > 0) {
        const auto take = std::min<qsizetype>(32 - pendingSize_, size);
        std::memcpy(pending_ + pendingSize_, data, static_cast<std::size_t>(take));
        pendingSize_ += static_cast<int>(take);
        data += take;
        size -= take;
        if (pendingSize_ < 32)
            return;
        block(pending_);
        pendingSize_ = 0;
    }
    for (; size >= 32; data += 32, size -= 32)
        block(data);
    std::memcpy(pending_, data, static_cast<std::size_t>(size));
    pendingSize_ = static_cast<int>(size);
}

std::uint64_t Hasher::value() const
{
    std::uint64_t h = rotl(lanes_[0], 1) + rotl(lanes_[1], 7) + rotl(lanes_[2], 12) + rotl(lanes_[3], 18);
    h ^= total_ * P3;
    for (int i = 0; i < pendingSize_; ++i)
        h = rotl(h ^ (pending_[i] * P3), 11) * P1;
    h ^= h >> 33;
    h *= P2;
    h ^= h >> 29;
    h *= P3;
    h ^= h >> 32;
    return h;
}

std::uint64_t hash(QByteArrayView bytes)
{
    Hasher hasher;
    hasher.add(bytes);
    return hasher.value();
}
} // namespace Recovery64

PieceText::PieceText(qint64 baseLength) : length_(baseLength)
{
    if (baseLength > 0)
        pieces_.push_back({0, baseLength, {}});
}

PieceText PieceText::fromPieces(std::vector<Piece> pieces)
{
    PieceText text;
    for (const Piece& piece : pieces)
        text.length_ += piece.length;
    text.pieces_ = std::move(pieces);
    return text;
}

qint64 PieceText::literalBytes() const
{
    qint64 bytes = 0;
    for (const Piece& piece : pieces_)
        if (piece.baseOffset < 0)
            bytes += piece.length;
    return bytes;
}

std::size_t PieceText::splitAt(qint64 offset)
{
    qint64 start = 0;
    for (std::size_t i = 0; i < pieces_.size(); ++i) {
        Piece& piece = pieces_[i];
        if (offset == start)
            return i;
        if (offset < start + piece.length) {
            const qint64 head = offset - start;
            Piece tail;
            tail.length = piece.length - head;
            if (piece.baseOffset >= 0) {
                tail.baseOffset = piece.baseOffset + head;
            } else {
                tail.literal = piece.literal.mid(head);
                piece.literal.truncate(head);
            }
            piece.length = head;
            pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::move(tail));
            return i + 1;
        }
        start += piece.length;
    }
    return pieces_.size();
}

bool PieceText::apply(const RecoveryEdit& edit)
{
    if (edit.position < 0 || edit.removed < 0 || edit.position + edit.removed > length_)
        return false;
    // Typing goes on at the end of what was typed last: grow that piece rather than add one.
    if (edit.removed == 0 && !edit.inserted.isEmpty()) {
        qint64 start = 0;
        for (Piece& piece : pieces_) {
            start += piece.length;
            if (start == edit.position && piece.baseOffset < 0) {
                piece.literal += edit.inserted;
                piece.length += edit.inserted.size();
                length_ += edit.inserted.size();
                return true;
            }
            if (start >= edit.position)
                break;
        }
    }
    const std::size_t first = splitAt(edit.position);
    const std::size_t last = splitAt(edit.position + edit.removed);
    pieces_.erase(pieces_.begin() + static_cast<std::ptrdiff_t>(first), pieces_.begin() + static_cast<std::ptrdiff_t>(last));
    if (!edit.inserted.isEmpty())
        pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(first), Piece{-1, edit.inserted.size(), edit.inserted});
    length_ += edit.inserted.size() - edit.removed;
    return true;
}

std::optional<QByteArray> PieceText::materialize(QByteArrayView base) const
{
    QByteArray text;
    text.reserve(length_);
    for (const Piece& piece : pieces_) {
        if (piece.baseOffset < 0) {
            text += piece.literal;
        } else {
            if (piece.baseOffset + piece.length > base.size())
                return std::nullopt;
            text += base.sliced(piece.baseOffset, piece.length);
        }
    }
    return text;
}

namespace RecoveryJournal {
namespace {
constexpr char Magic[] = "TOLVANE RECOVERY";
constexpr quint32 Version = 1;
constexpr qsizetype FrameOverhead = 4 + 8 + 8;

QByteArray frame(const char (&tag)[5], QByteArrayView payload)
{
    QByteArray bytes;
    bytes.reserve(FrameOverhead + payload.size());
    bytes.append(tag, 4);
    const quint64 length = qToLittleEndian(static_cast<quint64>(payload.size()));
    bytes.append(reinterpret_cast<const char*>(&length), 8);
    bytes.append(payload);
    const quint64 sum = qToLittleEndian(Recovery64::hash(bytes));
    bytes.append(reinterpret_cast<const char*>(&sum), 8);
    return bytes;
}

template <typename Write> QByteArray payload(Write write)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    write(out);
    return bytes;
}

void writePiece(QDataStream& out, const PieceText::Piece& piece)
{
    out << piece.baseOffset << piece.length;
    if (piece.baseOffset < 0)
        out << piece.literal;
}

struct Frame {
    QByteArray tag;
    QByteArrayView payload;
};

// True when a whole, sound frame starts at bytes[at].
bool soundFrameAt(QByteArrayView bytes, qsizetype at)
{
    if (bytes.size() - at < FrameOverhead)
        return false;
    quint64 length;
    std::memcpy(&length, bytes.data() + at + 4, 8);
    length = qFromLittleEndian(length);
    if (length > static_cast<quint64>(bytes.size() - at - FrameOverhead))
        return false;
    const auto body = static_cast<qsizetype>(12 + length);
    quint64 sum;
    std::memcpy(&sum, bytes.data() + at + body, 8);
    return qFromLittleEndian(sum) == Recovery64::hash(bytes.sliced(at, body));
}

// True when tail is what an append cut off by a crash leaves: the start of an edit frame that never
// got its end. Only edits are appended; the header and the snapshot are written whole or not at all.
// A sound frame further on means the length was damaged, not cut short.
bool tornTail(QByteArrayView tail)
{
    if (!QByteArrayView("EDIT").startsWith(tail.first(std::min<qsizetype>(4, tail.size()))))
        return false;
    if (tail.size() < 12)
        return true;
    quint64 length;
    std::memcpy(&length, tail.data() + 4, 8);
    if (qFromLittleEndian(length) + FrameOverhead <= static_cast<quint64>(tail.size()))
        return false;
    for (qsizetype at = tail.indexOf(QByteArrayView("EDIT"), 12); at >= 0; at = tail.indexOf(QByteArrayView("EDIT"), at + 1))
        if (soundFrameAt(tail, at))
            return false;
    return true;
}

// The frames of bytes, less a torn last frame or the zeros a power cut leaves where an append had
// reserved its space (torn tells whether there was either); nullopt when any frame is damaged.
std::optional<std::vector<Frame>> split(QByteArrayView bytes, bool& torn)
{
    std::vector<Frame> frames;
    torn = false;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const QByteArrayView rest = bytes.sliced(at);
        if (frames.size() >= 2 && std::all_of(rest.begin(), rest.end(), [](char c) { return c == 0; })) {
            torn = true;
            break;
        }
        quint64 length = 0;
        if (rest.size() >= FrameOverhead) {
            std::memcpy(&length, rest.data() + 4, 8);
            length = qFromLittleEndian(length);
        }
        if (rest.size() < FrameOverhead || length > static_cast<quint64>(rest.size() - FrameOverhead)) {
            if (frames.size() < 2 || !tornTail(rest))
                return std::nullopt;
            torn = true;
            break;
        }
        const auto body = static_cast<qsizetype>(12 + length);
        quint64 sum;
        std::memcpy(&sum, rest.data() + body, 8);
        if (qFromLittleEndian(sum) != Recovery64::hash(rest.first(body)))
            return std::nullopt;
        frames.push_back({rest.first(4).toByteArray(), rest.sliced(12, static_cast<qsizetype>(length))});
        at += body + 8;
    }
    return frames;
}

template <typename Read> bool readPayload(QByteArrayView payload, Read read)
{
    const QByteArray bytes = QByteArray::fromRawData(payload.data(), payload.size());
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    read(in);
    return in.status() == QDataStream::Ok && in.atEnd();
}
} // namespace

QByteArray encodeHeader(const RecoveryHeader& h)
{
    return frame("HEAD", payload([&](QDataStream& out) {
        out.writeRawData(Magic, sizeof Magic - 1);
        out << Version << h.pid << h.bootId << h.processStart << h.writtenAtMs << h.currentFileName << h.displayName
            << h.hasFileName << quint8(h.format.encoding) << h.format.bom << quint8(h.format.lineEnd) << h.basePath
            << h.baseFileSize << h.baseFileMtimeNs << h.baseLength << h.baseHash << h.baseEndedWithLineEnd;
    }));
}

QByteArray encodeWholeTextSnapshot(QByteArrayView text)
{
    QByteArray body;
    body.reserve(text.size() + 1);
    body.append('T');
    body.append(text);
    return frame("SNAP", body);
}

QByteArray encodePiecesSnapshot(const PieceText& text)
{
    return frame("SNAP", QByteArray(1, 'P') + payload([&](QDataStream& out) {
        out << quint64(text.pieces().size());
        for (const PieceText::Piece& piece : text.pieces())
            writePiece(out, piece);
    }));
}

QByteArray encodeEdits(const std::vector<RecoveryEdit>& edits)
{
    return frame("EDIT", payload([&](QDataStream& out) {
        out << quint64(edits.size());
        for (const RecoveryEdit& edit : edits)
            out << edit.position << edit.removed << edit.inserted;
    }));
}

std::optional<RecoveryRecord> decode(QByteArrayView bytes)
{
    bool torn = false;
    const std::optional<std::vector<Frame>> frames = split(bytes, torn);
    if (!frames || frames->size() < 2 || (*frames)[0].tag != "HEAD" || (*frames)[1].tag != "SNAP")
        return std::nullopt;
    RecoveryRecord record;
    record.torn = torn;
    RecoveryHeader& h = record.header;
    bool ok = readPayload((*frames)[0].payload, [&](QDataStream& in) {
        char magic[sizeof Magic - 1];
        quint32 version = 0;
        quint8 encoding = 0, lineEnd = 0;
        if (in.readRawData(magic, sizeof magic) != sizeof magic || std::memcmp(magic, Magic, sizeof magic) != 0) {
            in.setStatus(QDataStream::ReadCorruptData);
            return;
        }
        in >> version;
        if (version != Version) {
            in.setStatus(QDataStream::ReadCorruptData);
            return;
        }
        in >> h.pid >> h.bootId >> h.processStart >> h.writtenAtMs >> h.currentFileName >> h.displayName >> h.hasFileName
            >> encoding >> h.format.bom >> lineEnd >> h.basePath >> h.baseFileSize >> h.baseFileMtimeNs >> h.baseLength
            >> h.baseHash >> h.baseEndedWithLineEnd;
        if (encoding > quint8(TextEncoding::Utf16BE) || lineEnd > quint8(LineEnd::CR))
            in.setStatus(QDataStream::ReadCorruptData);
        h.format.encoding = TextEncoding(encoding);
        h.format.lineEnd = LineEnd(lineEnd);
    });
    const QByteArrayView snap = (*frames)[1].payload;
    if (!ok || snap.isEmpty())
        return std::nullopt;
    if (snap[0] == 'T') {
        record.snapshot.wholeText = true;
        record.snapshot.text = snap.sliced(1).toByteArray();
    } else if (snap[0] == 'P') {
        ok = readPayload(snap.sliced(1), [&](QDataStream& in) {
            quint64 count = 0;
            in >> count;
            for (quint64 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
                PieceText::Piece piece;
                in >> piece.baseOffset >> piece.length;
                if (piece.baseOffset < 0)
                    in >> piece.literal;
                if (piece.length < 0 || (piece.baseOffset < 0 && piece.literal.size() != piece.length))
                    in.setStatus(QDataStream::ReadCorruptData);
                record.snapshot.pieces.push_back(std::move(piece));
            }
        });
        if (!ok)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    for (std::size_t i = 2; i < frames->size(); ++i) {
        if ((*frames)[i].tag != "EDIT")
            return std::nullopt;
        ok = readPayload((*frames)[i].payload, [&](QDataStream& in) {
            quint64 count = 0;
            in >> count;
            for (quint64 n = 0; n < count && in.status() == QDataStream::Ok; ++n) {
                RecoveryEdit edit;
                in >> edit.position >> edit.removed >> edit.inserted;
                record.edits.push_back(std::move(edit));
            }
        });
        if (!ok)
            return std::nullopt;
    }
    return record;
}

bool standsAlone(const RecoveryRecord& record)
{
    return record.snapshot.wholeText || !record.header.hasFileName;
}

std::optional<QByteArray> baseFromFile(const RecoveryHeader& header, const QByteArray& fileText)
{
    const auto matches = [&](QByteArrayView text) {
        return text.size() == header.baseLength && Recovery64::hash(text) == header.baseHash;
    };
    if (matches(fileText))
        return fileText;
    if (!header.baseEndedWithLineEnd) {
        for (const char* end : {"\r\n", "\n", "\r"}) {
            if (fileText.endsWith(end)) {
                const QByteArrayView text = QByteArrayView(fileText).chopped(static_cast<qsizetype>(std::strlen(end)));
                if (matches(text))
                    return text.toByteArray();
            }
        }
    }
    return std::nullopt;
}

std::optional<QByteArray> replay(const RecoveryRecord& record, QByteArrayView base)
{
    QByteArrayView start = base;
    PieceText text;
    if (record.snapshot.wholeText) {
        start = record.snapshot.text;
        text = PieceText(start.size());
    } else {
        text = PieceText::fromPieces(record.snapshot.pieces);
    }
    for (const RecoveryEdit& edit : record.edits)
        if (!text.apply(edit))
            return std::nullopt;
    return text.materialize(start);
}
} // namespace RecoveryJournal
