#!/usr/bin/env python3
"""What a keystroke, an undo, a caret move or a scroll costs in a big file, whole process.

The real binary runs in a private Xvfb display on a generated file; every step is a key pressed with
xdotool, and for each the bench reports how long the program stayed busy afterwards (milliseconds from
the key until the first 100 ms in which it used under 1 ms of CPU, so up to 100 ms of that is the wait
itself) and the CPU it used. Opening is timed from process start until the file's window shows and the
process goes idle.

  --shape lines     a plausible Java file of many short lines (the default)
  --shape one-line  the same code minified: one single line, no line end
  --shape mixed     that long line first, then a few hundred ordinary lines
  --bus             with the accessibility bus on and a listener that, like a screen reader, reads the
                    caret offset and the line at the caret on every caret and text event
  --replace-all F R last, Edit > Replace... and Replace All of F by R, timed until the count shows
  --answer          after each step, how long the window takes to answer another key (Ctrl+H 50 ms
                    later, until the Replace dialog shows): background work does not count, a step
                    that holds the window does
  --limit-open S, --limit-answer MS
                    exit with 1 when the window shows later than S seconds or an answer takes longer
  --peers scite     also run SciTE (Debian package scite, a benchmark tool only) on the same file, in
                    alternating rounds (--rounds), and give each step's CPU as a ratio to SciTE's

Usage: bench/typing_bench.py --tolvane build-rel/src/tolvane [--size-mb 100] [--shape lines]
       [--bus] [--replace-all FIND REPLACEMENT] [--answer] [--limit-open S] [--limit-answer MS]
       [--repeat 5] [--peers scite] [--rounds 3] [--json out.json]
"""

import argparse
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from open_bench import (QUIET_CPU, QUIET_WINDOW, SAMPLE, cpu_seconds, generate_java,  # noqa: E402
                        start_display, stop_display)

A11Y_PY = "/usr/bin/python3"
LISTENER = r"""
import pyatspi, sys
pid = int(sys.argv[1])
heard = open(sys.argv[2], "a", buffering=1)
def on_event(event):
    try:
        if event.host_application.get_process_id() != pid:
            return
        heard.write(event.type + "\n")
        text = event.source.queryText()
        caret = text.caretOffset
        text.getTextAtOffset(caret, pyatspi.TEXT_BOUNDARY_LINE_START)
        text.characterCount
    except Exception:
        pass
pyatspi.Registry.registerEventListener(on_event, "object:text-caret-moved", "object:text-changed")
print("listening", flush=True)
pyatspi.Registry.start()
"""

# (label, xdotool keys): in this order, so that the undo takes back the keystroke before it.
STEPS = [
    ("key on line 2", ["ctrl+Home", "Down", "x"]),
    ("key at start", ["ctrl+Home", "x"]),
    ("undo", ["ctrl+z"]),
    ("caret right", ["Right"]),
    ("page down", ["Next"]),
    ("ctrl+end", ["ctrl+End"]),
    ("key at end", ["x"]),
    ("backspace at end", ["BackSpace"]),
    ("ctrl+home", ["ctrl+Home"]),
]


def one_line_java(path, size_mb):
    """The generated Java file with every line end and indent taken out, as a minifier leaves it."""
    generate_java(path + ".tmp", size_mb)
    with open(path + ".tmp") as f:
        code = " ".join(line.strip() for line in f if line.strip() and not line.strip().startswith(("*", "/")))
    os.remove(path + ".tmp")
    target = size_mb * 1024 * 1024
    while len(code) < target:
        code += " " + code[: target - len(code)]
    with open(path, "w", newline="") as out:
        out.write(code[:target])
    return os.path.getsize(path)


def mixed_java(path, size_mb):
    """A minified line of size_mb MiB, then ordinary code."""
    one_line_java(path + ".line", size_mb)
    generate_java(path + ".rest", 1)
    with open(path, "w", newline="") as out:
        with open(path + ".line") as line:
            out.write(line.read() + "\n")
        with open(path + ".rest") as rest:
            out.write("".join(rest.readlines()[:400]))
    os.remove(path + ".line")
    os.remove(path + ".rest")
    return os.path.getsize(path)


def wait_idle(pid, start, timeout):
    """Seconds from start until the first quiet spell began, and the process's CPU seconds then."""
    samples = []
    while True:
        now = time.monotonic()
        samples.append((now, cpu_seconds(pid)))
        while len(samples) >= 2 and now - samples[1][0] >= QUIET_WINDOW:
            samples.pop(0)
        if now - samples[0][0] >= QUIET_WINDOW and samples[-1][1] - samples[0][1] < QUIET_CPU:
            return samples[0][0] - start, samples[0][1]
        if now - start > timeout:
            raise RuntimeError(f"still busy {timeout:.0f} s after the step")
        time.sleep(SAMPLE)


def window_of(env, title_regex, proc, timeout):
    start = time.monotonic()
    while time.monotonic() - start < timeout:
        if proc.poll() is not None:
            raise RuntimeError(f"the editor exited with {proc.returncode}")
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title_regex], env=env,
                               capture_output=True, text=True).stdout.split()
        if found:
            return found[0], time.monotonic()
        time.sleep(SAMPLE)
    raise RuntimeError("the window never showed")


def answer_ms(env, proc, win, timeout):
    """How long the window takes to answer a key pressed 50 ms after a step's key: Ctrl+H, until the
    Replace dialog shows (then Escape closes it again). Background work between events does not
    count; a step that holds the window does."""
    time.sleep(0.05)
    start = time.monotonic()
    subprocess.run(["xdotool", "key", "--clearmodifiers", "ctrl+h"], env=env, check=True)
    dialog, shown = window_of(env, "0- Replace$", proc, timeout)
    subprocess.run(["xdotool", "key", "--clearmodifiers", "Escape"], env=env, check=True)
    while subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "0- Replace$"], env=env,
                         capture_output=True).returncode == 0:
        time.sleep(SAMPLE)
    subprocess.run(["xdotool", "windowactivate", "--sync", win], env=env)
    return (shown - start) * 1000


def start_bus(env, workdir):
    """A session bus with the accessibility bus on it; returns the processes to stop afterwards."""
    out = subprocess.run(["dbus-launch", "--sh-syntax"], env=env, capture_output=True, text=True, check=True).stdout
    stop = []
    for part in out.replace("\n", ";").split(";"):
        part = part.strip()
        if part.startswith("DBUS_SESSION_BUS_ADDRESS="):
            env["DBUS_SESSION_BUS_ADDRESS"] = part.split("=", 1)[1].strip("'")
        if part.startswith("DBUS_SESSION_BUS_PID="):
            stop.append(int(part.split("=", 1)[1]))
    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    stop.append(launcher.pid)
    for _ in range(100):
        if subprocess.run([A11Y_PY, "-c", "import pyatspi; pyatspi.Registry.getDesktop(0).childCount"],
                          env=env, capture_output=True).returncode == 0:
            break
        time.sleep(0.1)
    env.pop("NO_AT_BRIDGE", None)
    env.update(QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    return stop


def anon_mib(pid):
    """Anonymous resident memory (the heap: text, styles, indexes), the figure a file's size drives."""
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("RssAnon:"):
                return round(int(line.split()[1]) / 1024, 1)
    return None


def editor_command(name, args, path):
    """The command line and the title that tells its window has the file."""
    base = os.path.basename(path).replace(".", "\\.")
    if name == "scite":
        return ["scite", path], base + ".*SciTE"
    return [os.path.abspath(args.tolvane), path], "Tolvane 1\\.0- "


def run(args, env, path, name="tolvane"):
    figures = {}
    command, title = editor_command(name, args, path)
    # A fresh state folder every run: the record of the unsaved edits a killed run leaves behind
    # would have the next one start by offering to recover them.
    env = dict(env, XDG_STATE_HOME=tempfile.mkdtemp(prefix="state-", dir=os.path.dirname(path)))
    start = time.monotonic()
    proc = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    listener = None
    try:
        win, shown = window_of(env, title, proc, args.timeout)
        busy, _ = wait_idle(proc.pid, start, args.timeout)
        figures["window shows (s)"] = round(shown - start, 2)
        figures["open, until idle (s)"] = round(busy, 2)
        figures["anonymous memory (MiB)"] = anon_mib(proc.pid)
        if args.bus:
            heard = os.path.join(os.path.dirname(path), "heard.txt")
            listener = subprocess.Popen([A11Y_PY, "-c", LISTENER, str(proc.pid), heard], env=env, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True)
            listener.stdout.readline()
            wait_idle(proc.pid, time.monotonic(), args.timeout)
        answers = []
        # Keys go to the focused window as real input (XTEST): GTK drops keys sent to a window.
        subprocess.run(["xdotool", "windowactivate", "--sync", win], env=env)
        for label, keys in STEPS:
            walls, cpus = [], []
            for _ in range(args.repeat if label not in ("ctrl+end", "ctrl+home", "undo") else 1):
                for key in keys[:-1]:
                    subprocess.run(["xdotool", "key", key], env=env, check=True)
                    wait_idle(proc.pid, time.monotonic(), args.timeout)
                cpu_start = cpu_seconds(proc.pid)
                step_start = time.monotonic()
                subprocess.run(["xdotool", "key", keys[-1]], env=env, check=True)
                if args.answer and name == "tolvane":
                    answers.append(answer_ms(env, proc, win, args.timeout))
                wall, cpu = wait_idle(proc.pid, step_start, args.timeout)
                walls.append(wall * 1000)
                cpus.append((cpu - cpu_start) * 1000)
            figures[label] = {"busy ms": round(statistics.median(walls)), "cpu ms": round(statistics.median(cpus), 1),
                              "first cpu ms": round(cpus[0], 1)}
            if args.answer and name == "tolvane":
                figures[label]["answers in ms"] = round(max(answers[-(len(walls)):]))
        if args.replace_all and name == "tolvane":
            # Edit > Replace..., the find and replacement texts, then Replace All: busy until the
            # message that tells the count has shown and the program is idle again.
            find, replacement = args.replace_all
            subprocess.run(["xdotool", "windowactivate", "--sync", win], env=env)
            subprocess.run(["xdotool", "key", "--clearmodifiers", "ctrl+h"], env=env, check=True)
            dialog, _ = window_of(env, "0- Replace$", proc, args.timeout)
            subprocess.run(["xdotool", "windowactivate", "--sync", dialog], env=env)
            for command in (["type", find], ["key", "Tab"], ["type", replacement]):
                subprocess.run(["xdotool", command[0], "--clearmodifiers", "--", command[1]], env=env, check=True)
                wait_idle(proc.pid, time.monotonic(), args.timeout)
            cpu_start = cpu_seconds(proc.pid)
            step_start = time.monotonic()
            subprocess.run(["xdotool", "key", "--clearmodifiers", "alt+a"], env=env, check=True)
            wall, cpu = wait_idle(proc.pid, step_start, args.timeout)
            figures["replace all"] = {"busy ms": round(wall * 1000), "cpu ms": round((cpu - cpu_start) * 1000, 1)}
        if args.bus:
            with open(heard) as f:
                figures["events heard"] = sum(1 for _ in f)
        return figures
    finally:
        for p in (listener, proc):
            if p is not None:
                try:
                    os.killpg(p.pid, signal.SIGKILL) if p is proc else p.kill()
                except ProcessLookupError:
                    pass
                p.wait()


def median_figures(runs):
    """Each figure's median over the rounds (a step's figures one by one)."""
    result = {}
    for label, value in runs[0].items():
        values = [run[label] for run in runs if label in run]
        if isinstance(value, dict):
            result[label] = {key: round(statistics.median(v[key] for v in values), 1) for key in value}
        elif isinstance(value, (int, float)) and value is not None:
            result[label] = round(statistics.median(values), 2)
        else:
            result[label] = value
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tolvane", required=True, help="the tolvane binary (a Release build)")
    parser.add_argument("--size-mb", type=int, default=100)
    parser.add_argument("--shape", choices=["lines", "one-line", "mixed"], default="lines")
    parser.add_argument("--bus", action="store_true")
    parser.add_argument("--replace-all", nargs=2, metavar=("FIND", "REPLACEMENT"),
                        help="last, Replace All of FIND by REPLACEMENT (Edit > Replace...)")
    parser.add_argument("--answer", action="store_true",
                        help="after each step, how long the window takes to answer another key")
    parser.add_argument("--limit-open", type=float, help="fail if the window shows later (s)")
    parser.add_argument("--limit-answer", type=float, help="fail if an answer takes longer (ms; with --answer)")
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--peers", default="", help="scite: run it too, in alternating rounds")
    parser.add_argument("--rounds", type=int, default=1, help="rounds over the editors; medians are reported")
    parser.add_argument("--timeout", type=float, default=300.0)
    parser.add_argument("--json")
    args = parser.parse_args()

    workdir = tempfile.mkdtemp(prefix="tolvane-typing-bench-")
    display, xvfb, wm = start_display(workdir)
    stop = []
    try:
        env = dict(os.environ, DISPLAY=display, HOME=workdir, NO_AT_BRIDGE="1",
                   XDG_CONFIG_HOME=os.path.join(workdir, "config"), ASAN_OPTIONS="detect_leaks=0")
        env.pop("QT_QPA_PLATFORM", None)
        if args.bus:
            stop = start_bus(env, workdir)
        path = os.path.join(workdir, f"Big{args.size_mb}MB.java")
        size = {"lines": generate_java, "one-line": one_line_java, "mixed": mixed_java}[args.shape](path, args.size_mb)
        print(f"file: {size} bytes, {args.shape}; accessibility bus {'on' if args.bus else 'off'}")
        names = ["tolvane"] + [p for p in args.peers.split(",") if p == "scite" and shutil.which("scite")]
        rounds = {name: [] for name in names}
        # Round robin, so that whatever else the machine does falls on every editor alike.
        for i in range(args.rounds):
            for name in (names if i % 2 == 0 else list(reversed(names))):
                rounds[name].append(run(args, env, path, name))
        everyone = {name: median_figures(runs) for name, runs in rounds.items()}
        figures = everyone["tolvane"]
        for name, values in everyone.items():
            print(f"{name}, median of {args.rounds} round(s); load {os.getloadavg()[0]:.2f}")
            for label, value in values.items():
                print(f"  {label:22} {value}")
        if "scite" in everyone:
            print("tolvane / scite, CPU per step:")
            for label, value in figures.items():
                peer = everyone["scite"].get(label)
                if isinstance(value, dict) and isinstance(peer, dict) and peer["cpu ms"] > 0:
                    print(f"  {label:22} {value['cpu ms'] / peer['cpu ms']:.2f}")
        if args.json:
            with open(args.json, "w") as out:
                json.dump({"size": size, "shape": args.shape, "bus": args.bus, "figures": figures,
                           "editors": everyone, "load": os.getloadavg()[0]}, out, indent=2)
        over = []
        if args.limit_open is not None and figures["window shows (s)"] > args.limit_open:
            over.append(f"the window showed after {figures['window shows (s)']} s")
        if args.limit_answer is not None:
            over += [f"{label}: answered in {value['answers in ms']} ms" for label, value in figures.items()
                     if isinstance(value, dict) and value.get("answers in ms", 0) > args.limit_answer]
        if over:
            print("OVER THE LIMITS: " + "; ".join(over))
            sys.exit(1)
    finally:
        for pid in stop:
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        stop_display(xvfb, wm)
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    main()
