#!/usr/bin/env bash
# Help > About... from the keyboard: the box shows the title and "Version 1.0.10", OK has the focus,
# and Esc closes it, leaving the main window as it was. System Info starts the system overview found on
# the search path, or says that there is none.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
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
e2e_wait_gone '^About '
e2e_expect_eq "$(e2e_title "$win")" "Tolvane 2000" "main window title"
kill -0 "$E2E_APP_PID" 2>/dev/null || e2e_fail "tolvane ended with the about box"

e2e_close_window "$win"
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"

# System Info (Alt+S) starts the system overview found on the search path; the box stays open.
mkdir -p "$E2E_TMP/bin" "$E2E_TMP/nothing"
cat >"$E2E_TMP/bin/hardinfo" <<SCRIPT
#!/bin/sh
echo "started with \$# arguments" >"$E2E_TMP/hardinfo.log"
SCRIPT
chmod +x "$E2E_TMP/bin/hardinfo"
PATH="$E2E_TMP/bin" e2e_start_app
win=$(e2e_wait_window '^Tolvane 2000$')
e2e_keys "$win" alt+h Return
about=$(e2e_wait_window '^About Tolvane 2000$')
e2e_keys "$about" alt+s
deadline=$((SECONDS + E2E_TIMEOUT))
until [ -s "$E2E_TMP/hardinfo.log" ]; do
    [ $SECONDS -lt $deadline ] || e2e_fail "System Info started nothing"
    sleep 0.1
done
e2e_expect_eq "$(cat "$E2E_TMP/hardinfo.log")" "started with 0 arguments" "the system overview started"
[ -n "$(e2e_windows '^About Tolvane 2000$')" ] || e2e_fail "the about box closed after System Info"
e2e_keys "$about" Return
e2e_wait_gone '^About Tolvane 2000$'
e2e_close_window "$win"
e2e_wait_exit

# With none on the search path, a message says so.
PATH="$E2E_TMP/nothing" e2e_start_app
win=$(e2e_wait_window '^Tolvane 2000$')
e2e_keys "$win" alt+h Return
about=$(e2e_wait_window '^About Tolvane 2000$')
e2e_keys "$about" alt+s
e2e_expect_eq "$(e2e_message '^Tolvane 2000$')" "System Information Is Unavailable At This Time" "no system overview"
box=$(e2e_windows '^Tolvane 2000$' | tail -n 1)
[ "$box" != "$win" ] || e2e_fail "no message box"
e2e_keys "$box" Return
e2e_wait_window '^About Tolvane 2000$' >/dev/null
deadline=$((SECONDS + E2E_TIMEOUT))
while [ "$(e2e_windows '^Tolvane 2000$' | wc -l)" -gt 1 ]; do
    [ $SECONDS -lt $deadline ] || e2e_fail "the message did not close"
    sleep 0.1
done
e2e_keys "$about" Escape
e2e_wait_gone '^About '
e2e_close_window "$win"
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"
e2e_pass

