#!/usr/bin/env bash
# Remakes the screenshots in docs/ from the Release build, on a virtual 1024x768 screen with openbox.
#
#   docs/make-gallery.sh              builds the Release binary (make build) and uses it
#   docs/make-gallery.sh path/to/tolvane
#
# Shots whose window does not show up are skipped with a note, the others are still taken.
# Needs xvfb-run, openbox, xdotool, ImageMagick and javac (scripts/install-deps installs them).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=$ROOT/docs

if [ "${1:-}" = "--on-display" ]; then
    BIN=$2
    WORK=$3
else
    if [ -n "${1:-}" ]; then
        BIN=$(realpath "$1")
    else
        make -C "$ROOT" build >&2
        BIN=$ROOT/build/release/src/tolvane
    fi
    # A fixed place, because its path shows in the window titles.
    WORK=/tmp/tolvane-gallery
    rm -rf "$WORK"
    mkdir -p "$WORK"
    trap 'rm -rf "$WORK"' EXIT
    xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display "$BIN" "$WORK"
    exit $?
fi

# ---- From here on we run inside the virtual display. ----------------------------------------------

export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=$WORK/runtime
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

openbox --sm-disable >/dev/null 2>&1 &
OPENBOX=$!
APP=
cleanup() {
    if [ -n "$APP" ]; then kill "$APP" 2>/dev/null || true; fi
    kill "$OPENBOX" 2>/dev/null || true
}
trap cleanup EXIT
sleep 1

cat >"$WORK/Greeting.java" <<'EOF'
import java.applet.Applet;
import java.awt.Color;
import java.awt.Graphics;

// Greets the visitor and counts how often the applet has been painted.
public class Greeting extends Applet {
	private int paints;

	public void init() {
		setBackground(Color.white);
	}

	public void paint(Graphics g) {
		paints++;
		g.setColor(Color.blue);
		g.drawString("Hello from Tolvane!", 20, 30);
		g.setColor(Color.black);
		g.drawString("Painted " + paints + " times", 20, 50);
	}
}
EOF

cat >"$WORK/Counter.java" <<'EOF'
public class Counter {
	public static void main(String[] args) {
		int total = 0
		for (int i = 1; i <= 10; i++) {
			total += i;
		}
		System.out.println("Total: " + total);
	}
}
EOF

note() { echo "make-gallery: $*" >&2; }

# shot NAME: the whole screen, reduced to few colours so the PNG stays small.
shot() {
    sleep 0.7
    import -window root -silent "$WORK/$1.raw.png"
    convert "$WORK/$1.raw.png" -strip +dither -colors 96 "PNG8:$OUT/$1.png"
    note "wrote docs/$1.png ($(stat -c %s "$OUT/$1.png") bytes)"
}

# wait_window TITLE-REGEX: the id of the visible window with that title, or nothing after 10 s.
wait_window() {
    timeout 10 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true
}

start_app() {
    (cd "$WORK" && exec "$BIN" "$1") >"$WORK/tolvane.log" 2>&1 &
    APP=$!
    MAIN=$(wait_window "^Tolvane")
    if [ -z "$MAIN" ]; then
        note "the main window did not appear; log:"
        cat "$WORK/tolvane.log" >&2
        exit 1
    fi
    xdotool windowactivate --sync "$MAIN" 2>/dev/null || true
    sleep 1
}

stop_app() {
    kill "$APP" 2>/dev/null || true
    wait "$APP" 2>/dev/null || true
    APP=
}

focus_main() {
    xdotool windowactivate --sync "$MAIN" 2>/dev/null || true
    sleep 0.3
}

# dialog KEYS TITLE-REGEX NAME [TEXT]: opens a dialog with KEYS, types TEXT into it, takes the shot,
# closes it with Esc.
dialog() {
    local keys=$1 title=$2 name=$3 text=${4:-}
    focus_main
    # shellcheck disable=SC2086  # KEYS is a list of key names
    xdotool key --delay 250 $keys
    local id
    id=$(wait_window "$title")
    if [ -z "$id" ]; then
        note "skipped $name: no window titled /$title/ appeared"
        xdotool key Escape Escape
        return
    fi
    if [ -n "$text" ]; then
        xdotool type --delay 40 "$text"
    fi
    shot "$name"
    xdotool key --window "$id" Escape 2>/dev/null || xdotool key Escape
    sleep 0.5
}

start_app "$WORK/Greeting.java"
# The caret on a line of the body, so the status bar has something to say.
xdotool key ctrl+Home Down Down Down Down Down Down Down Down Down Down Down Down Down End
shot main-window

dialog "ctrl+f" "Find$" find-dialog "drawString"
dialog "alt+f Down Return" "^New Java Applet$" applet-wizard "Scroller"
dialog "alt+h Return" "^About " about-box
dialog "alt+t Down Return" "^Tolvane Compiler Help$" compiler-help
# A change, then File > New: the question names the file.
focus_main
xdotool key ctrl+End
xdotool type --delay 40 "// changed"
dialog "alt+f Return" "^Save File\\?$" save-question
stop_app

# The compiler's output for a file with an error. javac needs a few seconds to start.
start_app "$WORK/Counter.java"
focus_main
xdotool key --delay 250 alt+t Return
sleep 8
shot compiler-output
stop_app
