#!/usr/bin/env bash
# The applet wizard with the name Hello, saved through the save dialog and compiled with the real javac:
# Hello.class appears next to the source. Then a broken line, saved and compiled again: the error shows
# as a link in the Compiler Output panel, and following it (a click; from the keyboard F6, the arrow keys
# and Enter) puts the caret on the broken line, at javac's column.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

real_javac=$(command -v javac) || e2e_fail "javac is missing (scripts/install-deps: default-jdk-headless)"
# javac as the program starts it, with each start and its arguments written down.
mkdir -p "$E2E_TMP/bin"
cat >"$E2E_TMP/bin/javac" <<SCRIPT
#!/bin/sh
printf 'javac' >>"$E2E_TMP/javac.log"
printf ' [%s]' "\$@" >>"$E2E_TMP/javac.log"
printf '\n' >>"$E2E_TMP/javac.log"
exec "$real_javac" "\$@"
SCRIPT
chmod +x "$E2E_TMP/bin/javac"
export PATH="$E2E_TMP/bin:$PATH"

source_file="$E2E_TMP/files/Hello.java"
mkdir -p "$(dirname "$source_file")"
applet='import java.awt.*;\r\nimport java.applet.*;\r\n\r\npublic class Hello extends Applet\r\n{\r\n\tpublic void paint(Graphics g)\r\n\t{\r\n\r\n\t}\r\n}'
main='^Tolvane 1\.0- '
output_text() { a11y_get "$main" text --role text --name 'Compiler output'; }

e2e_start_app
win=$(e2e_wait_window '^Tolvane 2000$')

e2e_menu "$win" f 'New Applet...'
wizard=$(e2e_wait_window '^New Java Applet$')
a11y_expect_focus '^New Java Applet$' text 'Applet Name'
e2e_type "$wizard" Hello
e2e_keys "$wizard" Return
e2e_wait_gone '^New Java Applet$'
e2e_expect_title "$win" "Tolvane 1.0- Hello"
e2e_expect_editor "$applet" "the applet's source"

e2e_menu "$win" f 'Save...'
e2e_file_dialog '^Save As$' "$source_file"
e2e_expect_title "$win" "Tolvane 1.0- $source_file"
e2e_expect_file "$source_file" "$applet"'\r\n' "saved applet"

e2e_menu "$win" t 'Compile With Sun JDK 1.2'
a11y_expect "$main" text '.*\[1\] finished with exit status 0.*' --role text --name 'Compiler output' --timeout 60
[ -s "$E2E_TMP/files/Hello.class" ] || e2e_fail "no Hello.class after compiling: $(output_text)"
e2e_log "ok: Hello.class written"
e2e_expect_eq "$(cat "$E2E_TMP/javac.log")" "javac [$source_file]" "javac started once, on the saved file"

# Break the empty body line (line 8), save without a dialog, compile again.
e2e_keys "$win" ctrl+Home Down Down Down Down Down Down Down
a11y_expect "$main" description 'Line 8, Col 1' --role label --name 'Caret position'
e2e_type "$win" 'int x = ;'
e2e_menu "$win" f 'Save...'
broken=${applet/'\t{\r\n\r\n'/'\t{\r\nint x = ;\r\n'}
e2e_expect_saved "$source_file" "$broken"'\r\n' "saved broken source"
rm -f "$E2E_TMP/files/Hello.class"
a11y_click "$main" --role 'push button' --name Compile
a11y_expect "$main" text '.*\[2\] finished with exit status 1.*' --role text --name 'Compiler output' --timeout 60
[[ "$(output_text)" == *"$source_file:8: error: "* ]] || e2e_fail "no error for line 8 in: $(output_text)"
[ ! -e "$E2E_TMP/files/Hello.class" ] || e2e_fail "a class file from a broken source"

# A click on the error line's link takes the caret to line 8, at the column javac points at (the ";"),
# and the keyboard back to the editor.
e2e_keys "$win" ctrl+Home
a11y_expect "$main" description 'Line 1, Col 1' --role label --name 'Caret position'
a11y_click_text "$main" "$source_file:8: error" --role text --name 'Compiler output'
a11y_expect "$main" description 'Line 8, Col 9' --role label --name 'Caret position'
a11y_expect "$main" caret 127 --role text --name Editor
a11y_expect_focus "$main" text 'Editor'

# From the keyboard: F6 into the panel, the caret up to the error line, Enter.
e2e_keys "$win" ctrl+Home
a11y_expect "$main" description 'Line 1, Col 1' --role label --name 'Caret position'
e2e_keys "$win" F6
a11y_expect_focus "$main" text 'Compiler output'
e2e_keys "$win" ctrl+End Home
text=$(output_text)
line_start=${text%%"$source_file:8: error"*}
line_start=${#line_start}
for _ in $(seq 1 12); do
    [ "$(a11y_get "$main" caret --role text --name 'Compiler output')" -gt "$line_start" ] || break
    e2e_keys "$win" Up
done
a11y_expect "$main" caret "$line_start" --role text --name 'Compiler output'
e2e_keys "$win" Return
a11y_expect "$main" description 'Line 8, Col 9' --role label --name 'Caret position'
a11y_expect_focus "$main" text 'Editor'
e2e_expect_eq "$(wc -l <"$E2E_TMP/javac.log")" 2 "javac started twice"

e2e_close_window "$win"
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"
e2e_pass
