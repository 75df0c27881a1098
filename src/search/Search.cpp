#include "Search.h"

#include "FindIt.h"
#include "SearchSettings.h"
#include "frmFind.h"
#include "frmGoToLine.h"
#include "frmReplace.h"

#include "editor/EditorControl.h"
#include "host/AppInfo.h"
#include "host/MessageBoxService.h"

namespace Search {
namespace {
// The editor's text as the search sees it. The decoded text is kept from one search to the next:
// for a long document, fresh memory every time would cost more than the search itself.
QStringView searchedText(const EditorControl& text1)
{
    static QString buffer;
    return text1.decodeText(buffer);
}

void reportNotFound(MessageBoxService& messages, const QString& searchText)
{
    messages.show(QStringLiteral("Cannot find ") + QChar(u'"') + searchText + QChar(u'"'), mb::OKOnly, AppInfo::Title);
}
} // namespace

void showFindDialog(EditorControl& text1, MessageBoxService& messages)
{
    frmFind::showDialog(text1, messages);
}

void findInEditor(EditorControl& text1, MessageBoxService& messages, int direction)
{
    SearchSettings& settings = searchSettings();
    SearchSettings request = settings;
    request.SearchDirection = direction;

    const qsizetype match = FindIt(searchedText(text1), text1.SelStart(), request);
    if (match >= 0) {
        text1.setSelStart(match);
        text1.setSelLength(settings.SearchText.size());
    } else {
        reportNotFound(messages, settings.SearchText);
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

void showReplaceDialog(EditorControl& text1, MessageBoxService& messages)
{
    frmReplace::showDialog(text1, messages);
}

void replaceInEditor(EditorControl& text1, MessageBoxService& messages, int direction)
{
    SearchSettings& settings = searchSettings();
    const qsizetype start = text1.SelStart();
    // The selection is a match when the search, run over the selected text alone, finds it whole.
    SearchSettings whole = settings;
    whole.SearchDirection = 1;
    whole.SearchTextFresh = true;
    const bool isMatch = !settings.SearchText.isEmpty() && text1.SelLength() == settings.SearchText.size()
        && FindIt(text1.SelText(), 0, whole) == 0;
    if (isMatch) {
        text1.replaceOffsets(start, start + settings.SearchText.size(), settings.ReplaceText);
        // Searching on starts beside the new text, never inside it: a replacement that holds the
        // find text is not found again, and a match right behind an empty one is not skipped.
        if (direction != 1)
            text1.setSelStart(start);
        settings.SearchTextFresh = true;
    }
    findInEditor(text1, messages, direction);
}

qsizetype replaceAllInEditor(EditorControl& text1, MessageBoxService& messages)
{
    SearchSettings& settings = searchSettings();
    // One replacement of the span from the first match to the last: one undo step, and one change
    // for the control to take in however many matches there are. The new span is built from the
    // control's own bytes, and nothing here asks where an offset lies, which on a big document would
    // cost more than the search. The caret stays by the text it was at and the view where it was: a
    // jump to the last match would also make the control colour everything up to there.
    const QStringView text = searchedText(text1);
    const int firstLine = text1.firstShownLine();
    Utf8Replacement replacement
        = replaceAllInUtf8(text, text1.utf8View(), settings, settings.ReplaceText, text1.caretPosition());
    if (replacement.valid && replacement.count > 0) {
        text1.replaceUtf8(replacement.fromByte, replacement.toByte, replacement.bytes);
        text1.placeCaret(replacement.kept);
        text1.setFirstShownLine(firstLine);
    } else if (!replacement.valid) {
        const Replacement fallback = replaceAllIn(text, settings, settings.ReplaceText);
        replacement.count = fallback.count;
        if (fallback.count > 0)
            text1.replaceOffsets(fallback.from, fallback.to, fallback.text);
    }
    if (replacement.count == 0) {
        reportNotFound(messages, settings.SearchText);
        return 0;
    }
    replacement.bytes = QByteArray();
    // The next search starts at the caret itself, whatever the last one left in SearchLastPos.
    settings.SearchTextFresh = true;
    messages.show(replacement.count == 1 ? QStringLiteral("Replaced 1 occurrence.")
                                         : QStringLiteral("Replaced %1 occurrences.").arg(replacement.count),
                  mb::OKOnly | mb::Information, AppInfo::Title);
    return replacement.count;
}

void showGoToLineDialog(EditorControl& text1, MessageBoxService& messages)
{
    frmGoToLine::showDialog(text1, messages);
}
} // namespace Search
