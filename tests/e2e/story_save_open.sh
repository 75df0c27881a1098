#!/usr/bin/env bash
# A small program typed in, saved through the save dialog by typing a path, changed, then Open of
# another file answered Yes (the change is saved first), and the first file opened again: on disk and
# in the editor it is exactly what was typed.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

first="$E2E_TMP/files/dir with spaces/Prog.java"
mkdir -p "$(dirname "$first")"
other=$(e2e_java_file Other.java $'class Other {\r\n\tint y;\r\n}\r\n')

e2e_start_app
win=$(e2e_wait_window '^Tolvane 2000$')
# The editor indents the line after a brace by itself, and takes the indent back for the closing brace.
# The editor indents the line after a brace by itself, and takes the indent back for the closing brace.
e2e_type_text "$win" $'class Prog {\nint x = 1;\n}'
e2e_expect_editor 'class Prog {\r\n\tint x = 1;\r\n}' "typed text in the editor"
# A screen reader asking where a character typed at the very end would go gets a place on screen, and
# the program, with the text, is still there.
a11y_expect '^Tolvane' extents '-?[0-9]+ -?[0-9]+ [1-9][0-9]* [1-9][0-9]*' --role text --name Editor --offset end
e2e_expect_editor 'class Prog {\r\n\tint x = 1;\r\n}' "the text after a question about the end"

# File > Save... on an untitled document asks for a name.
e2e_menu "$win" f 'Save...'
e2e_file_dialog '^Save As$' "$first"
e2e_expect_title "$win" "Tolvane 1.0- $first"
e2e_expect_file "$first" 'class Prog {\r\n\tint x = 1;\r\n}\r\n' "saved file"

# A change, then File > Open...: the question names the file, Yes saves it before the open dialog.
e2e_keys "$win" ctrl+End
e2e_type_text "$win" $'\n// changed'
e2e_menu "$win" f 'Open...'
e2e_expect_eq "$(e2e_message '^Save File\?$')" "Would you like to save $first?" "question before Open"
e2e_answer '^Save File\?$' alt+y
e2e_expect_saved "$first" 'class Prog {\r\n\tint x = 1;\r\n}\r\n// changed\r\n' "file saved on Yes"
e2e_file_dialog '^Open$' "$other"
e2e_expect_title "$win" "Tolvane 1.0- $other"
e2e_expect_editor 'class Other {\r\n\tint y;\r\n}\r\n' "the other file in the editor"

# Nothing changed since: Open (the toolbar's, this time) asks nothing and brings the first file back whole.
a11y_click '^Tolvane' --role 'push button' --name Open
e2e_file_dialog '^Open$' "$first"
e2e_expect_title "$win" "Tolvane 1.0- $first"
e2e_expect_editor 'class Prog {\r\n\tint x = 1;\r\n}\r\n// changed\r\n' "the first file reopened intact"
e2e_expect_file "$first" 'class Prog {\r\n\tint x = 1;\r\n}\r\n// changed\r\n' "first file on disk"
e2e_expect_file "$other" 'class Other {\r\n\tint y;\r\n}\r\n' "other file untouched"

e2e_close_window "$win"
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"
e2e_pass
