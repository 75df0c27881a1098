#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The messages between the editor and the compile service. Each message on the pipe is a 4-byte
// big-endian length and that many bytes; strings inside are a 4-byte length and UTF-8 bytes.
namespace ServiceFraming {

// Replies longer than this are a broken service, not a big answer: 500 diagnostics at most.
constexpr qsizetype MaxReply = 4 << 20;

QByteArray frame(const QByteArray& payload);

// Cuts the byte stream from the service into messages.
class FrameReader {
public:
    explicit FrameReader(qsizetype maxPayload = MaxReply) : max_(maxPayload) {}

    enum class Status { Incomplete, Message, Oversized };
    void append(const QByteArray& bytes) { buffer_.append(bytes); }
    // Takes the next whole message into payload. Oversized means the stream can no longer be trusted.
    Status next(QByteArray& payload);
    // Bytes received that do not make a whole message yet (a truncated message when the stream ends).
    qsizetype pending() const { return buffer_.size() - read_; }
    void clear();

private:
    QByteArray buffer_;
    qsizetype read_ = 0;
    qsizetype max_;
};

// The document to check. path names it (with or without ".java"); folder is the source root its
// program's other classes are found under, empty when the document has no file yet.
// misplacedPackage: the package the document declares when its folder does not spell it (folder
// is then its own folder, whose sources are taken as that package).
struct CheckRequest {
    quint32 id = 0;
    QString path;
    QString folder;
    QString source;
    QString misplacedPackage;
};

struct CheckDiagnostic {
    bool isError = true;
    qsizetype start = 0; // UTF-16 offsets into the source, end exclusive
    qsizetype end = 0;
    int line = 0; // 1-based
    QString message;

    bool operator==(const CheckDiagnostic&) const = default;
};

struct CheckReply {
    quint32 id = 0;
    QList<CheckDiagnostic> diagnostics;
    // The compiler could not finish on the text: diagnostics is empty and says nothing.
    bool failed = false;
    QString failure; // what stopped it, for the user
};

QByteArray encodeCheckRequest(const CheckRequest& request);

// Null when the payload is not a well-formed reply for a source of sourceLength UTF-16 units: a wrong
// type, a field cut short, bytes left over, an unknown kind, a range outside the source, a bad line
// or text that is not UTF-8.
std::optional<CheckReply> decodeCheckReply(const QByteArray& payload, qsizetype sourceLength);

} // namespace ServiceFraming
