#include "GoToLine.h"

#include <algorithm>

namespace Search {
std::optional<int> lineNumberFrom(const QString& typed, int lineCount)
{
    const QString digits = typed.trimmed();
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    bool ok = false;
    const qlonglong line = digits.toLongLong(&ok);
    if (!ok || line < 1 || line > lineCount)
        return std::nullopt;
    return static_cast<int>(line);
}

QString lineNumberMessage(const QString& typed, int lineCount)
{
    const QString range = lineCount == 1 ? QStringLiteral("The document has one line: type 1.")
                                         : QStringLiteral("Type a number from 1 to %1.").arg(lineCount);
    if (typed.trimmed().isEmpty())
        return QStringLiteral("Type the number of the line to go to. ") + range;
    return QStringLiteral("There is no line \"%1\". ").arg(typed.trimmed()) + range;
}
} // namespace Search
