#include "Search.h"

#include "FindIt.h"
#include "SearchSettings.h"
#include "frmFind.h"

#include "host/AppInfo.h"
#include "host/EditorControl.h"
#include "host/MessageBoxService.h"

namespace Search {
void showFindDialog(EditorControl& text1, MessageBoxService& messages)
{
    frmFind::showDialog(text1, messages);
}

void findInEditor(EditorControl& text1, MessageBoxService& messages, int direction)
{
    // The decoded text is kept from one search to the next: for a long document, fresh memory
    // every time would cost more than the search itself.
    static QString buffer;
    SearchSettings& settings = searchSettings();
    SearchSettings request = settings;
    request.SearchDirection = direction;

    const qsizetype match = FindIt(text1.decodeText(buffer), text1.SelStart(), request);
    if (match >= 0) {
        text1.setSelStart(match);
        text1.setSelLength(settings.SearchText.size());
    } else {
        messages.show(QStringLiteral("Cannot find ") + QChar(u'"') + settings.SearchText + QChar(u'"'), mb::OKOnly,
                      AppInfo::Title);
    }
    settings.SearchLastPos = text1.SelStart();
    settings.SearchTextFresh = false;
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
    findInEditor(text1, messages, reverse ? 1 - direction : direction);
}
} // namespace Search
