#include "RegFile.h"

#include <QStringDecoder>
#include <QStringList>

namespace {
const QChar Backslash = u'\\';

// Reads .reg text line by line.
class RegTextReader {
public:
    RegTextReader(MemoryRegistry& target, const QString& text) : target_(target), lines_(text.split(u'\n')) {}

    void read()
    {
        bool sawHeader = false;
        while (nextLogicalLine()) {
            const QString line = current_.trimmed();
            if (line.isEmpty() || line.startsWith(u';'))
                continue;
            if (!sawHeader) {
                if (line == QLatin1String("Windows Registry Editor Version 5.00"))
                    unicodeFile_ = true;
                else if (line == QLatin1String("REGEDIT4"))
                    unicodeFile_ = false;
                else
                    fail(QStringLiteral("not a registry file (expected \"Windows Registry Editor Version 5.00\" or \"REGEDIT4\")"));
                sawHeader = true;
                continue;
            }
            if (line.startsWith(u'['))
                readSection(line);
            else
                readValue(line);
        }
        if (!sawHeader)
            fail(QStringLiteral("empty registry file"));
    }

private:
    // Joins a value's continuation lines (a trailing backslash) into current_.
    bool nextLogicalLine()
    {
        if (index_ >= lines_.size())
            return false;
        lineNumber_ = static_cast<int>(index_) + 1;
        current_ = stripCr(lines_[index_++]);
        while (!current_.trimmed().startsWith(u'[') && current_.trimmed().endsWith(Backslash)
               && index_ < lines_.size()) {
            current_ = current_.trimmed();
            current_.chop(1);
            current_ += stripCr(lines_[index_++]).trimmed();
        }
        return true;
    }

    static QString stripCr(QString line)
    {
        if (line.endsWith(u'\r'))
            line.chop(1);
        return line;
    }

    [[noreturn]] void fail(const QString& reason) const { throw RegParseError(lineNumber_, reason); }

    void readSection(const QString& line)
    {
        if (!line.endsWith(u']'))
            fail(QStringLiteral("a key line must end with ]"));
        QString path = line.mid(1, line.size() - 2);
        const bool remove = path.startsWith(u'-');
        if (remove)
            path.remove(0, 1);
        const qsizetype slash = path.indexOf(Backslash);
        const QString rootName = slash < 0 ? path : path.left(slash);
        root_ = registryRootByName(rootName);
        if (root_ == 0)
            fail(QStringLiteral("unknown root key \"%1\"").arg(rootName));
        keyPath_ = slash < 0 ? QString() : path.mid(slash + 1);
        if (remove) {
            target_.deleteKey(root_, keyPath_);
            inKey_ = false;
        } else {
            target_.createKey(root_, keyPath_);
            inKey_ = true;
        }
    }

    void readValue(const QString& line)
    {
        if (!inKey_)
            fail(QStringLiteral("a value outside a key"));
        qsizetype pos = 0;
        QString name;
        if (line.startsWith(u'@')) {
            pos = 1;
        } else if (line.startsWith(u'"')) {
            name = readQuoted(line, pos);
        } else {
            fail(QStringLiteral("a value name must be quoted or @"));
        }
        skipBlanks(line, pos);
        if (pos >= line.size() || line[pos] != u'=')
            fail(QStringLiteral("= expected after the value name"));
        ++pos;
        skipBlanks(line, pos);
        const QString data = line.mid(pos);

        if (data == QLatin1String("-")) {
            target_.deleteValue(root_, keyPath_, name);
        } else if (data.startsWith(u'"')) {
            qsizetype textPos = pos;
            const QString text = readQuoted(line, textPos);
            skipBlanks(line, textPos);
            if (textPos != line.size())
                fail(QStringLiteral("text after the closing quote"));
            target_.setText(root_, keyPath_, name, text);
        } else if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            const QString digits = data.mid(6).trimmed();
            bool ok = false;
            const std::uint32_t number = digits.toUInt(&ok, 16);
            if (!ok || digits.size() > 8 || digits.startsWith(u'+') || digits.startsWith(u'-'))
                fail(QStringLiteral("a dword needs up to 8 hexadecimal digits"));
            target_.setDword(root_, keyPath_, name, number);
        } else if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
            readHex(name, data);
        } else {
            fail(QStringLiteral("unknown value data \"%1\"").arg(data));
        }
    }

    void readHex(const QString& valueName, const QString& data)
    {
        std::uint32_t type = reg::REG_BINARY;
        qsizetype colon = data.indexOf(u':');
        if (colon < 0)
            fail(QStringLiteral(": expected after hex"));
        const QString kind = data.left(colon);
        if (kind.compare(QLatin1String("hex"), Qt::CaseInsensitive) != 0) {
            if (!kind.startsWith(QLatin1String("hex("), Qt::CaseInsensitive) || !kind.endsWith(u')'))
                fail(QStringLiteral("hex or hex(type) expected"));
            bool ok = false;
            type = kind.mid(4, kind.size() - 5).toUInt(&ok, 16);
            if (!ok)
                fail(QStringLiteral("the type in hex(type) must be hexadecimal"));
        }
        QByteArray bytes;
        const QString list = data.mid(colon + 1).trimmed();
        if (!list.isEmpty()) {
            for (const QString& item : list.split(u',')) {
                const QString digits = item.trimmed();
                bool ok = false;
                const uint byte = digits.toUInt(&ok, 16);
                if (!ok || digits.size() > 2 || byte > 0xFF)
                    fail(QStringLiteral("\"%1\" is not a byte").arg(digits));
                bytes.append(static_cast<char>(byte));
            }
        }
        // A Unicode export holds its text types as UTF-16; the reader expects 8-bit text.
        if (unicodeFile_ && (type == reg::REG_SZ || type == reg::REG_EXPAND_SZ || type == reg::REG_MULTI_SZ)) {
            QString text;
            for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
                text += QChar(static_cast<char16_t>(static_cast<unsigned char>(bytes[i])
                                                    | (static_cast<unsigned char>(bytes[i + 1]) << 8)));
            bytes = text.toLocal8Bit();
        }
        target_.setValue(root_, keyPath_, valueName, type, bytes);
    }

    static void skipBlanks(const QString& line, qsizetype& pos)
    {
        while (pos < line.size() && (line[pos] == u' ' || line[pos] == u'\t'))
            ++pos;
    }

    // Reads "..." starting at pos (the opening quote), undoing the \\ and \" escapes; pos ends after it.
    QString readQuoted(const QString& line, qsizetype& pos) const
    {
        QString text;
        for (qsizetype i = pos + 1; i < line.size(); ++i) {
            const QChar c = line[i];
            if (c == Backslash && i + 1 < line.size()) {
                text += line[++i];
            } else if (c == u'"') {
                pos = i + 1;
                return text;
            } else {
                text += c;
            }
        }
        fail(QStringLiteral("missing closing quote"));
    }

    MemoryRegistry& target_;
    QStringList lines_;
    qsizetype index_ = 0;
    int lineNumber_ = 0;
    QString current_;
    bool unicodeFile_ = true;
    bool inKey_ = false;
    std::uint32_t root_ = 0;
    QString keyPath_;
};
} // namespace

RegParseError::RegParseError(int line, const QString& reason)
    : std::runtime_error(QStringLiteral("line %1: %2").arg(line).arg(reason).toStdString()), line_(line)
{
}

void loadRegFile(MemoryRegistry& hive, const QByteArray& contents)
{
    QString text;
    if (contents.startsWith("\xFF\xFE")) {
        text = QStringDecoder(QStringDecoder::Utf16LE)(contents.mid(2));
    } else if (contents.startsWith("\xFE\xFF")) {
        text = QStringDecoder(QStringDecoder::Utf16BE)(contents.mid(2));
    } else {
        const QByteArray body = contents.startsWith("\xEF\xBB\xBF") ? contents.mid(3) : contents;
        QStringDecoder utf8(QStringDecoder::Utf8);
        text = utf8(body);
        if (utf8.hasError()) // an old 8-bit export
            text = QString::fromLatin1(body);
    }
    loadRegText(hive, text);
}

void loadRegText(MemoryRegistry& hive, const QString& text)
{
    RegTextReader(hive, text).read();
}

std::uint32_t registryRootByName(const QString& name)
{
    static const std::pair<const char*, std::uint32_t> roots[] = {
        {"HKEY_CLASSES_ROOT", reg::HKEY_CLASSES_ROOT},     {"HKCR", reg::HKEY_CLASSES_ROOT},
        {"HKEY_CURRENT_USER", reg::HKEY_CURRENT_USER},     {"HKCU", reg::HKEY_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", reg::HKEY_LOCAL_MACHINE},   {"HKLM", reg::HKEY_LOCAL_MACHINE},
        {"HKEY_USERS", reg::HKEY_USERS},                   {"HKU", reg::HKEY_USERS},
        {"HKEY_CURRENT_CONFIG", reg::HKEY_CURRENT_CONFIG}, {"HKCC", reg::HKEY_CURRENT_CONFIG},
    };
    for (const auto& [text, root] : roots) {
        if (name.compare(QLatin1String(text), Qt::CaseInsensitive) == 0)
            return root;
    }
    return 0;
}
