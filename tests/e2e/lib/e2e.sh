# End-to-end test helpers: drive the real tolvane binary on an X display (Xvfb) with xdotool.
#
# A story is a bash script that sources this file and is run by ctest under `xvfb-run -a`:
#
#   #!/usr/bin/env bash
#   source "$(dirname "$0")/lib/e2e.sh"
#   e2e_init "$@"                      # $1: the tolvane binary
#   file=$(e2e_java_file Hello.java 'class Hello {}')
#   e2e_start_app "$file"
#   win=$(e2e_wait_window "Tolvane 1.0- ")
#   e2e_expect_eq "$(e2e_title "$win")" "Tolvane 1.0- $file" "window title"
#   e2e_close_window "$win"
#   e2e_wait_exit
#   e2e_pass
#
# Every failure (e2e_fail, a failed expectation, a timeout) takes a screenshot into $E2E_ARTIFACTS,
# prints the application's output and ends the story with status 1. The application is always
# stopped when the story ends, whatever the reason.

set -euo pipefail

E2E_TIMEOUT=${E2E_TIMEOUT:-20}   # seconds to wait for a window or an exit
E2E_NAME=$(basename "${0%.*}")
E2E_APP_PID=""
E2E_WM_PID=""
E2E_TMP=""
E2E_APP_STATUS=""

e2e_log() { printf '[%s] %s\n' "$E2E_NAME" "$*" >&2; }

# e2e_init TOLVANE_BINARY: checks the tools, makes a scratch folder, starts a window manager.
e2e_init() {
    TOLVANE=${1:?usage: $0 path/to/tolvane}
    [ -x "$TOLVANE" ] || { echo "not an executable: $TOLVANE" >&2; exit 1; }
    [ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: run under xvfb-run -a" >&2; exit 1; }
    command -v xdotool >/dev/null || { echo "xdotool is missing (scripts/install-deps)" >&2; exit 1; }
    E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-e2e-$E2E_NAME.XXXXXX")
    E2E_ARTIFACTS=${E2E_ARTIFACTS:-$E2E_TMP/artifacts}
    mkdir -p "$E2E_ARTIFACTS"
    trap e2e_cleanup EXIT
    # The program under test gets a home of its own: no settings leak in from the machine.
    export HOME="$E2E_TMP/home" XDG_CONFIG_HOME="$E2E_TMP/home/.config" XDG_RUNTIME_DIR="$E2E_TMP/runtime"
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    export QT_QPA_PLATFORM=xcb NO_AT_BRIDGE=1
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
    if command -v openbox >/dev/null; then
        e2e_start_wm
    fi
}

# e2e_start_wm: starts openbox and waits until it manages the display. Openbox is ready once it
# announces itself on the root window. A story never goes on without it: the program would map its
# window unmanaged, with no title bar and no close box, and closing would destroy the window instead
# of asking the program. With stories starting and ending side by side, openbox now and then cannot
# open a display that has just come up ("Failed to open the display") while every later client can,
# so it is started again until the deadline.
e2e_start_wm() {
    local deadline=$((SECONDS + E2E_TIMEOUT)) starts=0
    : >"$E2E_TMP/openbox.log"
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
        if [ -z "$E2E_WM_PID" ] || ! kill -0 "$E2E_WM_PID" 2>/dev/null; then
            [ $starts -ne 1 ] || e2e_log "openbox ended before managing the display: $(tr '\n' ' ' <"$E2E_TMP/openbox.log")"
            openbox >>"$E2E_TMP/openbox.log" 2>&1 &
            E2E_WM_PID=$!
            starts=$((starts + 1))
        fi
        if [ $SECONDS -ge $deadline ]; then
            echo "openbox not managing the display after ${E2E_TIMEOUT}s and $starts starts: $(tail -n 3 "$E2E_TMP/openbox.log")" >&2
            exit 1
        fi
        sleep 0.1
    done
    [ $starts -le 1 ] || e2e_log "openbox manages the display after $starts starts"
}

e2e_cleanup() {
    local status=$?
    if [ -n "$E2E_APP_PID" ] && kill -0 "$E2E_APP_PID" 2>/dev/null; then
        kill "$E2E_APP_PID" 2>/dev/null || true
        sleep 0.3
        kill -9 "$E2E_APP_PID" 2>/dev/null || true
    fi
    if [ -n "$E2E_WM_PID" ]; then
        kill "$E2E_WM_PID" 2>/dev/null || true
    fi
    wait 2>/dev/null || true
    if [ "$status" -eq 0 ] && [ -n "$E2E_TMP" ]; then
        rm -rf "$E2E_TMP"
    elif [ -n "$E2E_TMP" ]; then
        e2e_log "scratch folder kept: $E2E_TMP"
    fi
}

# e2e_java_file NAME CONTENTS: writes a file into the scratch folder and prints its path.
e2e_java_file() {
    local path="$E2E_TMP/files/$1"
    mkdir -p "$(dirname "$path")"
    printf '%s' "$2" >"$path"
    printf '%s\n' "$path"
}

# e2e_start_app [ARGS...]: starts tolvane in the background; its output goes to $E2E_TMP/app.log.
e2e_start_app() {
    "$TOLVANE" "$@" >"$E2E_TMP/app.log" 2>&1 &
    E2E_APP_PID=$!
    e2e_log "started tolvane $* (pid $E2E_APP_PID)"
}

# e2e_wait_window NAME_REGEX [TIMEOUT]: waits until a visible window of the application whose
# title matches shows, prints its id. The newest such window when there are several.
e2e_wait_window() {
    local regex=$1 timeout=${2:-$E2E_TIMEOUT} ids
    local deadline=$((SECONDS + timeout))
    while :; do
        ids=$(xdotool search --all --onlyvisible --pid "$E2E_APP_PID" --name "$regex" 2>/dev/null || true)
        if [ -n "$ids" ]; then
            printf '%s\n' "$ids" | tail -n 1
            return 0
        fi
        if ! kill -0 "$E2E_APP_PID" 2>/dev/null; then
            e2e_fail "tolvane exited while waiting for a window named /$regex/"
        fi
        if [ $SECONDS -ge $deadline ]; then
            e2e_fail "no window named /$regex/ within ${timeout}s"
        fi
        sleep 0.1
    done
}

# e2e_windows NAME_REGEX: the ids of the application's visible windows whose title matches, one a line.
e2e_windows() {
    xdotool search --all --onlyvisible --pid "$E2E_APP_PID" --name "$1" 2>/dev/null || true
}

# e2e_title WINDOW: the window's title.
e2e_title() { xdotool getwindowname "$1"; }

# e2e_focus WINDOW: raises the window and gives it the keyboard; retries while the window manager
# is still settling (a busy machine can take its time).
e2e_focus() {
    local win=$1 deadline=$((SECONDS + E2E_TIMEOUT))
    while :; do
        if [ -z "$E2E_WM_PID" ] || ! xdotool windowactivate --sync "$win" >/dev/null 2>&1; then
            xdotool windowfocus --sync "$win" >/dev/null 2>&1 || true
        fi
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$win" ] && return 0
        [ $SECONDS -lt $deadline ] || e2e_fail "window $win never got the keyboard"
        sleep 0.2
    done
}

# e2e_keys WINDOW KEY...: presses keys in the window (xdotool names: ctrl+s, Return, Escape, alt+f).
e2e_keys() {
    local win=$1
    shift
    e2e_focus "$win"
    xdotool key --clearmodifiers --delay 30 "$@"
}

# e2e_type WINDOW TEXT: types text into the window.
e2e_type() {
    e2e_focus "$1"
    xdotool type --clearmodifiers --delay 10 -- "$2"
}

# e2e_clipboard: the text on the clipboard (needs xclip).
e2e_clipboard() { xclip -o -selection clipboard 2>/dev/null || true; }

# e2e_screenshot NAME: the whole screen into $E2E_ARTIFACTS/NAME.png (needs ImageMagick's import).
e2e_screenshot() {
    local file="$E2E_ARTIFACTS/$1.png"
    if command -v import >/dev/null; then
        import -window root "$file" 2>/dev/null && e2e_log "screenshot: $file"
    fi
}

# e2e_close_window WINDOW: closes it the way the close box does (through the window manager),
# pressing again while the window stays, unless the application shows another window (a question).
e2e_close_window() {
    local win=$1 deadline=$((SECONDS + E2E_TIMEOUT)) before
    before=$(e2e_windows . | wc -l)
    while :; do
        if [ -n "$E2E_WM_PID" ]; then
            e2e_keys "$win" alt+F4
        else
            xdotool windowclose "$win"
        fi
        for _ in $(seq 1 20); do
            kill -0 "$E2E_APP_PID" 2>/dev/null || return 0
            xdotool getwindowname "$win" >/dev/null 2>&1 || return 0
            [ "$(e2e_windows . | wc -l)" -le "$before" ] || return 0
            sleep 0.1
        done
        [ $SECONDS -lt $deadline ] || e2e_fail "window $win did not close"
    done
}

# e2e_wait_exit [TIMEOUT]: waits for the application to end; its exit status goes to E2E_APP_STATUS.
e2e_wait_exit() {
    local timeout=${1:-$E2E_TIMEOUT}
    local deadline=$((SECONDS + timeout))
    while kill -0 "$E2E_APP_PID" 2>/dev/null; do
        [ $SECONDS -lt $deadline ] || e2e_fail "tolvane still running after ${timeout}s"
        sleep 0.1
    done
    E2E_APP_STATUS=0
    wait "$E2E_APP_PID" || E2E_APP_STATUS=$?
    E2E_APP_PID=""
}

# e2e_fail MESSAGE: screenshot, the application's output, status 1.
e2e_fail() {
    e2e_log "FAIL: $*"
    e2e_screenshot "$E2E_NAME-failure"
    if [ -s "$E2E_TMP/app.log" ]; then
        e2e_log "tolvane output:"
        sed 's/^/    /' "$E2E_TMP/app.log" >&2
    fi
    exit 1
}

# e2e_expect_eq ACTUAL EXPECTED WHAT
e2e_expect_eq() {
    [ "$1" == "$2" ] || e2e_fail "$3: expected '$2', got '$1'"
    e2e_log "ok: $3"
}

e2e_pass() { e2e_log "PASS"; }
