#!/usr/bin/env bash
# Find from the keyboard: forwards and backwards, with and without Match Case, the message when the
# text is not there, and F3 / Shift+F3 going on to the next occurrence. The selection is read back
# through the accessibility bus.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

#          0     6    11    17   22
text='alpha Beta ALPHA beta alpha'
file=$(e2e_java_file Find.java "$text")
find_title='^Tolvane 1\.0- Find$'

expect_selection() { a11y_expect '^Tolvane 1\.0- /' selection "$1" --role text --name Editor; }
open_find() {
    e2e_keys "$win" ctrl+f
    finder=$(e2e_wait_window "$find_title")
    a11y_expect_focus "$find_title" text 'Find What'
}
# not_found TEXT: the message names the text; OK closes it and the find dialog is gone too.
not_found() {
    e2e_expect_eq "$(e2e_message '^Tolvane 2000$')" "Cannot find \"$1\"" "not-found message"
    e2e_answer '^Tolvane 2000$' Return
    e2e_wait_gone "$find_title"
}

e2e_start_app "$file"
win=$(e2e_wait_window '^Tolvane 1\.0- ')
expect_selection '0 0'

# First opening: nothing typed, Find disabled, Match Case off, Up chosen.
open_find
a11y_expect_text "$find_title" '' --role text --name 'Find What'
a11y_expect_state "$find_title" enabled no --role 'push button' --name Find
a11y_expect_state "$find_title" checked no --role 'check box' --name 'Match Case'
a11y_expect_state "$find_title" checked yes --role 'radio button' --name Up
e2e_type "$finder" alpha
a11y_expect_state "$find_title" enabled yes --role 'push button' --name Find
e2e_keys "$finder" alt+d
a11y_expect_state "$find_title" checked yes --role 'radio button' --name Down
e2e_keys "$finder" Return
e2e_wait_gone "$find_title"
expect_selection '0 5'

# Find again in the reopened dialog goes on to the next occurrence, ignoring case; so does F3.
open_find
a11y_expect_text "$find_title" 'alpha' --role text --name 'Find What'
e2e_keys "$finder" Return
e2e_wait_gone "$find_title"
expect_selection '11 16'
e2e_keys "$win" F3
expect_selection '22 27'
e2e_keys "$win" F3
not_found alpha
expect_selection '22 27'
# Shift+F3 the other way.
e2e_keys "$win" shift+F3
expect_selection '11 16'

# Match Case, upwards: ALPHA is passed over.
open_find
a11y_expect_text "$find_title" 'alpha' --role text --name 'Find What'
e2e_keys "$finder" alt+c
a11y_expect_state "$find_title" checked yes --role 'check box' --name 'Match Case'
e2e_keys "$finder" alt+u
a11y_expect_state "$find_title" checked yes --role 'radio button' --name Up
e2e_keys "$finder" alt+f
e2e_wait_gone "$find_title"
expect_selection '0 5'
e2e_keys "$win" F3
not_found alpha
expect_selection '0 5'

# A new text, downwards with Match Case: Beta, but not beta.
open_find
e2e_keys "$finder" alt+d
# Alt+N takes the focus back to the text box (its label's mnemonic), selecting what it holds.
e2e_keys "$finder" alt+n
a11y_expect_focus "$find_title" text 'Find What'
e2e_type "$finder" Beta
a11y_expect_text "$find_title" 'Beta' --role text --name 'Find What'
a11y_expect_state "$find_title" checked yes --role 'check box' --name 'Match Case'
e2e_keys "$finder" Return
expect_selection '6 10'
e2e_keys "$win" F3
not_found Beta
# Without Match Case the search goes on to beta.
open_find
e2e_keys "$finder" alt+c
a11y_expect_state "$find_title" checked no --role 'check box' --name 'Match Case'
e2e_keys "$finder" Return
e2e_wait_gone "$find_title"
expect_selection '17 21'
# Back up past Beta with Shift+F3, then the toolbar's Find reopens the dialog and Esc closes it.
e2e_keys "$win" shift+F3
expect_selection '6 10'
a11y_click '^Tolvane 1\.0- /' --role 'push button' --name Find
e2e_wait_window "$find_title" >/dev/null
a11y_expect_text "$find_title" 'Beta' --role text --name 'Find What'
e2e_keys "$(e2e_wait_window "$find_title")" Escape
e2e_wait_gone "$find_title"
expect_selection '6 10'
# A long text that is nowhere: the message shows it whole, on the screen too.
open_find
long=someLongIdentifierThatAppearsNowhereInThisLittleFileAtAll1234
e2e_keys "$finder" ctrl+a
e2e_type "$finder" "$long"
a11y_expect_text "$find_title" "$long" --role text --name 'Find What'
e2e_keys "$finder" Return
not_found "$long"
e2e_expect_eq "$(od -An -c "$file" | tr -s ' \n' ' ')" "$(printf '%s' "$text" | od -An -c | tr -s ' \n' ' ')" "file untouched"

e2e_close_window "$win"
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"
e2e_pass
