#pragma once

#include <QString>

// The search choices that outlive the find dialog. There is one instance for the whole process
// (searchSettings()); tests start from the process-start values with resetSearchSettings().
struct SearchSettings {
    // The text to find, as the user typed it.
    QString SearchText;
    // 0 = ignore case; 1 = match case (the Match Case box's value).
    int SearchMatchCase = 0;
    // Index of the chosen direction option: 0 = "&Up" (towards the beginning), 1 = "&Down" (towards the end).
    int SearchDirection = 0;
    // The editor's caret offset (UTF-16 units) recorded at the end of the last search.
    qsizetype SearchLastPos = 0;
    // True while SearchText may differ from the text of the last search: set by edits of the find
    // text, cleared by every search. While it is false and the caret is still at SearchLastPos, the
    // next search continues past the previous match instead of finding it again.
    bool SearchTextFresh = false;
    // What the replace dialog puts in place of each match, as the user typed it.
    QString ReplaceText;
};

SearchSettings& searchSettings();
void resetSearchSettings();
