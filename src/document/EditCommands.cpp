#include "EditCommands.h"

#include "editor/EditorControl.h"
#include "host/ClipboardService.h"
#include "host/Clock.h"

namespace EditCommands {

void Copy(EditorControl& text1, ClipboardService& clipboard)
{
    clipboard.SetText(text1.SelText());
}

void Cut(EditorControl& text1, ClipboardService& clipboard)
{
    clipboard.SetText(text1.SelText());
    text1.setSelText(QString());
}

void Paste(EditorControl& text1, ClipboardService& clipboard)
{
    text1.setSelText(clipboard.GetText());
}

void SelectAll(EditorControl& text1)
{
    text1.setSelStart(0);
    text1.setSelLength(text1.textLength());
}

void DateTime(EditorControl& text1, Clock& clock)
{
    text1.setSelText(generalDateTimeText(clock.Now()));
}

} // namespace EditCommands
