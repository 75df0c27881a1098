#pragma once

class EditorControl;
class MessageBoxService;

// What the main window asks of the search subsystem.
namespace Search {
// Shows the find dialog for the editor: created on first use, otherwise brought to the front.
void showFindDialog(EditorControl& text1, MessageBoxService& messages);
// Repeats the last search without the dialog; reverse searches in the other direction.
void findNext(EditorControl& text1, MessageBoxService& messages, bool reverse);
} // namespace Search
