#pragma once

class ClipboardService;
class Clock;
class EditorControl;

// The Edit menu's commands on the editor. Each makes its calls in a fixed order and tests nothing:
// Copy with nothing selected hands the clipboard the empty text, Paste of an empty clipboard deletes
// the selection. A change of the text reaches the document through the editor's Change signal.
namespace EditCommands {
void Cut(EditorControl& text1, ClipboardService& clipboard);
void Copy(EditorControl& text1, ClipboardService& clipboard);
void Paste(EditorControl& text1, ClipboardService& clipboard);
void SelectAll(EditorControl& text1);
void DateTime(EditorControl& text1, Clock& clock);
} // namespace EditCommands
