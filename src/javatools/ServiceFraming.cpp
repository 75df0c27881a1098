#include "ServiceFraming.h"

#include <QStringDecoder>

namespace ServiceFraming {
namespace {
constexpr char RequestType = 'C';
constexpr char ReplyType = 'D';
constexpr char FailureType = 'F'; // the compiler failed on the text: its errors are unknown
constexpr qsizetype DiagnosticHeader = 1 + 4 + 4 + 4 + 4;
constexpr char CompletionRequestType = 'K';
constexpr char CompletionReplyType = 'L';
constexpr qsizetype CandidateHeader = 1 + 4 + 4 + 1;

void putU32(QByteArray& out, quint32 value)
{
    out.append(char(value >> 24)).append(char(value >> 16)).append(char(value >> 8)).append(char(value));
}

void putString(QByteArray& out, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    putU32(out, quint32(utf8.size()));
    out.append(utf8);
}

quint32 u32At(const QByteArray& bytes, qsizetype at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData() + at);
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

// Reads fields front to back; any read past the end makes it fail for good.
class Cursor {
public:
    explicit Cursor(const QByteArray& bytes) : bytes_(bytes) {}
    bool ok() const { return ok_; }
    bool atEnd() const { return at_ == bytes_.size(); }
    qsizetype left() const { return bytes_.size() - at_; }

    quint8 u8()
    {
        if (!take(1))
            return 0;
        return quint8(bytes_[at_ - 1]);
    }
    quint32 u32()
    {
        if (!take(4))
            return 0;
        return u32At(bytes_, at_ - 4);
    }
    qint32 s32() { return qint32(u32()); }
    QString string()
    {
        const quint32 length = u32();
        if (!ok_ || length > quint32(left()) || !take(length))
            return fail();
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = decoder.decode(QByteArrayView(bytes_).sliced(at_ - length, length));
        if (decoder.hasError())
            return fail();
        return text;
    }

private:
    bool take(qsizetype count)
    {
        if (!ok_ || count > left())
            return ok_ = false;
        at_ += count;
        return true;
    }
    QString fail()
    {
        ok_ = false;
        return QString();
    }

    const QByteArray& bytes_;
    qsizetype at_ = 0;
    bool ok_ = true;
};
} // namespace

QByteArray frame(const QByteArray& payload)
{
    QByteArray out;
    out.reserve(payload.size() + 4);
    putU32(out, quint32(payload.size()));
    out.append(payload);
    return out;
}

FrameReader::Status FrameReader::next(QByteArray& payload)
{
    if (pending() < 4)
        return Status::Incomplete;
    const quint32 length = u32At(buffer_, read_);
    if (length > quint64(max_))
        return Status::Oversized;
    if (pending() - 4 < qsizetype(length))
        return Status::Incomplete;
    payload = buffer_.mid(read_ + 4, length);
    read_ += 4 + length;
    // Drop what has been read once it is most of the buffer, so the buffer does not grow for ever.
    if (read_ == buffer_.size()) {
        buffer_.clear();
        read_ = 0;
    } else if (read_ > buffer_.size() / 2) {
        buffer_.remove(0, read_);
        read_ = 0;
    }
    return Status::Message;
}

void FrameReader::clear()
{
    buffer_.clear();
    read_ = 0;
}

QByteArray encodeCheckRequest(const CheckRequest& request)
{
    QByteArray out;
    out.reserve(request.source.size() + request.path.size() + request.folder.size() + 32);
    out.append(RequestType);
    putU32(out, request.id);
    putString(out, request.path);
    putString(out, request.folder);
    putString(out, request.source);
    putString(out, request.misplacedPackage);
    return out;
}

std::optional<CheckReply> decodeCheckReply(const QByteArray& payload, qsizetype sourceLength)
{
    Cursor in(payload);
    const quint8 type = in.u8();
    if (type == quint8(FailureType)) {
        CheckReply failure;
        failure.id = in.u32();
        failure.failed = true;
        failure.failure = in.string();
        if (!in.ok() || !in.atEnd())
            return std::nullopt;
        return failure;
    }
    if (type != quint8(ReplyType))
        return std::nullopt;
    CheckReply reply;
    reply.id = in.u32();
    const quint32 count = in.u32();
    if (!in.ok() || count > quint64(in.left() / DiagnosticHeader))
        return std::nullopt;
    reply.diagnostics.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        CheckDiagnostic diagnostic;
        const quint8 kind = in.u8();
        diagnostic.start = in.s32();
        diagnostic.end = in.s32();
        diagnostic.line = in.s32();
        diagnostic.message = in.string();
        if (!in.ok() || kind > 1 || diagnostic.start < 0 || diagnostic.start > diagnostic.end
            || diagnostic.end > sourceLength || diagnostic.line < 1)
            return std::nullopt;
        diagnostic.isError = kind == 0;
        reply.diagnostics.push_back(std::move(diagnostic));
    }
    if (!in.ok() || !in.atEnd())
        return std::nullopt;
    return reply;
}

char messageType(const QByteArray& payload)
{
    return payload.isEmpty() ? char(0) : payload[0];
}

QByteArray encodeCompletionRequest(const CompletionRequest& request)
{
    QByteArray out;
    out.reserve(request.source.size() + request.path.size() + request.folder.size() + 32);
    out.append(CompletionRequestType);
    putU32(out, request.id);
    putString(out, request.path);
    putString(out, request.folder);
    putString(out, request.source);
    putU32(out, quint32(request.caret));
    out.append(char(request.what));
    return out;
}

std::optional<CompletionReply> decodeCompletionReply(const QByteArray& payload, qsizetype sourceLength, qsizetype caret)
{
    Cursor in(payload);
    if (in.u8() != quint8(CompletionReplyType))
        return std::nullopt;
    CompletionReply reply;
    reply.id = in.u32();
    reply.wordStart = in.s32();
    const quint32 count = in.u32();
    if (!in.ok() || reply.wordStart < -1 || reply.wordStart > caret || caret > sourceLength
        || count > quint64(in.left() / CandidateHeader))
        return std::nullopt;
    reply.candidates.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        CompletionCandidate candidate;
        const quint8 kind = in.u8();
        candidate.name = in.string();
        candidate.detail = in.string();
        const quint8 arguments = in.u8();
        if (!in.ok() || kind > quint8(CompletionCandidate::Kind::Keyword) || arguments > 1 || candidate.name.isEmpty())
            return std::nullopt;
        candidate.kind = CompletionCandidate::Kind(kind);
        candidate.takesArguments = arguments == 1;
        reply.candidates.push_back(std::move(candidate));
    }
    reply.callStart = in.s32();
    reply.argument = in.s32();
    const quint32 signatures = in.u32();
    if (!in.ok() || reply.callStart < -1 || reply.callStart >= caret
        || reply.argument < 0 || signatures > quint64(in.left() / 8))
        return std::nullopt;
    for (quint32 i = 0; i < signatures; ++i) {
        CompletionSignature signature;
        signature.name = in.string();
        const quint32 parameters = in.u32();
        if (!in.ok() || parameters > quint64(in.left() / 4))
            return std::nullopt;
        for (quint32 p = 0; p < parameters; ++p)
            signature.parameters << in.string();
        reply.signatures.push_back(std::move(signature));
    }
    if (!in.ok() || !in.atEnd())
        return std::nullopt;
    return reply;
}

} // namespace ServiceFraming
