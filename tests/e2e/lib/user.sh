# What a user does, in steps a story can say in one line: menus from the keyboard, the file dialog,
# answering a message box, reading a file's bytes. Source after lib/e2e.sh and lib/a11y.sh.

# A command of the story that fails unexpectedly is a failure like any other: screenshot and log.
trap 'e2e_fail "stopped at line $LINENO: $BASH_COMMAND"' ERR

# e2e_type_text WINDOW TEXT: types text, a line end as the Return key (xdotool's own "\n" is a key
# that the editor ignores).
e2e_type_text() {
    local win=$1 text=$2 line first=1
    e2e_focus "$win"
    # The here-string adds a line end of its own, so a text ending in one yields a last, empty line.
    while IFS= read -r line; do
        [ $first = 1 ] || xdotool key --clearmodifiers Return
        first=0
        [ -z "$line" ] || xdotool type --clearmodifiers --delay 10 -- "$line"
    done <<<"$text"
}

# e2e_wait_gone NAME_REGEX [TIMEOUT]: waits until no window of the program has a matching title.
e2e_wait_gone() {
    local regex=$1 timeout=${2:-$E2E_TIMEOUT}
    local deadline=$((SECONDS + timeout))
    while [ -n "$(e2e_windows "$regex")" ]; do
        kill -0 "$E2E_APP_PID" 2>/dev/null || return 0
        [ $SECONDS -lt $deadline ] || e2e_fail "a window named /$regex/ is still open after ${timeout}s"
        sleep 0.1
    done
}

# e2e_menu WINDOW MENU_KEY ITEM_NAME: opens a menu of the menu bar with its mnemonic (alt+MENU_KEY),
# goes down to the item with the arrow keys and presses Return once the accessibility bus shows that
# item highlighted. Items without a mnemonic are reached this way from the keyboard.
e2e_menu() {
    local win=$1 key=$2 item=$3 position downs=()
    position=$(a11y_get . position --role 'menu item' --name "$(a11y_quote "$item")")
    for _ in $(seq 1 "$position"); do downs+=(Down); done
    # The menu opens with its first item highlighted; the keys queue up behind it in order.
    e2e_keys "$win" "alt+$key" "${downs[@]}"
    a11y_expect . states '(.* )?focused( .*)?' --role 'menu item' --name "$(a11y_quote "$item")"
    xdotool key --clearmodifiers Return
}

# e2e_file_dialog TITLE_REGEX PATH: in the open or save dialog, types the path into the file name box
# and presses Return; waits until the dialog has gone.
e2e_file_dialog() {
    local title=$1 path=$2 dialog
    dialog=$(e2e_wait_window "$title")
    a11y_expect_focus "$title" text 'File name:'
    e2e_keys "$dialog" ctrl+a
    e2e_type "$dialog" "$path"
    e2e_keys "$dialog" Return
    # On a busy machine the name field's completion list can come up just as Return is pressed, and
    # take it: the list closes and the dialog stays, as it would for a user, who presses Return again.
    local tries=0
    while [ "$tries" -lt 2 ] && [ "$(e2e_windows "$title")" = "$dialog" ]; do
        for _ in $(seq 1 30); do
            [ "$(e2e_windows "$title")" = "$dialog" ] || break
            sleep 0.1
        done
        [ "$(e2e_windows "$title")" = "$dialog" ] || break
        e2e_log "the dialog /$title/ is still open: Return again"
        e2e_keys "$dialog" Return
        tries=$((tries + 1))
    done
    e2e_wait_gone "$title"
}

# e2e_message TITLE_REGEX: waits for a message box with that title; prints its text. The text must
# also be on the screen, not only on the accessibility bus: its last words are read back by OCR.
e2e_message() {
    local title=$1 text
    e2e_wait_window "$title" >/dev/null
    text=$(a11y "$title" get name --window-role 'alert|dialog' --role label --name '.+' --expect '.+' 2>/dev/null) \
        || e2e_fail "the message box /$title/ shows no text"
    e2e_expect_on_screen "$title" "$text" "message /$title/"
    printf '%s\n' "$text"
}

# e2e_ocr_letters: stdin as letters and digits only, lower case, with the shapes OCR mixes up made one.
e2e_ocr_letters() { tr '[:upper:]' '[:lower:]' | tr -d -c 'a-z0-9' | tr 'l1|0' 'iiio'; }

# e2e_expect_on_screen TITLE_REGEX TEXT WHAT: a screenshot of a window of the program with that title,
# read by OCR (tesseract), shows the last words of TEXT (at least ten letters of them), so a text that
# the window cuts short fails. Every window with the title is read: a message box can share its title
# with the main window.
e2e_expect_on_screen() {
    local title=$1 text=$2 what=$3 words=() want="" seen="" shot="$E2E_TMP/ocr.png" deadline win
    command -v tesseract >/dev/null || e2e_fail "tesseract is missing (scripts/install-deps)"
    read -r -a words <<<"$(printf '%s' "$text" | tr '/\r\n\t' '    ')"
    for ((i = ${#words[@]} - 1; i >= 0 && ${#want} < 10; i--)); do
        want=$(printf '%s' "${words[i]}" | e2e_ocr_letters)$want
    done
    deadline=$((SECONDS + E2E_TIMEOUT))
    while :; do
        for win in $(e2e_windows "$title"); do
            # Three times the size reads far better than the screen's own small print.
            import -window "$win" "$shot" 2>/dev/null && convert "$shot" -resize 300% -colorspace Gray "$shot" 2>/dev/null \
                || continue
            seen=$(tesseract "$shot" - 2>/dev/null || true)
            if [[ "$(printf '%s' "$seen" | e2e_ocr_letters)" == *"$want"* ]]; then
                e2e_log "ok: on screen: $what ends '${words[*]: -3}'"
                return 0
            fi
        done
        [ $SECONDS -lt $deadline ] || e2e_fail "$what: the screen does not show its end '${words[*]: -3}'; OCR read: $(printf '%s' "$seen" | tr '\n' ' ')"
        sleep 0.5
    done
}

# e2e_answer TITLE_REGEX KEY...: presses keys in the message box with that title and waits until it closes.
e2e_answer() {
    local title=$1 box
    shift
    box=$(e2e_wait_window "$title")
    e2e_keys "$box" "$@"
    e2e_wait_gone "$title"
}

# e2e_expect_file PATH EXPECTED_BYTES WHAT: the file holds exactly these bytes (printf %b escapes allowed),
# now. For a file nothing is writing: one left alone, or one the program wrote before it ended.
e2e_expect_file() {
    local path=$1 expected=$2 what=$3 want got
    [ -f "$path" ] || e2e_fail "$what: $path does not exist"
    want=$(printf '%b' "$expected" | od -An -c | tr -s ' \n' ' ')
    got=$(od -An -c "$path" | tr -s ' \n' ' ')
    e2e_expect_eq "$got" "$want" "$what"
}

# e2e_expect_saved PATH EXPECTED_BYTES WHAT [TIMEOUT]: waits until the file holds exactly these bytes
# (printf %b escapes allowed; CR, NUL and bytes that are not UTF-8 count as they are). A key press, a
# menu item or a dialog's Return has reached the program before the save it starts has written the
# file, so a save is checked with this rather than with e2e_expect_file.
e2e_expect_saved() {
    local path=$1 what=$3 timeout=${4:-$E2E_TIMEOUT} want deadline
    want=$(mktemp "$E2E_TMP/expected.XXXXXX")
    printf '%b' "$2" >"$want"
    deadline=$((SECONDS + timeout))
    until cmp -s -- "$path" "$want"; do
        if [ $SECONDS -ge $deadline ]; then
            [ -f "$path" ] || e2e_fail "$what: $path does not exist after ${timeout}s"
            e2e_fail "$what: after ${timeout}s, expected '$(od -An -c "$want" | tr -s ' \n' ' ')', got '$(od -An -c "$path" | tr -s ' \n' ' ')'"
        fi
        sleep 0.1
    done
    rm -f "$want"
    e2e_log "ok: $what"
}

# e2e_editor_text: the editor's whole text, read through the accessibility bus.
e2e_editor_text() { a11y_get '^Tolvane' text --role text --name Editor; }

# e2e_expect_editor TEXT WHAT: waits until the editor holds exactly TEXT (printf %b escapes allowed).
e2e_expect_editor() {
    local want
    want=$(printf '%bx' "$1")
    want=${want%x}
    a11y_expect '^Tolvane' text "$(a11y_quote "$want")" --role text --name Editor
    e2e_log "ok: $2"
}

# e2e_expect_title WINDOW TITLE: waits until the window's title is TITLE.
e2e_expect_title() {
    local win=$1 title=$2 deadline=$((SECONDS + E2E_TIMEOUT))
    until [ "$(e2e_title "$win" 2>/dev/null)" = "$title" ]; do
        [ $SECONDS -lt $deadline ] || e2e_fail "title: expected '$title', got '$(e2e_title "$win" 2>/dev/null)'"
        sleep 0.1
    done
    e2e_log "ok: title '$title'"
}
