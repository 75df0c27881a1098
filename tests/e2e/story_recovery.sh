#!/usr/bin/env bash
# Unsaved work survives kill -9: the next start offers it, Yes brings it back unsaved under its own
# name and format, and saving then writes exactly what was typed. A named UTF-8 file (recovered by a
# start without a file), an untitled document, and a Windows-1252 file with CR line ends (recovered by
# a start that opens that very file).
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

export XDG_STATE_HOME="$E2E_TMP/state"
records="$XDG_STATE_HOME/tolvane"

# wait_record TEXT: waits until the running program's recovery record holds TEXT.
wait_record() {
    local deadline=$((SECONDS + E2E_TIMEOUT))
    until cat "$records"/*.record 2>/dev/null | grep -qaF -- "$1"; do
        [ $SECONDS -lt $deadline ] || e2e_fail "no recovery record with '$1' in $records"
        sleep 0.2
    done
}

crash() {
    kill -9 "$E2E_APP_PID"
    wait "$E2E_APP_PID" 2>/dev/null || true
    E2E_APP_PID=""
}

# recover NAME: answers Yes to the offer of the changes to NAME.
recover() {
    local text
    text=$(e2e_message '^Recover Unsaved Changes\?$')
    [[ $text == *"without saving the changes to $1."* ]] || e2e_fail "the offer does not name $1: $text"
    e2e_answer '^Recover Unsaved Changes\?$' alt+y
}

leave() {
    e2e_close_window "$1"
    e2e_wait_exit
    e2e_expect_eq "$(find "$records" -name '*.record' | wc -l)" 0 "no record left after saving and leaving"
}

# --- a named file, recovered by a start without arguments ---
named=$(e2e_java_file Named.java $'class Named {\r\n}\r\n')
e2e_start_app "$named"
win=$(e2e_wait_window "^Tolvane 1\.0- ")
e2e_keys "$win" ctrl+End
e2e_type_text "$win" '// typed then lost'
wait_record 'typed then lost'
crash
e2e_start_app
recover "$named"
win=$(e2e_wait_window "^Tolvane 1\.0- ")
e2e_expect_title "$win" "Tolvane 1.0- $named"
e2e_expect_editor 'class Named {\r\n}\r\n// typed then lost' "the named file's changes are back"
e2e_expect_file "$named" 'class Named {\r\n}\r\n' "the file untouched by the recovery"
e2e_menu "$win" f 'Save...'
e2e_expect_saved "$named" 'class Named {\r\n}\r\n// typed then lost\r\n' "the recovered text saved"
leave "$win"

# --- an untitled document ---
e2e_start_app
win=$(e2e_wait_window '^Tolvane 2000$')
e2e_type_text "$win" 'never had a name'
wait_record 'never had a name'
crash
e2e_start_app
recover Untitled
win=$(e2e_wait_window '^Tolvane 1\.0- Untitled$')
e2e_expect_editor 'never had a name' "the untitled text is back"
e2e_menu "$win" f 'Save...'
e2e_file_dialog '^Save As$' "$E2E_TMP/files/Saved.java"
e2e_expect_saved "$E2E_TMP/files/Saved.java" 'never had a name\r\n' "the untitled text saved"
leave "$win"

# --- Windows-1252 with CR line ends, recovered by a start that opens the file ---
legacy=$(e2e_java_file Legacy.java $'class Legacy {\r// caf\xe9\r}\r')
e2e_start_app "$legacy"
win=$(e2e_wait_window "^Tolvane 1\.0- ")
e2e_keys "$win" ctrl+End
e2e_type_text "$win" $'// kept\nint x;'
wait_record 'int x;'
crash
e2e_start_app "$legacy"
recover "$legacy"
win=$(e2e_wait_window "^Tolvane 1\.0- ")
e2e_expect_editor 'class Legacy {\r// caf\xc3\xa9\r}\r// kept\rint x;' "the Windows-1252 file's changes are back"
e2e_expect_file "$legacy" 'class Legacy {\r// caf\xe9\r}\r' "the Windows-1252 file untouched"
e2e_menu "$win" f 'Save...'
e2e_expect_saved "$legacy" 'class Legacy {\r// caf\xe9\r}\r// kept\rint x;\r' "saved as Windows-1252 with CR line ends"
leave "$win"
e2e_pass
