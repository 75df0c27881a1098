#!/usr/bin/env python3
"""How soon after a far jump into a big Java file the screen shows its final colours.

Each editor runs in a private Xvfb display on the same generated file (open_bench's plausible Java).
Once it has opened the file and gone idle, Ctrl+End is pressed; from that moment the window is
captured (xwd) as fast as it goes until the jump has shown and the editor is idle again, and a last
capture is the screen as it finally is. "coloured after" is the time from the key to the first
capture from which on every capture looks like the last one (rows that differ only by the caret or
the clock in the status bar are forgiven: up to --rows of them). A capture takes about 40 ms (the
display is kept small for that), which is the figure's resolution; "captures" tells how many were
taken. "idle after" and "cpu" tell how long the editor worked on after the key, colouring in the
background included.

  --tolvane BIN      a Tolvane binary (Release build); give it twice with --label to compare two
  --scite            SciTE on the same file, in the same run (apt-get install scite)
  --rounds N         alternating rounds (each editor once a round); medians are reported

Usage: bench/far_jump_bench.py --tolvane build/rel/src/tolvane [--label after] [--tolvane OLD
       --label before] [--scite] [--size-mb 100] [--rounds 3] [--keep-shots DIR]
"""

import argparse
import os
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import open_bench  # noqa: E402
from open_bench import QUIET_CPU, QUIET_WINDOW, SAMPLE, cpu_seconds, generate_java  # noqa: E402

SCREEN = "1024x640x24"  # small, so that a capture is quick: the figure's resolution is one capture


def start_display(workdir):
    # Numbers apart from the other benchmarks', so that they may run side by side.
    return open_bench.start_display(workdir, SCREEN, range(140, 190))


def capture_rows(env, win):
    """The window's pixels as a list of row hashes (rows compare in C, which keeps captures cheap)."""
    raw = subprocess.run(["xwd", "-silent", "-id", win], env=env, capture_output=True).stdout
    if len(raw) < 100:
        return None
    header = struct.unpack(">25I", raw[:100])
    header_size, height, bytes_per_line, colours = header[0], header[5], header[12], header[19]
    start = header_size + colours * 12
    return [hash(raw[start + row * bytes_per_line:start + (row + 1) * bytes_per_line]) for row in range(height)]


def differing_rows(a, b):
    if a is None or b is None or len(a) != len(b):
        return 1 << 30
    return sum(1 for x, y in zip(a, b) if x != y)


def find_window(env, title_regex, proc, timeout):
    start = time.monotonic()
    while time.monotonic() - start < timeout:
        if proc.poll() is not None:
            raise RuntimeError(f"exited with {proc.returncode}")
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title_regex], env=env,
                               capture_output=True, text=True).stdout.split()
        if found:
            return found[0]
        time.sleep(0.05)
    raise RuntimeError("the window never showed")


class Idle:
    """Tells when a process has had a quiet spell (under QUIET_CPU in QUIET_WINDOW) since a moment."""

    def __init__(self, pid, start):
        self.pid, self.samples = pid, []
        self.start_cpu = cpu_seconds(pid)

    def check(self):
        now = time.monotonic()
        self.samples.append((now, cpu_seconds(self.pid)))
        while len(self.samples) >= 2 and now - self.samples[1][0] >= QUIET_WINDOW:
            self.samples.pop(0)
        if now - self.samples[0][0] >= QUIET_WINDOW and self.samples[-1][1] - self.samples[0][1] < QUIET_CPU:
            return self.samples[0]
        return None


def wait_idle(pid, timeout, quiet=1):
    """Waits for quiet spells in a row (an editor loading in the background may pause briefly)."""
    start = time.monotonic()
    for _ in range(quiet):
        idle = Idle(pid, time.monotonic())
        while not idle.check():
            if time.monotonic() - start > timeout:
                raise RuntimeError("never idle")
            time.sleep(SAMPLE)


def far_jump(command, title_regex, env, rows_forgiven, timeout, keep_shot=None):
    # A home of its own for every run: an editor that remembers where it was in the file (SciTE's
    # session) would open at the end already.
    home = tempfile.mkdtemp(prefix="home-", dir=env["HOME"])
    env = dict(env, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"))
    proc = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    try:
        win = find_window(env, title_regex, proc, timeout)
        wait_idle(proc.pid, timeout, quiet=5)
        subprocess.run(["xdotool", "windowactivate", "--sync", win], env=env)
        wait_idle(proc.pid, timeout, quiet=5)
        shown = capture_rows(env, win)
        cpu_start = cpu_seconds(proc.pid)
        captures = []
        idle = None
        start = time.monotonic()
        subprocess.run(["xdotool", "key", "--clearmodifiers", "ctrl+End"], env=env, check=True)
        done = None
        while done is None:
            rows = capture_rows(env, win)
            captures.append((time.monotonic() - start, rows))
            # Idle only counts once the jump has shown: a busy machine may not run the editor at all
            # for a while right after the key.
            if idle is None and differing_rows(rows, shown) > rows_forgiven:
                idle = Idle(proc.pid, time.monotonic())
                idle.start_cpu = cpu_start
            if idle is not None:
                done = idle.check()
            if time.monotonic() - start > timeout:
                raise RuntimeError("the jump never showed, or the editor stayed busy")
        # The screen as it finally is: after a longer quiet while (a busy machine can starve the editor
        # into a short one).
        wait_idle(proc.pid, timeout, quiet=5)
        time.sleep(0.3)
        final = capture_rows(env, win)
        if keep_shot:
            subprocess.run(["import", "-window", win, keep_shot], env=env)
        coloured = None
        for at, rows in reversed(captures):
            if differing_rows(rows, final) > rows_forgiven:
                break
            coloured = at
        return {"coloured after (s)": coloured, "idle after (s)": done[0] - start,
                "cpu (s)": done[1] - idle.start_cpu, "captures": len(captures)}
    finally:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        proc.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tolvane", action="append", default=[], help="a tolvane binary (Release build)")
    parser.add_argument("--label", action="append", default=[], help="a name for each --tolvane, in order")
    parser.add_argument("--scite", action="store_true", help="SciTE too, on the same file")
    parser.add_argument("--size-mb", type=int, default=100)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--rows", type=int, default=60, help="rows a capture may differ by and still count as final")
    parser.add_argument("--timeout", type=float, default=120.0)
    parser.add_argument("--keep-shots", help="a folder for a screenshot of each editor after the jump")
    args = parser.parse_args()

    editors = []
    for i, binary in enumerate(args.tolvane):
        label = args.label[i] if i < len(args.label) else f"tolvane {i + 1}"
        editors.append((label, [os.path.abspath(binary)], "Tolvane 1\\.0- "))
    if args.scite:
        editors.append(("SciTE", [shutil.which("scite") or "scite"], "SciTE"))

    workdir = tempfile.mkdtemp(prefix="tolvane-far-jump-bench-")
    display, xvfb, wm = start_display(workdir)
    try:
        env = dict(os.environ, DISPLAY=display, HOME=workdir, NO_AT_BRIDGE="1",
                   XDG_CONFIG_HOME=os.path.join(workdir, "config"), ASAN_OPTIONS="detect_leaks=0")
        env.pop("QT_QPA_PLATFORM", None)
        path = os.path.join(workdir, f"Big{args.size_mb}MB.java")
        size = generate_java(path, args.size_mb)
        print(f"file: {size} bytes; load: {os.getloadavg()[0]:.2f} {os.getloadavg()[1]:.2f}")
        results = {label: [] for label, _, _ in editors}
        for round_number in range(args.rounds):
            for label, command, title in editors:
                shot = None
                if args.keep_shots:
                    os.makedirs(args.keep_shots, exist_ok=True)
                    shot = os.path.join(args.keep_shots, f"{label.replace(' ', '-')}-{args.size_mb}MB.png")
                figures = far_jump(command + [path], title, env, args.rows, args.timeout, shot)
                results[label].append(figures)
                print(f"  round {round_number + 1} {label:10} " + ", ".join(
                    f"{k} {v:.2f}" if isinstance(v, float) else f"{k} {v}" for k, v in figures.items()), flush=True)
        print(f"medians ({args.size_mb} MB; load now {os.getloadavg()[0]:.2f}):")
        for label, runs in results.items():
            line = []
            for key in ("coloured after (s)", "idle after (s)", "cpu (s)"):
                values = [r[key] for r in runs if r[key] is not None]
                line.append(f"{key} {statistics.median(values):.2f}" if values else f"{key} -")
            print(f"  {label:10} " + ", ".join(line))
    finally:
        open_bench.stop_display(xvfb, wm)
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    main()
