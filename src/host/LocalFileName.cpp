#include "LocalFileName.h"

#include <QStringDecoder>


namespace {
// Length of the valid UTF-8 sequence at data[i], or 0.
int validSequenceLength(const unsigned char* data, qsizetype i, qsizetype size)
{
    const unsigned char lead = data[i];
    if (lead < 0x80)
        return 1;
    int length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F; // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (i + length > size || data[i + 1] < low || data[i + 1] > high)
        return 0;
    for (int k = 2; k < length; ++k)
        if ((data[i + k] & 0xC0) != 0x80)
            return 0;
    return length;
}

constexpr char16_t EscapedByteBase = 0xDC00;
} // namespace

QString fileNameFromLocal(QByteArrayView bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    QString name;
    name.reserve(size);
    qsizetype i = 0;
    while (i < size) {
        qsizetype run = i;
        int length = 0;
        while (run < size && (length = validSequenceLength(data, run, size)) > 0)
            run += length;
        // A U+FEFF at the start of a name is part of the name, not a byte order mark to drop.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        name += decoder.decode(bytes.sliced(i, run - i));
        if (run < size) {
            name += QChar(char16_t(EscapedByteBase + data[run]));
            ++run;
        }
        i = run;
    }
    return name;
}

QByteArray localFileName(const QString& name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype from = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        const bool escapedByte = c >= EscapedByteBase + 0x80 && c <= EscapedByteBase + 0xFF
            && !(i > 0 && name[i - 1].isHighSurrogate());
        if (!escapedByte)
            continue;
        bytes += QStringView(name).sliced(from, i - from).toUtf8();
        bytes += char(c - EscapedByteBase);
        from = i + 1;
    }
    bytes += QStringView(name).sliced(from).toUtf8();
    return bytes;
}

bool hasLostBytes(const QString& name)
{
    return name.contains(QChar::ReplacementCharacter);
}

