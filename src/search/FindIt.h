#pragma once

#include "SearchSettings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace Search {
// Upper-cases each UTF-16 unit on its own, and a surrogate pair as one code point when its upper case
// is again a pair. The result is exactly as long as the input, so positions in it are positions in
// the input. Characters whose upper case is longer (ß) stay as they are.
QString foldCase(QStringView text);

// The search itself, free of any window: where in text the next match for settings lies, searching
// from the caret (a 0-based UTF-16 offset). Returns the match's 0-based offset, or -1 when there is
// none. A match is always settings.SearchText.size() units long.
qsizetype FindIt(QStringView text, qsizetype caret, const SearchSettings& settings);

// Every match for settings' find text (with its case setting) from the start of text to its end,
// found as FindIt finds them, each one searched for behind the previous one: the span [from, to)
// from the first match's start to the last match's end, and what that span becomes when each
// match in it is replaced. Direction and the previous search's position play no part.
struct Replacement {
    qsizetype count = 0;
    qsizetype from = 0;
    qsizetype to = 0;
    QString text;
};
Replacement replaceAllIn(QStringView text, const SearchSettings& settings, QStringView replacement);

// The same replacement for a text also held as UTF-8 (utf8 is text encoded, as the editor keeps it):
// the span in bytes too, and its new content built as UTF-8 straight from utf8's bytes, so that a big
// document needs neither a second encoding nor a search for where offsets lie. A span of most of the
// text is widened to the whole text, which the editor control takes in faster. kept is where the byte
// position keep of utf8 is in the new text (the start of its replacement when it was inside a match).
// Not valid (and nothing done) when utf8 is not valid UTF-8.
struct Utf8Replacement {
    bool valid = false;
    qsizetype count = 0;
    qsizetype from = 0;
    qsizetype to = 0;
    qsizetype fromByte = 0;
    qsizetype toByte = 0;
    qsizetype kept = 0;
    QByteArray bytes;
};
Utf8Replacement replaceAllInUtf8(
    QStringView text, QByteArrayView utf8, const SearchSettings& settings, QStringView replacement, qsizetype keep = 0);
} // namespace Search
