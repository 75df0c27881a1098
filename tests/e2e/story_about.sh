#!/usr/bin/env bash
# Help > About... from the keyboard: the box shows the title and "Version 1.0.10", OK has the focus,
# and Esc closes it, leaving the main window as it was.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
e2e_init "$@"
a11y_init

e2e_start_app
win=$(e2e_wait_window '^Tolvane 2000$')
e2e_keys "$win" alt+h Return
about=$(e2e_wait_window '^About Tolvane 2000$')
a11y_expect_text 'About' "Version 1.0.10" --role label --description Version
a11y_expect_text 'About' "Tolvane 2000" --role label --description Title
a11y_expect_focus 'About' 'push button' 'OK'

e2e_keys "$about" Escape
deadline=$((SECONDS + E2E_TIMEOUT))
while [ -n "$(e2e_windows '^About ')" ]; do
    [ $SECONDS -lt $deadline ] || e2e_fail "Esc did not close the about box"
    sleep 0.1
done
e2e_expect_eq "$(e2e_title "$win")" "Tolvane 2000" "main window title"
kill -0 "$E2E_APP_PID" 2>/dev/null || e2e_fail "tolvane ended with the about box"

e2e_close_window "$win"
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"
e2e_pass
