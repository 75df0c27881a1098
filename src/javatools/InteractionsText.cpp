#include "InteractionsText.h"

#include <algorithm>

using InteractionsProtocol::Item;
using InteractionsProtocol::ItemKind;

namespace InteractionsText {

QString markedLine(const QString& source, qsizetype start, qsizetype end)
{
    start = std::clamp<qsizetype>(start, 0, source.size());
    end = std::clamp<qsizetype>(end, start, source.size());
    const qsizetype lineStart = start == 0 ? 0 : source.lastIndexOf(u'\n', start - 1) + 1;
    qsizetype lineEnd = source.indexOf(u'\n', start);
    if (lineEnd < 0)
        lineEnd = source.size();
    QString line = source.mid(lineStart, lineEnd - lineStart);
    if (line.endsWith(u'\r'))
        line.chop(1);
    QString mark;
    for (qsizetype i = lineStart; i < start; ++i)
        mark += source[i] == u'\t' ? u'\t' : u' ';
    mark += u'^';
    const qsizetype markEnd = std::min(end, lineStart + line.size());
    for (qsizetype i = start + 1; i < markEnd; ++i)
        mark += u'~';
    return line + u'\n' + mark;
}

QString describe(const Item& item, const QString& source)
{
    QString text;
    switch (item.kind) {
    case ItemKind::Value:
        if (!item.name.isEmpty())
            text = item.name + QStringLiteral(" = ");
        text += item.value;
        if (!item.type.isEmpty())
            text += QStringLiteral(" (") + item.type + u')';
        if (!item.message.isEmpty())
            text += QStringLiteral("\n  ") + item.message;
        return text;
    case ItemKind::Declared:
        if (item.name.startsWith(QStringLiteral("import ")))
            return QStringLiteral("imported ") + item.name.mid(7);
        text = item.name + QStringLiteral(" declared");
        if (!item.message.isEmpty())
            text += QStringLiteral(", but ") + item.message;
        return text;
    case ItemKind::Error:
        text = QStringLiteral("error: ") + item.message;
        if (item.start >= 0)
            text += u'\n' + markedLine(source, item.start, item.end);
        return text;
    case ItemKind::Exception:
        return QStringLiteral("exception ") + item.message;
    case ItemKind::Note:
        return item.message;
    }
    return text;
}

} // namespace InteractionsText

void InteractionsHistory::add(const QString& entry)
{
    endWalk();
    if (entry.trimmed().isEmpty() || (!entries_.isEmpty() && entries_.last() == entry))
        return;
    entries_.append(entry);
    if (entries_.size() > MaxEntries)
        entries_.remove(0, entries_.size() - MaxEntries);
}

std::optional<QString> InteractionsHistory::older(const QString& typed)
{
    if (position_ == 0 || entries_.isEmpty())
        return std::nullopt;
    if (position_ < 0) {
        typed_ = typed;
        position_ = entries_.size();
    }
    return entries_[--position_];
}

std::optional<QString> InteractionsHistory::newer()
{
    if (position_ < 0)
        return std::nullopt;
    if (++position_ >= entries_.size()) {
        position_ = -1;
        return typed_;
    }
    return entries_[position_];
}

QByteArray InteractionsHistory::save() const
{
    QByteArray bytes;
    for (const QString& entry : entries_) {
        QString line = entry;
        line.replace(u'\\', QStringLiteral("\\\\")).replace(u'\n', QStringLiteral("\\n")).replace(u'\r', QStringLiteral("\\r"));
        bytes += line.toUtf8() + '\n';
    }
    return bytes;
}

InteractionsHistory InteractionsHistory::load(const QByteArray& bytes)
{
    InteractionsHistory history;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        QString entry;
        for (qsizetype i = 0; i < line.size(); ++i) {
            if (line[i] != u'\\' || i + 1 == line.size()) {
                entry += line[i];
                continue;
            }
            const QChar next = line[++i];
            entry += next == u'n' ? u'\n' : next == u'r' ? u'\r' : next;
        }
        history.add(entry);
    }
    return history;
}
