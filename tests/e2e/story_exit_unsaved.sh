#!/usr/bin/env bash
# Leaving with unsaved changes asks first: Cancel keeps the window and the text, No leaves without
# writing anything, Yes saves (to the document's file, or through the save dialog when it has none).
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

# The program runs in a folder of its own, so that a stray write would show.
work="$E2E_TMP/work"
mkdir -p "$work"
cd "$work"

# --- File > Exit on an untitled document: Cancel, then No ---
e2e_start_app
win=$(e2e_wait_window '^Tolvane 2000$')
e2e_type_text "$win" 'unsaved words'
e2e_menu "$win" f 'Exit'
e2e_expect_eq "$(e2e_message '^Save File\?$')" "Would you like to save ?" "question on Exit"
e2e_answer '^Save File\?$' Escape
kill -0 "$E2E_APP_PID" 2>/dev/null || e2e_fail "Cancel ended the program"
e2e_expect_title "$win" "Tolvane 2000"
e2e_expect_editor 'unsaved words' "Cancel keeps the text"
# Exit is reached by its mnemonic too.
e2e_keys "$win" alt+f x
e2e_message '^Save File\?$' >/dev/null
e2e_answer '^Save File\?$' alt+n
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status after No"
e2e_expect_eq "$(find "$work" "$E2E_TMP/files" -mindepth 1 2>/dev/null | wc -l)" 0 "nothing written after No"

# --- the close box on a changed file: Yes saves it to its file ---
file=$(e2e_java_file Keep.java $'class Keep {\r\n}\r\n')
e2e_start_app "$file"
win=$(e2e_wait_window "^Tolvane 1\.0- ")
e2e_keys "$win" ctrl+End
e2e_type_text "$win" '// more'
e2e_close_window "$win"
e2e_expect_eq "$(e2e_message '^Save File\?$')" "Would you like to save $file?" "question on closing"
e2e_answer '^Save File\?$' alt+y
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status after Yes"
e2e_expect_file "$file" 'class Keep {\r\n}\r\n// more\r\n' "Yes saved the file"

# --- Exit on an untitled document, Yes: the save dialog, then the program ends ---
e2e_start_app
win=$(e2e_wait_window '^Tolvane 2000$')
e2e_type_text "$win" 'new text'
e2e_keys "$win" alt+f x
e2e_answer '^Save File\?$' y
e2e_file_dialog '^Save As$' "$E2E_TMP/files/New.java"
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status after saving"
e2e_expect_file "$E2E_TMP/files/New.java" 'new text\r\n' "Yes saved through the dialog"
e2e_expect_eq "$(find "$work" -mindepth 1 | wc -l)" 0 "nothing written in the working folder"
e2e_pass
