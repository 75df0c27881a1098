#!/usr/bin/env bash
# A big file named on the command line is still loading when the window shows: Save is not available
# until the load is complete, and the file on disk stays exactly as it was.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

big="$E2E_TMP/files/Big.java"
mkdir -p "$(dirname "$big")"
# yes ends on a broken pipe once head has enough; the size tells whether the file was written.
yes '    int value = 42; // a line of a big generated class' | head -c 200000000 >"$big" || true
e2e_expect_eq "$(stat -c %s "$big")" 200000000 "size of the generated file"
before=$(md5sum <"$big")
# Test builds hold the load back until this file appears: the story acts while the load runs, on any
# machine. (With a fixed delay, a slow machine let the click land after the load, and Save then ran.)
gate="$E2E_TMP/load-may-finish"
export TOLVANE_TEST_LOAD_GATE="$gate"

e2e_start_app "$big"
win=$(e2e_wait_window '^Tolvane 2000$')
a11y_expect_state '^Tolvane' enabled no --role 'menu item' --name 'Save\.\.\.'
a11y_click '^Tolvane' --role 'push button' --name Save
[ -z "$(e2e_windows '^Save As$')" ] || e2e_fail "Save offered to write while the file was loading"
e2e_expect_eq "$(e2e_windows '^Tolvane 2000$' | wc -l)" 1 "the window still loading after the click"
e2e_expect_eq "$(md5sum <"$big")" "$before" "the file is as it was"
touch "$gate"
e2e_expect_title "$win" "Tolvane 1.0- $big"
a11y_expect_state '^Tolvane' enabled yes --role 'menu item' --name 'Save\.\.\.'
e2e_expect_eq "$(md5sum <"$big")" "$before" "the file is as it was once loaded"

e2e_close_window "$win"
e2e_wait_exit 60
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"
e2e_expect_eq "$(md5sum <"$big")" "$before" "the file is still as it was"
e2e_pass
