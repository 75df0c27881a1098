#!/usr/bin/env bash
# Recovery and the file on disk, through kill -9. A file changed by another program between the crash
# and the recovery is named in the offer, the bar shows, and Save asks before it overwrites; the
# recovered text is watched from then on. A large file that reloaded itself after another program
# changed it is recovered against its new contents.
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

# --- changed between the crash and the recovery ---
file=$(e2e_java_file A.java $'class A {\n}\n')
e2e_start_app "$file"
win=$(e2e_wait_window "^Tolvane 1\.0- ")
e2e_keys "$win" ctrl+End
e2e_type_text "$win" '// mine'
wait_record '// mine'
crash
printf '// theirs\n' >>"$file"
e2e_start_app
text=$(e2e_message '^Recover Unsaved Changes\?$')
[[ $text == *"changed or removed by another program since"* ]] || e2e_fail "the offer does not tell of the change: $text"
e2e_answer '^Recover Unsaved Changes\?$' alt+y
win=$(e2e_wait_window "^Tolvane 1\.0- ")
e2e_expect_editor 'class A {\n}\n// mine' "the recovered text"
a11y_expect '^Tolvane' name ".*$(a11y_quote "$file") has been changed by another program.*" --role label --name '.*changed by another program.*'
e2e_screenshot recovery-changed-since
e2e_keys "$win" ctrl+s
question=$(e2e_message '^File Changed on Disk$')
[[ $question == "$file has been changed by another program"* ]] || e2e_fail "unexpected question: $question"
e2e_answer '^File Changed on Disk$' Escape
e2e_expect_file "$file" 'class A {\n}\n// theirs\n' "Cancel writes nothing"
# Keep my version: Save then writes the recovered text without asking again.
e2e_keys "$win" alt+k
e2e_keys "$win" ctrl+s
e2e_expect_saved "$file" 'class A {\n}\n// mine\n' "Save after Keep my version writes the recovered text"
[ -z "$(e2e_windows '^File Changed on Disk$')" ] || e2e_fail "Save asked after Keep my version"
e2e_close_window "$win"
e2e_wait_exit

# --- a large file that reloaded itself ---
big="$E2E_TMP/files/Big.java"
for ((i = 0; i < 110000; i++)); do printf '        System.out.println("line %06d");\n' "$i"; done >"$big"
e2e_start_app "$big"
win=$(e2e_wait_window "^Tolvane 1\.0- ")
sleep 1
{ printf '// changed by another program\n'; cat "$big"; } >"$big.new" && mv "$big.new" "$big"
sleep 3 # the unmodified document takes the new contents
e2e_keys "$win" ctrl+Home
e2e_type_text "$win" 'X'
wait_record 'SNAP'
crash
e2e_start_app
e2e_answer '^Recover Unsaved Changes\?$' alt+y
win=$(e2e_wait_window "^Tolvane 1\.0- ")
[ -z "$(e2e_windows '^Tolvane 2000$')" ] || e2e_fail "the recovery was refused: $(a11y '^Tolvane 2000$' get name --role label --name '.+' 2>/dev/null)"
# What the save must write, taken before the save can overwrite the file it is made from.
expected="$E2E_TMP/expected.java"
{ printf 'X'; cat "$big"; } >"$expected"
e2e_keys "$win" ctrl+s
deadline=$((SECONDS + E2E_TIMEOUT))
until cmp -s "$big" "$expected"; do
    [ $SECONDS -lt $deadline ] || e2e_fail "the saved file is not the reloaded file with the X typed: $(head -c 60 "$big")"
    sleep 0.2
done
e2e_log "ok: the large file recovered against its reloaded contents"
e2e_close_window "$win"
e2e_wait_exit
e2e_pass
