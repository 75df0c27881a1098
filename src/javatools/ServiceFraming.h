#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

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

// What can be typed at the caret of the document (what = Names), or the parameter lists of the call
// the caret is in (what = Parameters).
struct CompletionRequest {
    enum class What : quint8 { Names = 0, Parameters = 1 };
    quint32 id = 0;
    QString path;
    QString folder;
    QString source;
    qsizetype caret = 0; // UTF-16 offset
    What what = What::Names;
};

struct CompletionCandidate {
    enum class Kind : quint8 { Local, Field, Method, Type, Package, Keyword };
    Kind kind = Kind::Local;
    QString name;
    QString detail; // a method's "(int from, int to) : String", a variable's type, a type's package
    bool takesArguments = false;

    bool operator==(const CompletionCandidate&) const = default;
};

struct CompletionSignature {
    QString name;
    QStringList parameters;

    bool operator==(const CompletionSignature&) const = default;
};

struct CompletionReply {
    quint32 id = 0;
    qsizetype wordStart = -1; // where the name being typed begins; -1 when nothing fits at the caret
    QList<CompletionCandidate> candidates;
    qsizetype callStart = -1; // the '(' of the call the caret is in; -1 outside a call
    int argument = 0;         // the argument the caret is in, 0-based
    QList<CompletionSignature> signatures;
};

QByteArray encodeCompletionRequest(const CompletionRequest& request);

// Null when the payload is not a well-formed completion reply for a source of sourceLength UTF-16
// units with the caret at caret: positions must lie in the text before the caret.
std::optional<CompletionReply> decodeCompletionReply(const QByteArray& payload, qsizetype sourceLength, qsizetype caret);

// The type of a request or reply payload (its first byte), 0 for an empty one.
char messageType(const QByteArray& payload);

} // namespace ServiceFraming
