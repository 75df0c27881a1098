#!/usr/bin/env bash
# Everything from the keyboard, and every control named for a screen reader: each menu opens with its
# mnemonic and every item in it is reached with the arrow keys; the dialogs' mnemonics do what their
# captions promise; Tab visits the controls in the designed order; no control a user can reach lacks an
# accessible name.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

main='^Tolvane 2000$'
find_title='^Tolvane 1\.0- Find$'
wizard_title='^New Java Applet$'
about_title='^About Tolvane 2000$'

# expect_named WINDOW_REGEX: no control of the window lacks an accessible name.
expect_named() {
    local missing
    missing=$(a11y "$1" unnamed 2>&1) || e2e_fail "controls without an accessible name in /$1/: $missing"
    e2e_log "ok: every control in /$1/ has a name"
}

# expect_menu KEY ITEM...: alt+KEY opens the menu with its first item highlighted; Down visits the
# items in this order and comes back round to the first; Escape closes it.
expect_menu() {
    local key=$1 item
    shift
    e2e_keys "$win" "alt+$key"
    for item in "$@" "$1"; do
        a11y_expect "$main" states '(.* )?focused( .*)?' --role 'menu item' --name "$(a11y_quote "$item")"
        xdotool key --clearmodifiers Down
    done
    # The first Escape closes the menu and leaves the menu bar with the keyboard, the second gives it
    # back to the editor. Pressed together, the second can reach the menu while it is still closing.
    xdotool key --clearmodifiers Escape
    a11y_expect_focus "$main" 'menu bar' ''
    xdotool key --clearmodifiers Escape
    a11y_expect_focus "$main" text Editor
    e2e_log "ok: menu alt+$key: $*"
}

# expect_tab_order WINDOW WINDOW_REGEX KEY "role|name"...: pressing KEY (Tab or shift+Tab) from the
# first control visits the rest in order and comes back to the first.
expect_tab_order() {
    local window=$1 regex=$2 key=$3 stop
    shift 3
    a11y_expect_focus "$regex" "${1%%|*}" "${1#*|}"
    for stop in "${@:2}" "$1"; do
        e2e_keys "$window" "$key"
        a11y_expect_focus "$regex" "${stop%%|*}" "${stop#*|}"
    done
    e2e_log "ok: $key order in /$regex/: $*"
}

e2e_start_app
win=$(e2e_wait_window "$main")
a11y_expect_focus "$main" text Editor
expect_named "$main"

expect_menu f 'New' 'New Window' 'New Applet...' 'Open...' 'Open in New Window...' 'Save...' 'Save As...' 'Print...' 'Exit'
expect_menu e 'Undo' 'Redo' 'Cut' 'Copy' 'Paste' 'Find...' 'Find Next' 'Replace...' 'Go to Line...' 'Select All' 'Date and Time' \
    'Comment or Uncomment Lines' 'Complete' 'Parameter Hints'
expect_menu v 'Zoom In' 'Zoom Out' 'Normal Size' 'Interactions'
expect_menu t 'Compile With Sun JDK 1.2' 'Run' 'Next Error' 'Previous Error' 'Click Here for Help with the Compiler' 'Compiler Output' 'Check While Typing' \
    'Complete Automatically'
expect_menu h 'About...'

# The compiler help note, from the keyboard; Return closes it.
e2e_menu "$win" t 'Click Here for Help with the Compiler'
help=$(e2e_message '^Tolvane Compiler Help$')
[[ "$help" == "To use the compiler option with Tolvane, you must already have a JDK (Perferably from Sun) installed and functioning"* ]] \
    || e2e_fail "compiler help reads '$help'"
expect_named '^Tolvane Compiler Help$'
e2e_answer '^Tolvane Compiler Help$' Return
a11y_expect_focus "$main" text Editor

# --- the find dialog ---
e2e_type_text "$win" 'some text'
e2e_keys "$win" ctrl+f
finder=$(e2e_wait_window "$find_title")
expect_named "$find_title"
# Find stays disabled, so out of the tab order, until there is text to find.
expect_tab_order "$finder" "$find_title" Tab 'text|Find What' 'check box|Match Case' 'radio button|Up' 'push button|Cancel'
e2e_type "$finder" text
expect_tab_order "$finder" "$find_title" Tab 'text|Find What' 'check box|Match Case' 'radio button|Up' \
    'push button|Find' 'push button|Cancel'
expect_tab_order "$finder" "$find_title" shift+Tab 'text|Find What' 'push button|Cancel' 'push button|Find' \
    'radio button|Up' 'check box|Match Case'
# The mnemonics of the captions.
e2e_keys "$finder" alt+d
a11y_expect_focus "$find_title" 'radio button' Down
a11y_expect_state "$find_title" checked yes --role 'radio button' --name Down
e2e_keys "$finder" alt+c
a11y_expect_focus "$find_title" 'check box' 'Match Case'
a11y_expect_state "$find_title" checked yes --role 'check box' --name 'Match Case'
e2e_keys "$finder" alt+c
a11y_expect_state "$find_title" checked no --role 'check box' --name 'Match Case'
e2e_keys "$finder" alt+u
a11y_expect_state "$find_title" checked yes --role 'radio button' --name Up
e2e_keys "$finder" alt+n
a11y_expect_focus "$find_title" text 'Find What'
e2e_keys "$finder" alt+u alt+f
e2e_wait_gone "$find_title"
a11y_expect '^Tolvane' selection '5 9' --role text --name Editor

# --- the applet wizard: the name box has the focus, the tab order starts at OK ---
e2e_menu "$win" f 'New Applet...'
wizard=$(e2e_wait_window "$wizard_title")
expect_named "$wizard_title"
a11y_expect_focus "$wizard_title" text 'Applet Name'
e2e_keys "$wizard" shift+Tab shift+Tab
expect_tab_order "$wizard" "$wizard_title" Tab 'push button|OK' 'push button|Cancel' 'text|Applet Name' 'text|Imports'
# Esc does not cancel this wizard; its Cancel button does, from the keyboard.
e2e_keys "$wizard" Escape
sleep 0.3
[ -n "$(e2e_windows "$wizard_title")" ] || e2e_fail "Esc closed the wizard"
e2e_keys "$wizard" Tab
a11y_expect_focus "$wizard_title" 'push button' Cancel
e2e_keys "$wizard" space
e2e_wait_gone "$wizard_title"
e2e_expect_title "$win" "Tolvane 2000"

# --- the about box ---
e2e_keys "$win" alt+h Return
about=$(e2e_wait_window "$about_title")
expect_named "$about_title"
expect_tab_order "$about" "$about_title" Tab 'push button|OK' 'push button|System Info'
e2e_keys "$about" Return
e2e_wait_gone "$about_title"

# --- the compiler output panel: named, and reached from the keyboard with F6 (Tab is a character in
# the editor) ---
e2e_menu "$win" t 'Compiler Output'
a11y_expect "$main" states '(.* )?showing( .*)?' --role text --name 'Compiler output'
expect_named "$main"
e2e_keys "$win" F6
a11y_expect_focus "$main" text 'Compiler output'
e2e_keys "$win" F6
a11y_expect_focus "$main" text Editor

e2e_keys "$win" alt+f x
e2e_answer '^Save File\?$' alt+n
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"
e2e_pass
