#!/usr/bin/env bash
# A file named on the command line that does not exist yet: the editor starts empty, titled with its
# path, and nothing is written until Ctrl+S creates it. Ctrl+Shift+S then saves it again under a name
# typed without an extension, which becomes a .java file, and the title follows.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

file="$E2E_TMP/files/Greeter.java"
mkdir -p "$(dirname "$file")"
e2e_start_app "$file"
win=$(e2e_wait_window '^Tolvane 1\.0- ')
e2e_expect_title "$win" "Tolvane 1.0- $file"
e2e_expect_eq "$(e2e_windows '^Tolvane' | wc -l)" 1 "no message box"
[ ! -e "$file" ] || e2e_fail "the file was created before any save"

e2e_type_text "$win" 'class Greeter {}'
e2e_keys "$win" ctrl+s
e2e_expect_saved "$file" 'class Greeter {}\r\n' "the first save creates the file"

e2e_keys "$win" ctrl+shift+s
e2e_file_dialog '^Save As$' "$E2E_TMP/files/Renamed"
e2e_expect_title "$win" "Tolvane 1.0- $E2E_TMP/files/Renamed.java"
e2e_expect_file "$E2E_TMP/files/Renamed.java" 'class Greeter {}\r\n' "saved as a .java file"
[ ! -e "$E2E_TMP/files/Renamed" ] || e2e_fail "a file without the extension was written"
e2e_screenshot "$E2E_NAME-saved-as"

e2e_close_window "$win"
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"
e2e_pass
