#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class EditorControl;

// Editing rules for Java text, free of any widget.
namespace JavaEditing {
// The indentation (in columns) of a new line that follows linesAbove (the nearest last; without
// their line ends): one level more after an opening brace, or for the one statement after an
// if (...), for (...), while (...), else or do without a brace; after a complete statement the level
// of its block.
int newLineIndent(const QStringList& linesAbove, int tabWidth);
// The indentation of a line that starts with a closing brace just typed, given its own: a level less.
int closingBraceIndent(int indent, int tabWidth);
// The lines commented out with "// " at the smallest indentation among them, or, when every line
// that is not blank is commented already, without their "//" (and the blank after it). Blank lines
// stay as they are.
QStringList toggleLineComments(const QStringList& lines);
// Of marked lines (0-based, in any order), the next one after caretLine (forward) or the one before
// it, going round at the end; -1 when there is none.
int nextMarkedLine(const QList<int>& markedLines, int caretLine, bool forward);

// Makes the editor indent Java as it is typed (the rules above).
void installAutoIndent(EditorControl& editor);
// Comments the selected lines out, or takes their comments back (one undo step).
void toggleComments(EditorControl& editor);
} // namespace JavaEditing
