#include "InteractionsProtocol.h"

#include <QDataStream>
#include <QIODevice>
#include <QStringDecoder>

#include <functional>

namespace InteractionsProtocol {
namespace {
void putU32(QDataStream& out, quint32 value)
{
    out << value;
}

void putString(QDataStream& out, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    putU32(out, quint32(utf8.size()));
    out.writeRawData(utf8.constData(), int(utf8.size()));
}

QByteArray build(char type, const std::function<void(QDataStream&)>& fields)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::BigEndian);
    out << quint8(type);
    fields(out);
    return bytes;
}

// Reads fields front to back; a read past the end or text that is not UTF-8 fails it for good.
class Fields {
public:
    explicit Fields(const QByteArray& bytes) : bytes_(bytes), in_(bytes_) { in_.setByteOrder(QDataStream::BigEndian); }
    bool ok() const { return in_.status() == QDataStream::Ok && !bad_; }
    bool atEnd() const { return in_.atEnd(); }
    quint8 u8()
    {
        quint8 value = 0;
        in_ >> value;
        return value;
    }
    quint32 u32()
    {
        quint32 value = 0;
        in_ >> value;
        return value;
    }
    qint32 s32() { return qint32(u32()); }
    QByteArray rest() { return in_.device()->readAll(); }
    QString string()
    {
        const quint32 length = u32();
        if (!ok() || length > quint64(in_.device()->bytesAvailable())) {
            bad_ = true;
            return QString();
        }
        const QByteArray utf8 = in_.device()->read(length);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = decoder.decode(utf8);
        bad_ = bad_ || decoder.hasError();
        return text;
    }

private:
    QByteArray bytes_;
    QDataStream in_;
    bool bad_ = false;
};
} // namespace

QByteArray encodeNewSession(quint32 id, const QString& classPath, const QString& setup)
{
    return build('N', [&](QDataStream& out) {
        putU32(out, id);
        putString(out, classPath);
        putString(out, setup);
    });
}

QByteArray encodeEvaluate(quint32 id, bool force, const QString& source)
{
    return build('E', [&](QDataStream& out) {
        putU32(out, id);
        out << quint8(force ? 1 : 0);
        putString(out, source);
    });
}

QByteArray encodeInput(const QString& text)
{
    return build('T', [&](QDataStream& out) {
        const QByteArray utf8 = text.toUtf8();
        out.writeRawData(utf8.constData(), int(utf8.size()));
    });
}

QByteArray encodeStop()
{
    return build('S', [](QDataStream&) {});
}

std::optional<Message> decodeMessage(const QByteArray& payload, qsizetype sourceLength)
{
    Fields in(payload);
    Message message;
    switch (in.u8()) {
    case 'H':
        message.type = Message::Type::Ready;
        message.id = in.u32();
        message.note = in.string();
        break;
    case 'I':
        message.type = Message::Type::InputWanted;
        break;
    case 'X':
        message.type = Message::Type::SessionEnded;
        message.note = in.string();
        break;
    case 'O': {
        message.type = Message::Type::Output;
        const quint8 channel = in.u8();
        if (!in.ok() || channel > 1)
            return std::nullopt;
        message.isError = channel == 1;
        message.bytes = in.rest();
        break;
    }
    case 'R': {
        message.type = Message::Type::Evaluated;
        message.id = in.u32();
        message.complete = in.u8() != 0;
        const quint32 count = in.u32();
        // Each item takes at least its kind, four empty strings and its range.
        constexpr quint32 SmallestItem = 1 + 4 * 4 + 8;
        if (!in.ok() || count > quint32(payload.size()) / SmallestItem)
            return std::nullopt;
        for (quint32 i = 0; i < count; ++i) {
            Item item;
            const quint8 kind = in.u8();
            item.name = in.string();
            item.value = in.string();
            item.type = in.string();
            item.message = in.string();
            item.start = in.s32();
            item.end = in.s32();
            if (!in.ok() || kind > quint8(ItemKind::Note))
                return std::nullopt;
            const bool noRange = item.start == -1 && item.end == -1;
            if (!noRange && (item.start < 0 || item.start > item.end || item.end > sourceLength))
                return std::nullopt;
            item.kind = ItemKind(kind);
            message.items.push_back(std::move(item));
        }
        break;
    }
    default:
        return std::nullopt;
    }
    if (!in.ok() || !in.atEnd())
        return std::nullopt;
    return message;
}

} // namespace InteractionsProtocol
