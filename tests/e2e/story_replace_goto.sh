#!/usr/bin/env bash
# Replace and Go to Line from the keyboard. Replace All changes a word in all its cases, says how many
# it changed, and one Ctrl+Z brings the whole text back; both texts reach the disk byte for byte.
# Go to Line in a 20 MB file: a number past the end is refused with a message and the caret stays;
# the last line's number puts the caret at the start of that line.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

main_title='^Tolvane 1\.0- /'
replace_title='^Tolvane 1\.0- Replace$'
goto_title='^Tolvane 1\.0- Go to Line$'
expect_caret() { a11y_expect "$main_title" description "$1" --role label --name 'Caret position'; }

# A non-ASCII letter before the matches, so that a byte offset taken for a character offset shows.
original='class Tally {
    int count = 0; // Zähler
    void add() { count++; Count(); }
    static final int COUNT = 3;
    void Count() {}
}
'
replaced=${original//count/total}
replaced=${replaced//Count/total}
replaced=${replaced//COUNT/total}
file=$(e2e_java_file Tally.java "$original")

e2e_start_app "$file"
win=$(e2e_wait_window "$main_title")
e2e_expect_editor "$original" "the file in the editor"

e2e_keys "$win" ctrl+h
replacer=$(e2e_wait_window "$replace_title")
a11y_expect_focus "$replace_title" text 'Find What'
a11y_expect_state "$replace_title" checked no --role 'check box' --name 'Match Case'
e2e_type "$replacer" count
e2e_keys "$replacer" Tab
a11y_expect_focus "$replace_title" text 'Replace With'
e2e_type "$replacer" total
a11y_expect_text "$replace_title" count --role text --name 'Find What'
a11y_expect_text "$replace_title" total --role text --name 'Replace With'
e2e_keys "$replacer" alt+a
e2e_expect_eq "$(e2e_message '^Tolvane 2000$')" "Replaced 5 occurrences." "count message"
e2e_answer '^Tolvane 2000$' Return
e2e_expect_editor "$replaced" "every case replaced"
e2e_keys "$(e2e_wait_window "$replace_title")" Escape
e2e_wait_gone "$replace_title"
e2e_keys "$win" ctrl+s
e2e_expect_saved "$file" "$replaced" "the replaced text saved"

# The whole replacement is one undo step.
e2e_keys "$win" ctrl+z
e2e_expect_editor "$original" "one undo restores the text"
e2e_keys "$win" ctrl+s
e2e_expect_saved "$file" "$original" "the restored text saved"
e2e_close_window "$win"
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"

# About 20 MB: a class of 400000 fields, its closing brace alone on the last line, no line end after it.
lines=400002
big="$E2E_TMP/files/Big.java"
{
    echo 'class Big {'
    # yes ends on a broken pipe once head has enough.
    yes '    int value = 42; // a line of a big generated class' | head -n $((lines - 2)) || true
    printf '}'
} >"$big"
e2e_expect_eq "$(wc -l <"$big")" $((lines - 1)) "line ends in the generated file"
before=$(md5sum <"$big")

e2e_start_app "$big"
# The title names the file once it has loaded.
win=$(e2e_wait_window "$main_title" 120)
expect_caret 'Line 1, Col 1'

e2e_keys "$win" ctrl+g
goto=$(e2e_wait_window "$goto_title")
a11y_expect_focus "$goto_title" text 'Line number'
a11y_expect "$goto_title" name "Line number \(1 - $lines\):" --role label
# The number typed replaces the one offered; one past the end is refused and the caret stays.
e2e_type "$goto" $((lines + 1))
a11y_expect_text "$goto_title" $((lines + 1)) --role text --name 'Line number'
e2e_keys "$goto" Return
e2e_expect_eq "$(e2e_message '^Tolvane 2000$')" \
    "There is no line \"$((lines + 1))\". Type a number from 1 to $lines." "out of range message"
e2e_answer '^Tolvane 2000$' Return
a11y_expect_focus "$goto_title" text 'Line number'
expect_caret 'Line 1, Col 1'

e2e_type "$goto" $lines
a11y_expect_text "$goto_title" $lines --role text --name 'Line number'
e2e_keys "$goto" Return
e2e_wait_gone "$goto_title"
expect_caret "Line $lines, Col 1"

e2e_close_window "$win"
e2e_wait_exit 60
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"
e2e_expect_eq "$(md5sum <"$big")" "$before" "the big file untouched"
e2e_pass
