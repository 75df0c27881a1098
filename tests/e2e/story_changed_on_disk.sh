#!/usr/bin/env bash
# Another program changes the open file. Unmodified, the editor takes the change by itself (and Undo
# takes it back); with unsaved changes a bar says so, Save asks before writing over the other
# program's work, and Reload takes the file. A deleted file is said so, and Save writes it again.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

file=$(e2e_java_file A.java $'class A {\r\n}\r\n')
e2e_start_app "$file"
win=$(e2e_wait_window "^Tolvane 1\.0- ")
e2e_expect_editor 'class A {\r\n}\r\n' "the file in the editor"

# --- unmodified: a formatter appends a line, then another program replaces the file by a rename ---
printf '// formatted\r\n' >>"$file"
e2e_expect_editor 'class A {\r\n}\r\n// formatted\r\n' "an append is taken in"
printf 'class A {\r\n\tint x;\r\n}\r\n' >"$file.new"
mv "$file.new" "$file"
e2e_expect_editor 'class A {\r\n\tint x;\r\n}\r\n' "a rename over the file is taken in"
e2e_keys "$win" ctrl+z
e2e_expect_editor 'class A {\r\n}\r\n// formatted\r\n' "Undo takes the reload back"
e2e_keys "$win" ctrl+y
e2e_expect_editor 'class A {\r\n\tint x;\r\n}\r\n' "Redo brings it again"

# --- unsaved changes: the bar, and Save asks ---
e2e_keys "$win" ctrl+End
e2e_type_text "$win" '// mine'
printf '// theirs\r\n' >>"$file"
a11y_expect '^Tolvane' name ".*$(a11y_quote "$file") has been changed by another program.*" --role label --name '.*changed by another program.*'
e2e_expect_editor 'class A {\r\n\tint x;\r\n}\r\n// mine' "the typed text stays"
e2e_menu "$win" f 'Save...'
question=$(e2e_message '^File Changed on Disk$')
[[ $question == "$file has been changed by another program"* ]] || e2e_fail "unexpected question: $question"
e2e_answer '^File Changed on Disk$' Escape
e2e_expect_file "$file" 'class A {\r\n\tint x;\r\n}\r\n// theirs\r\n' "Cancel writes nothing"

# Reload from the keyboard takes the file; Undo brings the typed text back, and Save then writes it
# without asking: the user has the file's latest version in the undo history.
e2e_keys "$win" alt+r
e2e_expect_editor 'class A {\r\n\tint x;\r\n}\r\n// theirs\r\n' "Reload takes the file"
e2e_keys "$win" ctrl+z
e2e_expect_editor 'class A {\r\n\tint x;\r\n}\r\n// mine' "Undo brings the typed text back"
e2e_menu "$win" f 'Save...'
e2e_expect_saved "$file" 'class A {\r\n\tint x;\r\n}\r\n// mine\r\n' "Save wrote the typed text"
[ -z "$(e2e_windows '^File Changed on Disk$')" ] || e2e_fail "Save asked after a reload"

# --- deleted: the bar says so, Save writes the file again ---
rm "$file"
a11y_expect '^Tolvane' name '.*deleted or moved away.*' --role label --name '.*deleted or moved away.*'
e2e_menu "$win" f 'Save...'
e2e_expect_saved "$file" 'class A {\r\n\tint x;\r\n}\r\n// mine\r\n' "Save wrote the deleted file again"

e2e_close_window "$win"
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"
e2e_pass
