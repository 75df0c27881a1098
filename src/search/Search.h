#pragma once

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
} // namespace Search
