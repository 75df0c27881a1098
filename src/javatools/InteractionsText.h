#pragma once

#include "InteractionsProtocol.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// What the Interactions pane writes in its transcript, and the history of what was typed there,
// kept free of widgets.
namespace InteractionsText {

// The lines that tell an item of an evaluation of source: "3 (int)", "k = 20 (int)", "method f()
// declared", or an error with the line it is in and a mark under the part the compiler means.
QString describe(const InteractionsProtocol::Item& item, const QString& source);

// The line of source that holds the UTF-16 range [start, end) and a line of "^" and "~" under it
// (a caret alone for an empty range); a range that runs over the line's end is marked to its end.
// Tabs are kept in the marking line so the mark stays under its text.
QString markedLine(const QString& source, qsizetype start, qsizetype end);

} // namespace InteractionsText

// What was typed in the pane, oldest first, walked with Up and Down as a shell does. The line being
// typed is kept while the user walks away from it and back.
class InteractionsHistory {
public:
    static constexpr int MaxEntries = 500;

    const QStringList& entries() const { return entries_; }
    // Adds an entry (a blank one, or one equal to the newest, is not added) and ends the walk.
    void add(const QString& entry);
    // The entry before the one shown (Up); typed is what the line holds now. Null at the oldest.
    std::optional<QString> older(const QString& typed);
    // The entry after it (Down), then the line that was being typed. Null when not walking.
    std::optional<QString> newer();
    void endWalk() { position_ = -1; }

    // One entry a line; a backslash escapes itself and the line ends of entries of several lines.
    QByteArray save() const;
    static InteractionsHistory load(const QByteArray& bytes);

private:
    QStringList entries_;
    qsizetype position_ = -1; // the entry shown; -1: the line being typed
    QString typed_;
};
