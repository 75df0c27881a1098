#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The messages between the Interactions pane and its Java service, framed as ServiceFraming frames
// them (a 4-byte big-endian length, then the bytes; strings are a 4-byte length and UTF-8 bytes).
namespace InteractionsProtocol {

// setup: Java evaluated at the session's start (the document's imports or classes).
QByteArray encodeNewSession(quint32 id, const QString& classPath, const QString& setup);
// force: evaluate even when the input looks unfinished.
QByteArray encodeEvaluate(quint32 id, bool force, const QString& source);
QByteArray encodeInput(const QString& text);
QByteArray encodeStop();

enum class ItemKind { Value, Declared, Error, Exception, Note };

// One thing an evaluation has to tell: a value, a declaration, an error or an exception.
struct Item {
    ItemKind kind = ItemKind::Value;
    QString name;    // a variable's name (empty for an expression), or what was declared ("method f(int)")
    QString value;   // as the engine shows it: strings quoted
    QString type;
    QString message; // the error, the exception with its stack, or what a declaration still needs
    qsizetype start = -1; // an error's UTF-16 range in the source typed, end exclusive; -1: none
    qsizetype end = -1;

    bool operator==(const Item&) const = default;
};

struct Message {
    enum class Type { Ready, Evaluated, Output, InputWanted, SessionEnded };
    Type type = Type::Ready;
    quint32 id = 0;          // Ready, Evaluated
    bool complete = true;    // Evaluated: false when the input goes on on the next line
    QList<Item> items;       // Evaluated
    bool isError = false;    // Output: printed on System.err
    QByteArray bytes;        // Output: as printed, UTF-8
    QString note;            // SessionEnded; Ready: what of the setup failed
};

// Null when the payload is no well-formed message: an unknown type, a field cut short, bytes left
// over, an unknown kind, text that is not UTF-8, or an error range outside a source of sourceLength.
std::optional<Message> decodeMessage(const QByteArray& payload, qsizetype sourceLength);

} // namespace InteractionsProtocol
