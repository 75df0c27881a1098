#!/usr/bin/env python3
"""Opening a big Java file, whole process, against two other Scintilla-based editors.

In a private Xvfb display (with openbox when it is installed) every editor is started on the same
generated Java file. For each run it measures:

  open   seconds from process start until the window's title names the file and the process has
         gone idle (the first moment after which it uses less than 1 ms of CPU in 100 ms);
  rss    resident memory once idle, and the same for the editor started without a file;
  idle   CPU used over the following 10 s, in percent of one core.

Usage: bench/open_bench.py --tolvane build-rel/src/tolvane [--size-mb 20] [--runs 3]
       [--peers scite,geany] [--json out.json]
The peers run only when installed (Debian packages scite and geany); they are benchmark-only tools.
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

QUIET_WINDOW = 0.100   # seconds
QUIET_CPU = 0.001      # seconds of CPU inside QUIET_WINDOW that still count as idle
SAMPLE = 0.005


def generate_java(path, size_mb):
    """A plausible Java source of about size_mb MiB: many classes, methods, comments, strings."""
    target = int(size_mb * 1024 * 1024)
    chunk = []
    n = 0
    written = 0
    with open(path, "w", newline="\n") as out:
        while written < target:
            block = (
                f"/**\n * Generated class number {n}.\n * It only exists to make the file big.\n */\n"
                f"public class Generated{n} extends Object implements Runnable {{\n"
                f"    private static final String NAME = \"Generated{n}\";\n"
                f"    private int counter = {n % 97};\n\n"
                f"    public void run() {{\n"
                f"        for (int i = 0; i < {n % 13 + 3}; ++i) {{\n"
                f"            counter += i * {n % 7 + 1}; // accumulate\n"
                f"            if (counter > 1000) counter = 0;\n"
                f"        }}\n"
                f"        System.out.println(NAME + \": \" + counter);\n"
                f"    }}\n}}\n\n"
            )
            chunk.append(block)
            written += len(block)
            n += 1
            if len(chunk) >= 1000:
                out.write("".join(chunk))
                chunk = []
        out.write("".join(chunk))
    return os.path.getsize(path)


_thread_cpu = {}  # pid -> {tid: last seen nanoseconds}


def cpu_seconds(pid):
    """CPU time of all threads of pid, from the scheduler's nanosecond counters. A thread that has
    ended keeps the time it was last seen with: work handed to a thread that finishes still counts
    (up to the last SAMPLE before it ended)."""
    seen = _thread_cpu.setdefault(pid, {})
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            try:
                with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                    seen[task] = int(f.read().split()[0])
            except (FileNotFoundError, ProcessLookupError):
                pass
    except FileNotFoundError:
        return None
    return sum(seen.values()) / 1e9


def rss_bytes(pid, field="VmRSS"):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) * 1024
    return 0


def window_shown(display_env, title_regex):
    result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title_regex],
                            env=display_env, capture_output=True, text=True)
    return result.returncode == 0 and result.stdout.strip() != ""


def measure(command, title_regex, env, timeout=60.0, idle_seconds=10.0):
    """Raises RuntimeError when the window never shows or the process never goes idle within timeout."""
    start = time.monotonic()
    proc = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    try:
        shown = None
        while shown is None:
            if proc.poll() is not None:
                raise RuntimeError(f"{command[0]} exited with {proc.returncode}")
            if time.monotonic() - start > timeout:
                raise RuntimeError(f"{command[0]}: no window matching {title_regex!r} within {timeout:.0f} s")
            cpu_seconds(proc.pid)  # sees the threads that may end before the window shows
            if window_shown(env, title_regex):
                shown = time.monotonic()
            else:
                time.sleep(SAMPLE)
        samples = []  # (time, cpu)
        idle_at = None
        idle_cpu_at = None
        while idle_at is None:
            now = time.monotonic()
            samples.append((now, cpu_seconds(proc.pid)))
            # The oldest sample at least QUIET_WINDOW back decides whether that moment began a quiet spell.
            while len(samples) >= 2 and now - samples[1][0] >= QUIET_WINDOW:
                samples.pop(0)
            if now - samples[0][0] >= QUIET_WINDOW and samples[-1][1] - samples[0][1] < QUIET_CPU:
                idle_at = samples[0][0]
                idle_cpu_at = samples[0][1]
            if now - start > timeout:
                raise RuntimeError(f"{command[0]}: showed the file after {shown - start:.2f} s "
                                   f"but was still busy {timeout:.0f} s after start")
            time.sleep(SAMPLE)
        rss = rss_bytes(proc.pid)
        # The heap and the other private memory: what the text, its styles and indexes take.
        anon = rss_bytes(proc.pid, "RssAnon")
        cpu_before = cpu_seconds(proc.pid)
        time.sleep(idle_seconds)
        idle_cpu = ((cpu_seconds(proc.pid) - cpu_before) / idle_seconds * 100.0) if idle_seconds > 0 else None
        return {"window": shown - start, "open": idle_at - start, "cpu": idle_cpu_at, "rss": rss, "anon": anon,
                "idle_cpu_percent": idle_cpu}
    finally:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        proc.wait()


def start_display(workdir, screen="1600x1000x24", numbers=range(90, 140)):
    """A private Xvfb display of screen with openbox; returns the display name and both processes."""
    for number in numbers:
        if os.path.exists(f"/tmp/.X{number}-lock"):
            continue
        display = f":{number}"
        xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", screen, "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        env = dict(os.environ, DISPLAY=display)
        for _ in range(100):
            if subprocess.run(["xdotool", "getmouselocation"], env=env,
                              capture_output=True).returncode == 0:
                break
            if xvfb.poll() is not None:
                break
            time.sleep(0.05)
        if xvfb.poll() is not None:
            continue
        wm = None
        if shutil.which("openbox"):
            wm = subprocess.Popen(["openbox"], env=dict(env, HOME=workdir),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(0.5)
        return display, xvfb, wm
    raise RuntimeError("no free X display")


def stop_display(xvfb, wm):
    """Ends what start_display started. Terminated, not killed: a killed Xvfb leaves its lock file, and
    after fifty runs no display number is free."""
    for p in (wm, xvfb):
        if p is not None:
            p.terminate()
            p.wait()


def start_session_bus(env):
    """A private session bus, as every desktop session has: without one, a toolkit that asks for it
    starts one of its own (dbus-launch --autolaunch) and the editor waits for it. Returns its pid."""
    out = subprocess.run(["dbus-launch", "--sh-syntax"], env=env, capture_output=True, text=True, check=True).stdout
    pid = None
    for part in out.replace("\n", ";").split(";"):
        part = part.strip()
        if part.startswith("DBUS_SESSION_BUS_ADDRESS="):
            env["DBUS_SESSION_BUS_ADDRESS"] = part.split("=", 1)[1].strip("'")
        if part.startswith("DBUS_SESSION_BUS_PID="):
            pid = int(part.split("=", 1)[1])
    return pid


def editors(tolvane, peers, workdir, minimal=None):
    result = [("tolvane", [tolvane], lambda base: "Tolvane 1\\.0- .*" + base.replace(".", "\\."),
               "Tolvane 2000")]
    if "scite" in peers and shutil.which("scite"):
        result.append(("scite", ["scite"], lambda base: base.replace(".", "\\.") + ".*SciTE", "SciTE"))
    if "minimal" in peers and minimal:
        # The same editing component in a bare Qt window: what the toolkit alone costs.
        result.append(("minimal", [minimal], lambda base: base.replace(".", "\\.") + " - Minimal$", "-"))
    if "geany" in peers and shutil.which("geany"):
        config = os.path.join(workdir, "geany-config")
        result.append(("geany", ["geany", "-c", config, "-i", "-p", "-s"],
                       lambda base: base.replace(".", "\\.") + ".*Geany", "Geany"))
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tolvane", required=True, help="the tolvane binary (a Release build)")
    parser.add_argument("--size-mb", type=float, default=20, help="the file's size in MiB (0.01 for 10 KiB)")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--peers", default="scite,geany",
                        help="scite, geany (Debian packages, benchmark tools only) and minimal (--minimal)")
    parser.add_argument("--minimal", help="the bench's minimal_editor binary: a bare Qt window with the same "
                        "editing component, the floor of what the toolkit costs")
    parser.add_argument("--idle-seconds", type=float, default=10.0)
    parser.add_argument("--timeout", type=float, default=180.0,
                        help="seconds an editor may take to open the file before it is given up on")
    parser.add_argument("--json", help="also write the figures to this file")
    parser.add_argument("--no-session-bus", action="store_true",
                        help="start the editors without a session bus (they may start one themselves)")
    args = parser.parse_args()

    workdir = tempfile.mkdtemp(prefix="tolvane-open-bench-")
    display, xvfb, wm = start_display(workdir)
    bus = None
    try:
        env = dict(os.environ, DISPLAY=display, HOME=workdir, NO_AT_BRIDGE="1",
                   XDG_CONFIG_HOME=os.path.join(workdir, "config"), ASAN_OPTIONS="detect_leaks=0")
        env.pop("QT_QPA_PLATFORM", None)
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        bus = None if args.no_session_bus else start_session_bus(env)
        big = os.path.join(workdir, f"Big{args.size_mb}MB.java")
        size = generate_java(big, args.size_mb)
        print(f"file: {big}, {size} bytes; display {display}; window manager: {'openbox' if wm else 'none'}; "
              f"session bus: {'none' if args.no_session_bus else 'private'}")

        figures = {}
        contenders = editors(os.path.abspath(args.tolvane), args.peers.split(","), workdir,
                             os.path.abspath(args.minimal) if args.minimal else None)
        empties = {name: measure(command, empty_title, env, idle_seconds=0.0)
                   for name, command, _, empty_title in contenders if name != "minimal"}
        runs = {name: [] for name, *_ in contenders}
        failed = {}
        # Round robin, so that whatever else the machine does falls on every editor alike.
        for i in range(args.runs):
            for name, command, title_for, _ in contenders:
                if name in failed:
                    continue
                try:
                    runs[name].append(measure(command + [big], title_for(os.path.basename(big)), env,
                                              timeout=args.timeout,
                                              idle_seconds=args.idle_seconds if i == 0 else 0.0))
                except RuntimeError as error:
                    failed[name] = str(error)
                    print(f"{name:8s} gave up: {error}")
        contenders = [c for c in contenders if c[0] not in failed]
        for name, reason in failed.items():
            figures[name] = {"failed": reason, "timeout_s": args.timeout}
        for name, *_ in contenders:
            opens = [r["open"] for r in runs[name]]
            first = runs[name][0]
            entry = {
                "open_median_s": statistics.median(opens),
                "open_runs_s": opens,
                "cpu_to_idle_median_s": statistics.median(r["cpu"] for r in runs[name]),
                "window_median_s": statistics.median(r["window"] for r in runs[name]),
                "empty_open_s": empties[name]["open"] if name in empties else None,
                "empty_cpu_s": empties[name]["cpu"] if name in empties else None,
                "rss_bytes": first["rss"],
                "anon_median_bytes": statistics.median(r["anon"] for r in runs[name]),
                "rss_empty_bytes": empties[name]["rss"] if name in empties else None,
                "rss_over_empty_per_file_byte": (first["rss"] - empties[name]["rss"]) / size if name in empties else None,
                "idle_cpu_percent": first["idle_cpu_percent"],
            }
            figures[name] = entry
            empty = (f"; empty editor {entry['empty_open_s']:.3f} s, CPU {entry['empty_cpu_s']:.3f} s"
                     if entry["empty_open_s"] is not None else "")
            over = (f" (empty {entry['rss_empty_bytes'] / 2**20:.1f} MiB, "
                    f"over empty {entry['rss_over_empty_per_file_byte']:.2f}x the file)"
                    if entry["rss_empty_bytes"] is not None else "")
            print(f"{name:8s} open {entry['open_median_s']:.3f} s (runs {', '.join(f'{o:.3f}' for o in opens)}; "
                  f"window at {entry['window_median_s']:.3f} s; CPU to idle {entry['cpu_to_idle_median_s']:.3f} s"
                  f"{empty})\n         rss {entry['rss_bytes'] / 2**20:.1f} MiB{over}; "
                  f"anonymous {entry['anon_median_bytes'] / 2**20:.1f} MiB\n         "
                  + (f"idle CPU {entry['idle_cpu_percent']:.2f} % of a core" if entry["idle_cpu_percent"] is not None
                     else "idle CPU not measured"))
            sys.stdout.flush()

        peers = [figures[p]["open_median_s"] for p in ("scite", "geany") if "open_median_s" in figures.get(p, {})]
        if peers:
            ratio = figures["tolvane"]["open_median_s"] / min(peers)
            figures["open_ratio_to_fastest_peer"] = ratio
            print(f"tolvane / fastest peer: {ratio:.2f}")
        if "open_median_s" in figures.get("scite", {}) and "open_median_s" in figures.get("tolvane", {}):
            ours, theirs = figures["tolvane"], figures["scite"]
            figures["ratios_to_scite"] = {
                "open": ours["open_median_s"] / theirs["open_median_s"],
                "cpu_to_idle": ours["cpu_to_idle_median_s"] / theirs["cpu_to_idle_median_s"],
                "anonymous_memory": ours["anon_median_bytes"] / theirs["anon_median_bytes"],
            }
            print("tolvane / scite: " + ", ".join(f"{k} {v:.2f}" for k, v in figures["ratios_to_scite"].items())
                  + f"; load {os.getloadavg()[0]:.2f}")
        if "open_median_s" in figures.get("minimal", {}) and "open_median_s" in figures.get("scite", {}):
            print(f"minimal / scite: open {figures['minimal']['open_median_s'] / figures['scite']['open_median_s']:.2f} "
                  "(the toolkit's floor)")
        if args.json:
            with open(args.json, "w") as f:
                json.dump(figures, f, indent=2)
    finally:
        if bus:
            try:
                os.kill(bus, signal.SIGTERM)
            except ProcessLookupError:
                pass
        stop_display(xvfb, wm)
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    main()
