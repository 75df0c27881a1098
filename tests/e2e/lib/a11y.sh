# Reading the program's windows back through the accessibility bus (AT-SPI), for stories that need more
# than titles: message texts, labels, check states, focus, the status bar, the editor's text.
#
#   source "$(dirname "$0")/lib/e2e.sh"
#   source "$(dirname "$0")/lib/a11y.sh"
#   e2e_init "$@"
#   a11y_init                                   # before e2e_start_app
#   e2e_start_app
#   win=$(e2e_wait_window '^Tolvane 2000$')
#   a11y_expect 'Tolvane' text 'Line 1, Col 1' --role label --name 'Caret position'
#
# Needs dbus-launch (dbus-x11), at-spi2-core and Debian's python3-pyatspi (scripts/install-deps).

A11Y_PY=${A11Y_PY:-/usr/bin/python3}
A11Y_TOOL="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/atspi.py"
A11Y_BUS_PID=""
A11Y_LAUNCHER_PID=""

# a11y_init: a session bus of the story's own with the accessibility bus on it; the program started
# afterwards puts its windows there.
a11y_init() {
    command -v dbus-launch >/dev/null || e2e_fail "dbus-launch is missing (scripts/install-deps: dbus-x11)"
    [ -x /usr/libexec/at-spi-bus-launcher ] || e2e_fail "at-spi-bus-launcher is missing (at-spi2-core)"
    "$A11Y_PY" -c 'import pyatspi' 2>/dev/null || e2e_fail "$A11Y_PY has no pyatspi (python3-pyatspi)"
    local vars
    vars=$(dbus-launch --sh-syntax --exit-with-x11) || e2e_fail "dbus-launch failed"
    eval "$vars"
    A11Y_BUS_PID=${DBUS_SESSION_BUS_PID:-}
    export DBUS_SESSION_BUS_ADDRESS
    # Started from a subshell so that it is no job of the story's shell (the harness waits for its jobs).
    A11Y_LAUNCHER_PID=$(
        /usr/libexec/at-spi-bus-launcher --launch-immediately >"$E2E_TMP/at-spi.log" 2>&1 &
        echo $!
    )
    unset NO_AT_BRIDGE
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
    # The harness's exit trap runs first (it stops the program), then the buses go.
    trap 'a11y_status=$?; (exit $a11y_status); e2e_cleanup; a11y_stop' EXIT
    # The bus is ready once the registry answers.
    local deadline=$((SECONDS + E2E_TIMEOUT))
    until "$A11Y_PY" -c 'import pyatspi; pyatspi.Registry.getDesktop(0).childCount' >/dev/null 2>&1; do
        [ $SECONDS -lt $deadline ] || e2e_fail "the accessibility bus did not come up"
        sleep 0.2
    done
}

a11y_stop() {
    [ -z "$A11Y_LAUNCHER_PID" ] || kill "$A11Y_LAUNCHER_PID" 2>/dev/null || true
    [ -z "$A11Y_BUS_PID" ] || kill "$A11Y_BUS_PID" 2>/dev/null || true
}

# a11y WINDOW_REGEX COMMAND [WHAT] [--role R] [--name REGEX] [--index N] [--expect REGEX] [--timeout S]:
# runs lib/atspi.py on the program's windows whose title matches; prints what it prints.
a11y() {
    local window=$1
    shift
    E2E_APP_PID=$E2E_APP_PID "$A11Y_PY" "$A11Y_TOOL" "$@" --pid "$E2E_APP_PID" --window "$window"
}

# a11y_get WINDOW_REGEX WHAT [selectors...]: one value (text, name, states, selection, caret, extents,
# count); waits for the object to be there, and fails the story if it never is.
a11y_get() {
    local window=$1 what=$2 value
    shift 2
    value=$(a11y "$window" get "$what" "$@" 2>"$E2E_TMP/a11y.err") \
        || e2e_fail "no $what of [$*] in /$window/: $(cat "$E2E_TMP/a11y.err")$(a11y_gone)"
    printf '%s' "$value"
}

# a11y_expect WINDOW_REGEX WHAT EXPECTED_REGEX [selectors...]: waits until the value matches in full.
a11y_expect() {
    local window=$1 what=$2 expected=$3 value
    shift 3
    value=$(a11y "$window" get "$what" "$@" --expect "$expected" 2>"$E2E_TMP/a11y.err") \
        || e2e_fail "$what of [$*] in /$window/ never matched /$expected/: $(cat "$E2E_TMP/a11y.err")$(a11y_gone)"
    e2e_log "ok: $what of [$*] is ${value@Q}"
}

# a11y_gone: a note for a failure message when the program is no longer running.
a11y_gone() {
    if [ -n "$E2E_APP_PID" ] && ! kill -0 "$E2E_APP_PID" 2>/dev/null; then
        local status=0
        wait "$E2E_APP_PID" 2>/dev/null || status=$?
        printf ' (tolvane has ended, status %s)' "$status"
    fi
}

# a11y_expect_text WINDOW_REGEX EXACT_TEXT [selectors...]: waits until the text is exactly that.
a11y_expect_text() {
    local window=$1 expected=$2
    shift 2
    a11y_expect "$window" text "$(a11y_quote "$expected")" "$@"
}

# a11y_expect_focus WINDOW_REGEX ROLE NAME: waits until the keyboard focus is on that object.
a11y_expect_focus() {
    local window=$1 role=$2 name=$3 value
    value=$(a11y "$window" focus --expect "$(a11y_quote "$role|$name")" 2>"$E2E_TMP/a11y.err") \
        || e2e_fail "the focus never went to $role '$name': $(cat "$E2E_TMP/a11y.err")$(a11y_gone)"
    e2e_log "ok: focus on $role '$name'"
}

# a11y_expect_state WINDOW_REGEX STATE yes|no [selectors...]: waits until the object has (yes) or lacks (no) the state.
a11y_expect_state() {
    local window=$1 state=$2 want=$3 regex
    shift 3
    if [ "$want" = yes ]; then regex="(.* )?$state( .*)?"; else regex="((?!(^| )$state( |$)).)*"; fi
    a11y_expect "$window" states "$regex" "$@"
}

# a11y_click WINDOW_REGEX [selectors...]: clicks the middle of the object with the mouse.
a11y_click() {
    local window=$1 x y w h
    shift
    read -r x y w h <<<"$(a11y_get "$window" extents "$@")"
    x=$((x + w / 2)) y=$((y + h / 2))
    # mousemove --sync waits for a move, so it would hang when the pointer is there already.
    if [ "$(xdotool getmouselocation | cut -d' ' -f1-2)" != "x:$x y:$y" ]; then
        xdotool mousemove --sync "$x" "$y"
    fi
    xdotool click 1
}

# a11y_click_text WINDOW_REGEX TEXT [selectors...]: clicks on TEXT in a multi-line text view.
a11y_click_text() {
    local window=$1 find=$2
    shift 2
    a11y "$window" click-text --find "$find" "$@" 2>"$E2E_TMP/a11y.err" \
        || e2e_fail "could not click on '$find': $(cat "$E2E_TMP/a11y.err")"
}

# a11y_quote TEXT: the text as a regular expression that matches only itself.
# Line ends and tabs are written as \r, \n and \t, so that the shell keeps them.
a11y_quote() {
    "$A11Y_PY" -c 'import re, sys
print(re.escape(sys.argv[1]).replace("\\\r", r"\r").replace("\\\n", r"\n").replace("\\\t", r"\t"), end="")' "$1"
}
