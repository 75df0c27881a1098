#!/usr/bin/env bash
# A file named on the command line opens at start: the title names it, and closing the window of
# an unchanged document ends the program without a question.
source "$(dirname "$0")/lib/e2e.sh"
e2e_init "$@"

file=$(e2e_java_file "dir with spaces/Hello.java" $'class Hello {\r\n}\r\n')
e2e_start_app "$file"
win=$(e2e_wait_window "^Tolvane 1\.0- ")
e2e_expect_eq "$(e2e_title "$win")" "Tolvane 1.0- $file" "window title"
e2e_screenshot "$E2E_NAME"

e2e_close_window "$win"
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"
e2e_expect_eq "$(od -An -tx1 "$file" | tr -d ' \n')" "636c6173732048656c6c6f207b0d0a7d0d0a" "file untouched"
e2e_pass
