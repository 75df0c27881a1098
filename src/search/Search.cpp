#include "Search.h"

#include "SearchSettings.h"
#include "frmFind.h"

namespace Search {
void showFindDialog(EditorControl& text1, MessageBoxService& messages)
{
    frmFind::showDialog(text1, messages);
}

void findNext(EditorControl& text1, MessageBoxService& messages, bool reverse)
{
    const SearchSettings& settings = searchSettings();
    if (settings.SearchText.isEmpty()) {
        showFindDialog(text1, messages);
        return;
    }
    // Whatever is half-typed in an open dialog is not what is being repeated: drop it first.
    frmFind::unload();
    const int direction = settings.SearchDirection == 1 ? 1 : 0;
    frmFind::searchEditor(text1, messages, reverse ? 1 - direction : direction);
}
} // namespace Search
