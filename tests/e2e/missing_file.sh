#!/usr/bin/env bash
# A file on the command line that does not exist: a message, then the editor with an empty
# untitled document; nothing is created on disk.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"

file="$E2E_TMP/files/a-folder-with-a-rather-long-name/and-another-one-inside-it/Missing.java"
e2e_start_app "$file"
# The main window and the message box both carry the application's title.
deadline=$((SECONDS + E2E_TIMEOUT))
while [ "$(e2e_windows '^Tolvane 2000$' | wc -l)" -lt 2 ]; do
    [ $SECONDS -lt $deadline ] || e2e_fail "no message box about the missing file"
    sleep 0.1
done
e2e_screenshot "$E2E_NAME-message"
box=$(e2e_windows '^Tolvane 2000$' | tail -n 1)
# The path ends a line of its own: its end must be on screen as much as the message's.
e2e_expect_on_screen '^Tolvane 2000$' "Cannot open $file:" "the missing file's path"
e2e_expect_on_screen '^Tolvane 2000$' "No such file or directory" "the reason"
e2e_keys "$box" Return

deadline=$((SECONDS + E2E_TIMEOUT))
while [ "$(e2e_windows '^Tolvane 2000$' | wc -l)" -ne 1 ]; do
    [ $SECONDS -lt $deadline ] || e2e_fail "the message box did not close"
    sleep 0.1
done
win=$(e2e_wait_window '^Tolvane 2000$')
e2e_expect_eq "$(e2e_title "$win")" "Tolvane 2000" "title of the empty document"
[ ! -e "$file" ] || e2e_fail "the missing file was created"

e2e_close_window "$win"
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"
e2e_pass
