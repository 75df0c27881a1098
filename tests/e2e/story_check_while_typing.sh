#!/usr/bin/env bash
# Check While Typing with the real JDK: a saved class shows "No errors" in the status bar; a number
# deleted makes an error that is underlined and counted shortly after the typing stops; typing the
# number again clears both. The compile service ends with the program.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

command -v javac >/dev/null || e2e_fail "javac is missing (scripts/install-deps: default-jdk-headless)"
file=$(e2e_java_file Hi.java $'public class Hi {\r\n\tint x = 1;\r\n}\r\n')
main='^Tolvane 1\.0- '
count() { a11y_expect "$main" description "$1" --role label --name 'Compiler check' "${@:2}"; }

# Pixels of the error squiggle's colour in the editor.
squiggle_pixels() {
    local x y w h shot="$E2E_TMP/shot.png"
    read -r x y w h <<<"$(a11y_get "$main" extents --role text --name Editor)"
    import -window root "$shot"
    convert "$shot" -crop "${w}x${h}+${x}+${y}" +repage -fill black +opaque '#e01010' \
        -fill white -opaque '#e01010' -format '%[fx:round(mean*w*h)]' info:
}
# expect_squiggle yes|no: waits until the squiggle shows, or has gone.
expect_squiggle() {
    local deadline=$((SECONDS + E2E_TIMEOUT)) n
    while :; do
        n=$(squiggle_pixels)
        if [ "$1" = yes ]; then [ "$n" -eq 0 ] || break; else [ "$n" -gt 0 ] || break; fi
        [ $SECONDS -lt $deadline ] || e2e_fail "squiggle expected: $1, error-coloured pixels: $n"
        sleep 0.1
    done
    e2e_log "ok: squiggle $1 ($n pixels)"
}

e2e_start_app "$file"
win=$(e2e_wait_window "$main")
a11y_expect_state . checked yes --role 'menu item' --name 'Check While Typing'
# The first check starts the compiler's virtual machine.
count 'No errors' --timeout 60
service=$(pgrep -P "$E2E_APP_PID" java) || e2e_fail "no compile service running under the program"

# Line 2 ends with "1;": delete the 1.
e2e_keys "$win" ctrl+Home Down End Left BackSpace
a11y_expect "$main" description 'Line 2, Col 10' --role label --name 'Caret position'
start=$(date +%s%N)
count '1 error'
elapsed=$((($(date +%s%N) - start) / 1000000))
e2e_log "error counted ${elapsed} ms after the last key"
[ "$elapsed" -le 5000 ] || e2e_fail "the error took ${elapsed} ms to show"
expect_squiggle yes

e2e_type "$win" 1
count 'No errors'
expect_squiggle no

e2e_close_window "$win"
e2e_answer '^Save File\?$' alt+n
e2e_wait_exit
deadline=$((SECONDS + E2E_TIMEOUT))
while kill -0 "$service" 2>/dev/null; do
    [ $SECONDS -lt $deadline ] || e2e_fail "the compile service outlived the program"
    sleep 0.1
done
e2e_pass
