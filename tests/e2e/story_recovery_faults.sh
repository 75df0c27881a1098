#!/usr/bin/env bash
# Recovery where it used to fail. A UTF-16 file killed with unsaved changes comes back exactly and is
# saved as UTF-16 again. A kill in the middle of adding a big paste to the record brings back the text
# flushed before it. A state folder that cannot hold the record (here a plain file) is told once,
# and editing and saving go on. A middle-click paste of a line separator into a text shown in pieces
# gets the same message as every other paste.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

export XDG_STATE_HOME="$E2E_TMP/state"
records="$XDG_STATE_HOME/tolvane"

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

# --- UTF-16 little endian with a byte order mark and CRLF line ends ---
wide="$E2E_TMP/files/Wide.java"
mkdir -p "$E2E_TMP/files"
{ printf '\xff\xfe'; printf 'class Wide {\r\n}\r\n' | iconv -f UTF-8 -t UTF-16LE; } >"$wide"
e2e_start_app "$wide"
win=$(e2e_wait_window "^Tolvane 1\.0- ")
e2e_keys "$win" ctrl+End
e2e_type_text "$win" '// wide and kept'
wait_record 'wide and kept'
crash
e2e_start_app
text=$(e2e_message '^Recover Unsaved Changes\?$')
[[ $text == *"without saving the changes to $wide."* ]] || e2e_fail "the offer does not name $wide: $text"
e2e_answer '^Recover Unsaved Changes\?$' alt+y
win=$(e2e_wait_window "^Tolvane 1\.0- ")
e2e_expect_editor 'class Wide {\r\n}\r\n// wide and kept' "the UTF-16 file's changes are back"
e2e_menu "$win" f 'Save...'
expected=$({ printf '\xff\xfe'; printf 'class Wide {\r\n}\r\n// wide and kept\r\n' | iconv -f UTF-8 -t UTF-16LE; } | od -An -v -t x1 | tr -d ' \n' | sed 's/../\\x&/g')
e2e_expect_saved "$wide" "$expected" "saved as UTF-16 again"
e2e_close_window "$win"
e2e_wait_exit

# --- kill -9 while a big paste is being added to the record ---
torn=$(e2e_java_file Torn.java $'class Torn {\n}\n')
e2e_start_app "$torn"
win=$(e2e_wait_window "^Tolvane 1\.0- ")
e2e_keys "$win" ctrl+End
e2e_type_text "$win" '// flushed'
wait_record '// flushed'
record=$(ls "$records"/*.record)
for ((i = 0; i < 200000; i++)); do printf '        int pasted%06d = %d;\n' "$i" "$i"; done >"$E2E_TMP/paste.txt"
xclip -selection clipboard -loops 1 <"$E2E_TMP/paste.txt" &
sleep 0.5
# Kills the program the moment the record starts to grow, in the middle of the append if it can.
python3 - "$record" "$E2E_APP_PID" <<'PY' &
import os, signal, sys
path, pid = sys.argv[1], int(sys.argv[2])
start = os.stat(path).st_size
while os.stat(path).st_size == start:
    pass
os.kill(pid, signal.SIGKILL)
PY
killer=$!
e2e_keys "$win" ctrl+v
wait "$killer"
wait "$E2E_APP_PID" 2>/dev/null || true
E2E_APP_PID=""
e2e_log "record when killed: $(stat -c %s "$record") bytes"
e2e_start_app
text=$(e2e_message '^Recover Unsaved Changes\?$')
e2e_answer '^Recover Unsaved Changes\?$' alt+y
win=$(e2e_wait_window "^Tolvane 1\.0- ")
[ -z "$(e2e_windows '^Tolvane 2000$')" ] || e2e_fail "the recovery was refused"
if [[ $text == *"The very last changes were being recorded when it ended"* ]]; then
    e2e_log "killed in the middle of the append: the state before it comes back"
    e2e_expect_editor 'class Torn {\n}\n// flushed' "the text flushed before the paste"
    e2e_close_window "$win"
    e2e_answer '^Save File\?$' alt+n
else
    e2e_log "the append was whole when killed: everything comes back"
    e2e_keys "$win" ctrl+s
    expected="$E2E_TMP/expected.java"
    { printf 'class Torn {\n}\n// flushed'; cat "$E2E_TMP/paste.txt"; } >"$expected"
    deadline=$((SECONDS + E2E_TIMEOUT))
    until cmp -s "$torn" "$expected"; do
        [ $SECONDS -lt $deadline ] || e2e_fail "the saved file is not the text with the paste"
        sleep 0.2
    done
    e2e_close_window "$win"
fi
e2e_wait_exit

# --- a state folder that is a plain file ---
export XDG_STATE_HOME="$E2E_TMP/plain"
touch "$XDG_STATE_HOME"
plain=$(e2e_java_file Plain.java $'class Plain {\n}\n')
e2e_start_app "$plain"
win=$(e2e_wait_window "^Tolvane 1\.0- ")
e2e_keys "$win" ctrl+End
e2e_type_text "$win" '// one'
text=$(e2e_message '^Unsaved Changes Not Protected$')
[[ $text == *"not protected against a crash"*"Not a directory"* ]] || e2e_fail "the warning does not say why: $text"
e2e_screenshot recovery-not-protected
e2e_answer '^Unsaved Changes Not Protected$' Return
e2e_type_text "$win" ' two'
sleep 3 # past the pause after which the record would be written again
[ -z "$(e2e_windows '^Unsaved Changes Not Protected$')" ] || e2e_fail "the warning came a second time"
e2e_keys "$win" ctrl+s
e2e_expect_saved "$plain" 'class Plain {\n}\n// one two\n' "saving goes on"
e2e_close_window "$win"
e2e_wait_exit

# --- a middle-click paste of a line separator into a text shown in pieces ---
export XDG_STATE_HOME="$E2E_TMP/state"
long="$E2E_TMP/files/Long.java"
{ printf 'class Long {\n// '; head -c 40000 /dev/zero | tr '\0' 'a'; printf '\n}\n'; } >"$long"
e2e_start_app "$long"
win=$(e2e_wait_window "^Tolvane 1\.0- ")
printf 'P\xe2\x80\xa8Q' | xclip -selection primary -loops 1 &
sleep 0.5
e2e_focus "$win"
eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove --window "$win" $((WIDTH / 2)) $((HEIGHT / 3)) click 2
text=$(e2e_message '^Tolvane 2000$')
[[ $text == *"The line separators typed or pasted were left out."* ]] || e2e_fail "no word about the separator: $text"
e2e_answer '^Tolvane 2000$' Return
e2e_pass
