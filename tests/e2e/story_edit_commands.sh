#!/usr/bin/env bash
# Cut, Copy, Paste, Select All and Date and Time, first from the keyboard (shortcuts and the Edit menu),
# then with the mouse (the toolbar's Cut, Copy and Paste, the Edit menu): the editor's text and
# selection as the accessibility bus reports them, and the clipboard as another program reads it.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init
command -v xclip >/dev/null || e2e_fail "xclip is missing (scripts/install-deps)"

# expect_clipboard TEXT WHAT: waits until another program reads TEXT from the clipboard.
expect_clipboard() {
    local deadline=$((SECONDS + E2E_TIMEOUT))
    until [ "$(e2e_clipboard)" = "$1" ]; do
        [ $SECONDS -lt $deadline ] || e2e_fail "$2: clipboard holds '$(e2e_clipboard)', expected '$1'"
        sleep 0.1
    done
    e2e_log "ok: $2"
}
expect_selection() { a11y_expect '^Tolvane' selection "$1" --role text --name Editor; }

# expect_date_time_after PREFIX SINCE: the editor holds PREFIX followed by a date and time between
# SINCE (seconds since the epoch, read just before the command) and now, to the precision the text
# has (a format without seconds names the minute). A busy machine may take seconds between the two.
expect_date_time_after() {
    local prefix=$1 since=$2 text inserted at now step=1
    now=$(date +%s)
    text=$(e2e_editor_text)
    [[ "$text" == "$prefix"* ]] || e2e_fail "date and time: the text '$text' does not begin with '$prefix'"
    inserted=${text#"$prefix"}
    at=$(date -d "$inserted" +%s 2>/dev/null) || e2e_fail "date and time: '$inserted' is not a date and time"
    [[ "$inserted" =~ [0-9]:[0-9][0-9]:[0-9][0-9] ]] || step=60
    [ "$at" -ge $((since - since % step)) ] && [ "$at" -le "$now" ] \
        || e2e_fail "date and time: inserted '$inserted', not between $(date -d "@$since") and $(date -d "@$now")"
    e2e_log "ok: date and time '$inserted'"
}

e2e_start_app
win=$(e2e_wait_window '^Tolvane 2000$')
e2e_type_text "$win" 'xabcx'
e2e_expect_editor 'xabcx' "typed"

# --- from the keyboard ---
e2e_keys "$win" Left shift+Left shift+Left shift+Left
expect_selection '1 4'
e2e_keys "$win" ctrl+x
expect_clipboard abc "Ctrl+X puts the selection on the clipboard"
e2e_expect_editor 'xx' "Ctrl+X removes it"
expect_selection '1 1'
e2e_keys "$win" ctrl+v
e2e_expect_editor 'xabcx' "Ctrl+V inserts at the caret"
expect_selection '4 4'
e2e_keys "$win" shift+Left shift+Left ctrl+c
expect_clipboard bc "Ctrl+C copies the selection"
e2e_expect_editor 'xabcx' "Ctrl+C leaves the text"
expect_selection '2 4'
e2e_keys "$win" ctrl+a
expect_selection '0 5'
e2e_keys "$win" ctrl+v
e2e_expect_editor 'bc' "Ctrl+V replaces the whole text Ctrl+A selected"
# Another program's text comes in as well.
printf 'from outside' | xclip -i -selection clipboard
expect_clipboard 'from outside' "clipboard set by another program"
e2e_keys "$win" shift+Insert
e2e_expect_editor 'bcfrom outside' "Shift+Insert pastes another program's text"
e2e_keys "$win" ctrl+a ctrl+Insert
expect_clipboard 'bcfrom outside' "Ctrl+Insert copies"
e2e_keys "$win" End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
e2e_expect_editor 'bc' "back to two letters"
since=$(date +%s)
e2e_menu "$win" e 'Date and Time'
a11y_expect '^Tolvane' text 'bc.+' --role text --name Editor
expect_date_time_after 'bc' "$since"
e2e_keys "$win" ctrl+a
e2e_menu "$win" e 'Select All'
e2e_keys "$win" shift+Delete
e2e_expect_editor '' "Shift+Delete cuts the whole text"

# --- with the mouse: the toolbar, and the Edit menu ---
e2e_type_text "$win" 'one two'
e2e_keys "$win" shift+Home
expect_selection '0 7'
a11y_click '^Tolvane' --role 'push button' --name Cut
expect_clipboard 'one two' "toolbar Cut"
e2e_expect_editor '' "toolbar Cut empties the editor"
a11y_click '^Tolvane' --role 'push button' --name Paste
e2e_expect_editor 'one two' "toolbar Paste"
a11y_click '^Tolvane' --role 'push button' --name Paste
e2e_expect_editor 'one twoone two' "toolbar Paste again"
e2e_keys "$win" shift+Left shift+Left shift+Left
a11y_click '^Tolvane' --role 'push button' --name Copy
expect_clipboard 'two' "toolbar Copy"
e2e_expect_editor 'one twoone two' "toolbar Copy leaves the text"
a11y_click '^Tolvane' --role 'menu item' --name Edit
a11y_expect '^Tolvane' states '.*showing.*' --role 'menu item' --name 'Select All'
a11y_click '^Tolvane' --role 'menu item' --name 'Select All'
expect_selection '0 14'
since=$(date +%s)
a11y_click '^Tolvane' --role 'menu item' --name Edit
a11y_expect '^Tolvane' states '.*showing.*' --role 'menu item' --name 'Date and Time'
a11y_click '^Tolvane' --role 'menu item' --name 'Date and Time'
a11y_expect '^Tolvane' text '[^o].+' --role text --name Editor
expect_date_time_after '' "$since"

# Everything above changed the untitled document: leaving asks, and No writes nothing.
e2e_close_window "$win"
e2e_answer '^Save File\?$' alt+n
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"
e2e_pass
