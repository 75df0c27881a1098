#pragma once

#include <QString>

#include <optional>

namespace Search {
// The 1-based line number typed (blanks around it allowed), when it is a line of a text of lineCount
// lines; otherwise nothing.
std::optional<int> lineNumberFrom(const QString& typed, int lineCount);
// What to tell the user who typed something lineNumberFrom does not take.
QString lineNumberMessage(const QString& typed, int lineCount);
} // namespace Search
