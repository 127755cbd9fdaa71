"""What a screen reader finds in the running program over AT-SPI.

    screen_reader.py WINDOW_NAME NAMES_FILE X_WINDOW_ID

Checks the window, the kana (NAMES_FILE: their names in chart order, one a line), that every
thing on the window has a name, that Tab and Down announce the kana they reach, and finally
presses the credit line's link, leaving the caller to see what reached the desktop.
Exit status 0 when all is as it should be; otherwise 1, with one line per finding.
"""
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

findings = []


def check(ok, what):
    if not ok:
        findings.append(what)
    return ok


def application(name, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name:
                return app
        time.sleep(0.2)
    return None


def leaves(node):
    """Every object without children under `node`, depth first: the order a reader walks."""
    for child in node:
        if child.childCount:
            yield from leaves(child)
        else:
            yield child


def announced_on_keys(window_id, keys, last):
    """The names of the objects that took the focus while `keys` were typed, as announced, up to
    `last` (or for ten seconds)."""
    names = []

    def on_focus(event):
        if event.detail1:
            names.append(event.source.name)
            if event.source.name == last:
                pyatspi.Registry.stop()

    def type_keys():
        try:
            subprocess.run(["xdotool", "windowfocus", "--sync", window_id], check=True, timeout=10)
            subprocess.run(["xdotool", "key", "--delay", "50", *keys], check=True, timeout=10)
        except (subprocess.SubprocessError, OSError) as error:
            check(False, f"could not type into the window: {error}")
            pyatspi.Registry.stop()
        return False

    pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
    GLib.timeout_add(300, type_keys)
    GLib.timeout_add(10000, pyatspi.Registry.stop)
    pyatspi.Registry.start()
    pyatspi.Registry.deregisterEventListener(on_focus, "object:state-changed:focused")
    return names


def main(window_name, names_file, window_id):
    with open(names_file, encoding="utf-8") as f:
        kana = f.read().splitlines()
    app = application("prjTessel")
    if not check(app is not None, "no application prjTessel on the accessibility bus"):
        return
    frames = [c for c in app if c.getRole() == pyatspi.ROLE_FRAME]
    if not check(len(frames) == 1, f"{len(frames)} frames, not one"):
        return
    frame = frames[0]
    check(frame.name == window_name, f"the frame is named {frame.name!r}")

    everything = list(leaves(frame))
    unnamed = [o.getRoleName() for o in everything if not o.name.strip()]
    check(not unnamed, f"objects with no name: {unnamed}")
    cells = [o.name for o in everything if o.getRole() == pyatspi.ROLE_PUSH_BUTTON and o.name in kana]
    check(cells == kana, f"kana in the order {cells}")

    # From start-up the focus is on the close button: three Tabs reach the chart, then Down.
    focused = announced_on_keys(window_id, ["Tab", "Tab", "Tab", "Down"], kana[1])
    check(focused[-2:] == kana[:2], f"focus announced {focused}")
    print(f"screen reader: a {frame.getRoleName()} named {frame.name}, {len(everything)} objects "
          f"on it, {len(cells)} kana; focus announced {focused}")

    links = [o for o in everything if o.getRole() == pyatspi.ROLE_LINK]
    if check(len(links) == 1, f"{len(links)} links, not one"):
        action = links[0].queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        check(names == ["Press"], f"the link's actions are {names}")
        action.doAction(0)


if __name__ == "__main__":
    main(*sys.argv[1:])
    for finding in findings:
        print("screen reader:", finding, file=sys.stderr)
    sys.exit(1 if findings else 0)
