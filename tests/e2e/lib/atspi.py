#!/usr/bin/python3
"""Reads what the program's windows show through the accessibility bus (AT-SPI), as a screen reader would.

Run with Debian's python (/usr/bin/python3, which has pyatspi) on the session bus the program was started
with (tests/e2e/lib/a11y.sh sets that up). Every command looks only at the application whose process id
is --pid (default: $E2E_APP_PID).

Objects are picked by the window they are in (--window: a regular expression on the title of a frame,
dialog or alert; --window-role: one on its role), by --role (an AT-SPI role name such as "push button",
"text", "label", "check box", "radio button"), --name (a regular expression on the accessible name, matched
in full) and --description (the same on the accessible description); any of them may be left out.
--index picks the Nth match in document order (default 0).

Commands
  dump                  the tree of each matching window: role, name, states, text
  get WHAT              prints WHAT of the object: text, name, description, states, selection (start end),
                        caret, extents (x y width height on the screen, in pixels; with --find TEXT, those of the
                        first character of TEXT in the object's text; with --offset N, those of the character at
                        N, "end" for the place just past the text), count (of matches),
                        position (of a menu item in its menu, counting from 0; separators left out)
  focus                 prints "role|name" of the object that has the keyboard focus
  unnamed               lists the controls a user can reach that have no accessible name; status 1 if any
  windows               prints "role|name" of each top-level window, one a line
  click-text            clicks with the mouse on the first occurrence of --find in the object's text

get and focus wait (up to --timeout seconds, default $E2E_TIMEOUT or 20) until the object is there and,
with --expect REGEX, until the value matches the regular expression in full; on a timeout they print the
last value to stderr and end with status 1.
"""

import argparse
import os
import re
import subprocess
import sys
import time

import pyatspi

TOP_ROLES = {"frame", "dialog", "alert", "window", "file chooser"}
# Controls a user operates; each must say what it is.
CONTROL_ROLES = {
    "push button", "toggle button", "check box", "radio button", "text", "entry", "password text",
    "combo box", "spin button", "slider", "menu item", "check menu item", "radio menu item", "menu",
    "page tab", "list", "tree", "table", "tree table", "link",
}


def state_names(acc):
    names = []
    for state in acc.getState().getStates():
        nick = getattr(state, "value_nick", None) or str(state)
        names.append(nick.lower().replace("-", "_"))
    return sorted(names)


def text_of(acc):
    try:
        text = acc.queryText()
    except NotImplementedError:
        return acc.name or ""
    return text.getText(0, -1)


def find_app(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is None:
            continue
        try:
            if app.get_process_id() == pid:
                return app
        except Exception:
            continue
    return None


def children(acc):
    try:
        count = acc.childCount
    except Exception:
        return []
    result = []
    for i in range(count):
        try:
            child = acc.getChildAtIndex(i)
        except Exception:
            child = None
        if child is not None:
            result.append(child)
    return result


def walk(acc, depth=0):
    yield acc, depth
    for child in children(acc):
        yield from walk(child, depth + 1)


def windows(app, regex, roles=None):
    pattern = re.compile(regex) if regex is not None else None
    result = []
    for win in children(app):
        try:
            role = win.getRoleName()
            if role not in TOP_ROLES or (roles is not None and not re.fullmatch(roles, role)):
                continue
            if pattern is None or pattern.search(win.name or ""):
                result.append(win)
        except Exception:
            continue
    return result


def matches(acc, args):
    try:
        if args.role is not None and acc.getRoleName() != args.role:
            return False
        if args.name is not None and not re.fullmatch(args.name, acc.name or "", re.S):
            return False
        if args.description is not None and not re.fullmatch(args.description, acc.description or "", re.S):
            return False
        return True
    except Exception:
        return False


def find_all(app, args):
    found = []
    for win in windows(app, args.window, args.window_role):
        for acc, _ in walk(win):
            if matches(acc, args):
                found.append(acc)
    return found


def describe_value(acc, what, find=None, offset=None):
    if what == "text":
        return text_of(acc)
    if what == "name":
        return acc.name or ""
    if what == "description":
        return acc.description or ""
    if what == "states":
        return " ".join(state_names(acc))
    if what == "selection":
        text = acc.queryText()
        if text.getNSelections() == 0:
            offset = text.caretOffset
            return f"{offset} {offset}"
        start, end = text.getSelection(0)
        return f"{start} {end}"
    if what == "caret":
        return str(acc.queryText().caretOffset)
    if what == "position":
        # Place among the items of its menu that the arrow keys stop at (separators are passed over).
        position = 0
        for sibling in children(acc.parent):
            if sibling == acc:
                return str(position)
            if sibling.getRoleName() in {"menu item", "check menu item", "radio menu item", "menu"} \
                    and "enabled" in state_names(sibling):
                position += 1
        return None
    if what == "extents" and offset is not None:
        text = acc.queryText()
        at = text.characterCount if offset == "end" else int(offset)
        x, y, width, height = text.getCharacterExtents(at, pyatspi.DESKTOP_COORDS)
        return f"{x} {y} {width} {height}"
    if what == "extents" and find is not None:
        # The first character of the first occurrence of FIND in the object's text.
        text = acc.queryText()
        offset = text.getText(0, -1).find(find)
        if offset < 0:
            return None
        x, y, width, height = text.getCharacterExtents(offset, pyatspi.DESKTOP_COORDS)
        return f"{x} {y} {width} {height}"
    if what == "extents":
        box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return f"{box.x} {box.y} {box.width} {box.height}"
    raise SystemExit(f"atspi.py: unknown value {what!r}")


def focused(app):
    # The focused object lies in the active window; fall back to any window if none is marked active.
    wins = windows(app, None)
    active = [w for w in wins if "active" in state_names(w)]
    for win in active + [w for w in wins if w not in active]:
        for acc, _ in walk(win):
            try:
                if acc.getState().contains(pyatspi.STATE_FOCUSED) and acc is not win:
                    return f"{acc.getRoleName()}|{acc.name or ''}"
            except Exception:
                continue
    return ""


def poll(args, read):
    """Reads a value until there is one that matches --expect (any value without it); prints it.

    The tree changes under the reader while windows open and close, so a missing object or a failed
    call is read again until the time is up.
    """
    deadline = time.monotonic() + args.timeout
    last = None
    while True:
        try:
            value = read()
        except Exception as error:
            value, last = None, f"<error: {error}>"
        if value is not None:
            last = value
            if args.expect is None or re.fullmatch(args.expect, value, re.S):
                print(value)
                return 0
        if time.monotonic() >= deadline:
            wanted = f"/{args.expect}/" if args.expect is not None else "the object"
            print(f"atspi.py: waited {args.timeout}s for {wanted}, last value: {last!r}", file=sys.stderr)
            return 1
        time.sleep(0.15)


def app_or_none(pid):
    app = find_app(pid)
    if app is not None:
        try:
            app.clearCache()
        except Exception:
            pass
    return app


def cmd_get(args):
    def read():
        app = app_or_none(args.pid)
        if app is None:
            return None
        found = find_all(app, args)
        if args.what == "count":
            return str(len(found))
        if len(found) <= args.index:
            return None
        return describe_value(found[args.index], args.what, args.find, args.offset)
    return poll(args, read)


def cmd_focus(args):
    def read():
        app = app_or_none(args.pid)
        return None if app is None else focused(app)
    return poll(args, read)


def click(x, y):
    location = subprocess.run(["xdotool", "getmouselocation"], capture_output=True, text=True).stdout.split()
    if location[:2] != [f"x:{x}", f"y:{y}"]:
        subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y)], check=True)
    subprocess.run(["xdotool", "click", "1"], check=True)


def cmd_click_text(args):
    """Clicks on the first occurrence of --find in a multi-line text view.

    The toolkit reports every character's height as that of the first line and no offset for a point, so
    the line under the pointer is found by clicking in the left margin and reading where the caret went.
    """
    app = app_or_none(args.pid)
    found = find_all(app, args) if app is not None else []
    if len(found) <= args.index:
        print("atspi.py: no such object", file=sys.stderr)
        return 1
    acc = found[args.index]
    text = acc.queryText()
    content = text.getText(0, -1)
    offset = content.find(args.find)
    if offset < 0:
        print(f"atspi.py: {args.find!r} is not in the text", file=sys.stderr)
        return 1
    line = content.count("\n", 0, offset)
    starts = [0] + [i + 1 for i, c in enumerate(content) if c == "\n"]

    def line_of(position):
        return sum(1 for start in starts if start <= position) - 1

    box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    x, first_y, _, height = text.getCharacterExtents(min(offset + 1, len(content) - 1), pyatspi.DESKTOP_COORDS)
    height = max(height, 1)
    y = first_y + line * height + height // 2
    for _ in range(8):
        y = max(box.y + 2, min(y, box.y + box.height - 4))
        click(box.x + 2, y)
        time.sleep(0.1)
        at = line_of(acc.queryText().caretOffset)
        if at == line:
            click(x + 2, y)
            return 0
        y += (line - at) * height
    print(f"atspi.py: could not bring line {line + 1} under the pointer", file=sys.stderr)
    return 1


def cmd_windows(args):
    app = app_or_none(args.pid)
    if app is None:
        print("atspi.py: the application is not on the accessibility bus", file=sys.stderr)
        return 1
    for win in windows(app, args.window):
        print(f"{win.getRoleName()}|{win.name or ''}")
    return 0


def cmd_dump(args):
    app = app_or_none(args.pid)
    if app is None:
        print("atspi.py: the application is not on the accessibility bus", file=sys.stderr)
        return 1
    for win in windows(app, args.window):
        for acc, depth in walk(win):
            try:
                line = f"{'  ' * depth}{acc.getRoleName()} {acc.name!r} [{' '.join(state_names(acc))}]"
                try:
                    text = acc.queryText().getText(0, 80)
                    if text and text != acc.name:
                        line += f" text={text!r}"
                except NotImplementedError:
                    pass
                if acc.description:
                    line += f" description={acc.description!r}"
            except Exception as error:
                line = f"{'  ' * depth}<gone: {error}>"
            print(line)
    return 0


def cmd_unnamed(args):
    deadline = time.monotonic() + args.timeout
    while True:
        app = app_or_none(args.pid)
        wins = windows(app, args.window) if app is not None else []
        if wins:
            break
        if time.monotonic() >= deadline:
            print(f"atspi.py: no window /{args.window}/ on the accessibility bus", file=sys.stderr)
            return 1
        time.sleep(0.15)
    missing = []
    for win in wins:
        for acc, _ in walk(win):
            try:
                role = acc.getRoleName()
                states = state_names(acc)
            except Exception:
                continue
            if role not in CONTROL_ROLES:
                continue
            if "showing" not in states and role not in {"menu item", "menu"}:
                continue
            if not (acc.name or "").strip():
                missing.append(f"{win.name}: {role} [{' '.join(states)}]")
    for line in missing:
        print(line)
    return 1 if missing else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("command", choices=["dump", "get", "focus", "unnamed", "windows", "click-text"])
    parser.add_argument("what", nargs="?", default="text")
    parser.add_argument("--pid", type=int, default=int(os.environ.get("E2E_APP_PID") or 0))
    parser.add_argument("--window")
    parser.add_argument("--window-role")
    parser.add_argument("--role")
    parser.add_argument("--name")
    parser.add_argument("--description")
    parser.add_argument("--find")
    parser.add_argument("--offset")
    parser.add_argument("--index", type=int, default=0)
    parser.add_argument("--expect")
    parser.add_argument("--timeout", type=float, default=float(os.environ.get("E2E_TIMEOUT") or 20))
    args = parser.parse_args()
    commands = {"dump": cmd_dump, "get": cmd_get, "focus": cmd_focus, "unnamed": cmd_unnamed, "windows": cmd_windows,
                "click-text": cmd_click_text}
    return commands[args.command](args)


if __name__ == "__main__":
    sys.exit(main())
