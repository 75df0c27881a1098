#!/usr/bin/env bash
# Completion with the real JDK: in a method, "s.len" and Ctrl+Space become "s.length()" (the only
# name that fits is inserted at once); a "." typed after a name brings the list by itself, Enter
# takes the first name, and a method that takes arguments leaves the caret in its parentheses with
# the parameter hint below.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

command -v javac >/dev/null || e2e_fail "javac is missing (scripts/install-deps: default-jdk-headless)"
head=$'public class Hi {\r\n\tvoid f() {\r\n\t\tString s = "";\r\n\t\t'
tail=$'\r\n\t}\r\n}\r\n'
file=$(e2e_java_file Hi.java "$head$tail")
main='^Tolvane 1\.0- '

# on_screen TEXT WHAT: the whole screen, read by OCR, shows TEXT (the list and the hint are windows
# of their own, above the editor).
on_screen() {
    local want seen="" shot="$E2E_TMP/screen.png" deadline=$((SECONDS + E2E_TIMEOUT))
    want=$(printf '%s' "$1" | e2e_ocr_letters)
    while :; do
        import -window root "$shot" 2>/dev/null && convert "$shot" -resize 300% -colorspace Gray "$shot" 2>/dev/null \
            && seen=$(tesseract "$shot" - 2>/dev/null || true)
        [[ "$(printf '%s' "$seen" | e2e_ocr_letters)" != *"$want"* ]] || break
        [ $SECONDS -lt $deadline ] || e2e_fail "$2: '$1' is not on screen; OCR read: $(printf '%s' "$seen" | tr '\n' ' ')"
        sleep 0.5
    done
    e2e_log "ok: on screen: $2"
}

e2e_start_app "$file"
win=$(e2e_wait_window "$main")
a11y_expect_state . checked yes --role 'menu item' --name 'Complete Automatically'
# The check's first answer: the compile service is running and warm.
a11y_expect "$main" description 'No errors' --role label --name 'Compiler check' --timeout 60

e2e_keys "$win" ctrl+Home Down Down Down End
e2e_type "$win" 's.len'
e2e_keys "$win" ctrl+space
e2e_expect_editor "${head}s.length()$tail" 's.len and Ctrl+Space give s.length()'

e2e_type "$win" '; s.'
on_screen 'charAt(int) : char' 'the list after the dot'
e2e_screenshot completion-list
e2e_type "$win" 'subs'
e2e_keys "$win" Return
e2e_expect_editor "${head}s.length(); s.substring()$tail" 'Enter takes the first name that fits'
on_screen 'substring(int, int)' 'the parameter hint'
e2e_type "$win" '1, '
sleep 1.5 # the hint follows the caret after the pause: the second argument
e2e_screenshot completion-hint
e2e_keys "$win" Escape

e2e_close_window "$win"
e2e_answer '^Save File\?$' alt+n
e2e_wait_exit
e2e_pass
