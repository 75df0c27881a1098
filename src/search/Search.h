#pragma once

#include <QtGlobal>

class EditorControl;
class MessageBoxService;

// What the main window asks of the search subsystem.
namespace Search {
// Shows the find dialog for the editor: created on first use, otherwise brought to the front.
void showFindDialog(EditorControl& text1, MessageBoxService& messages);
// Searches the editor with the stored settings in direction (0 up, 1 down) from the selection:
// selects the match, or says that there is none. The one search behind Find, F3 and Shift+F3.
void findInEditor(EditorControl& text1, MessageBoxService& messages, int direction);
// Repeats the last search without the dialog; reverse searches in the other direction.
void findNext(EditorControl& text1, MessageBoxService& messages, bool reverse);

// Shows the replace dialog for the editor, as showFindDialog does the find dialog.
void showReplaceDialog(EditorControl& text1, MessageBoxService& messages);
// When the selection is a match for the stored find text, puts the stored replacement in its place;
// then searches on in direction (0 up, 1 down) as findInEditor does.
void replaceInEditor(EditorControl& text1, MessageBoxService& messages, int direction);
// Replaces every match in the whole text as one step of the undo history and says how many it
// replaced (or that there is none). Returns that number.
qsizetype replaceAllInEditor(EditorControl& text1, MessageBoxService& messages);

// Shows the go-to-line dialog for the editor.
void showGoToLineDialog(EditorControl& text1, MessageBoxService& messages);
} // namespace Search
