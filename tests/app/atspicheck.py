#!/usr/bin/python3
"""Drives the window program the way a screen reader does, over AT-SPI.

Starts the program on a small file, finds it on the accessibility bus,
prints its accessible tree and checks that every control is there with its
role, name and actions. Then it works the window through the bus while it
listens to the events a screen reader hears: the file field takes the focus,
a custom size is chosen and typed, Split runs (the Split button greys out and
comes back, the status bar names the parts, the progress bar moves), Help is
held down and let go with the pointer (pressed, then not), About opens and
its OK button closes it, and Exit ends the program. The title band's menu
is opened with Shift+F10 alone and found in the tree with its items; its
accelerator J joins a set made by darvolt-split through the file dialog
and the closing box, answered with the keyboard; D checks Write recovery
data. Needs a display, a
session bus, the AT-SPI bus and xdotool; atspisession.sh provides the
first three and records what the program hands to the desktop (xdg-open) in the
file named by DARVOLT_OPENED.

    atspicheck.py PROGRAM
"""

import os
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

TITLE = "Darvolt - The File Splitter"

# What a screen reader must find in the main window: role and name of each
# control, with its description and actions where they matter.
MAIN_WINDOW = [
    ("frame", TITLE, None, None),
    ("label", TITLE, None, None),  # the title band
    ("text", "File to split:", "Select file to split", None),
    ("push button", "Browse", None, ["Press"]),
    ("text", "Output directory:", "Partial files destination folder", None),
    ("text", "Custom size (KB)", "Enter the size here", None),
    ("radio button", "Standard diskette size", "1.38 MB", None),
    ("push button", "Split", "Split the selected file into parts", ["Press"]),
    ("push button", "Help", "Guess what...", ["Press"]),
    ("push button", "About", "Program information", ["Press"]),
    ("push button", "Exit", "Shutdown Darvolt", ["Press"]),
    ("image", "https://ombrix.example.org/", None, None),
    ("link", "https://ombrix.example.org/", None, ["jump"]),
    ("status bar", "Simple is beautiful...", None, None),
    ("panel", "", None, None),
]

ABOUT_BOX = [
    ("dialog", "About Darvolt", None, None),
    ("link", "Dan Volterra", None, ["jump"]),
    ("link", "Ombrix", None, ["jump"]),
    ("link", "https://darvolt.example.org/", None, ["jump"]),
    ("image", "Darvolt", None, None),
    ("push button", "OK", None, None),
]

failures = []


def fail(message):
    failures.append(message)
    print("FAIL:", message)


heard = []  # (role, name, event type, detail) of every event received


def on_event(event):
    try:
        heard.append((event.source.getRoleName(), event.source.name, event.type, event.detail1))
    except Exception:  # the source may be gone already
        pass


def count_heard(role, name, kind, detail=None):
    return sum(1 for r, n, t, d in heard
               if r == role and name in (None, n) and t.startswith(kind) and detail in (None, d))


def wait_for(what, probe, seconds=20.0):
    """Polls until probe() answers something true, delivering the events
    that arrive meanwhile; the answer, or None."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while True:
        while context.iteration(False):
            pass
        try:
            answer = probe()
        except Exception:  # the tree may change under a query
            answer = None
        if answer or time.monotonic() > deadline:
            break
        time.sleep(0.02)
    if not answer:
        fail("timed out waiting for " + what)
    return answer


def actions(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def walk(node, depth=0):
    yield depth, node
    for child in node:
        if child is not None:
            yield from walk(child, depth + 1)


def dump(root):
    for depth, node in walk(root):
        states = [pyatspi.stateToString(s) for s in node.getState().getStates()]
        print("%s%s %r desc=%r actions=%s states=%s" % (
            "  " * depth, node.getRoleName(), node.name, node.description,
            actions(node), states))


def find(root, role, name):
    for _, node in walk(root):
        if node.getRoleName() == role and node.name == name:
            return node
    return None


def check(root, expected):
    for role, name, description, wanted_actions in expected:
        node = find(root, role, name)
        if node is None:
            fail("no %s named %r" % (role, name))
            continue
        if description is not None and node.description != description:
            fail("%s %r is described as %r" % (role, name, node.description))
        if wanted_actions is not None and actions(node)[:len(wanted_actions)] != wanted_actions:
            fail("%s %r has the actions %s" % (role, name, actions(node)))


def press(node, action_name):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) == action_name:
            return action.doAction(i)
    fail("%s %r cannot %s" % (node.getRoleName(), node.name, action_name))
    return False


def application_of(pid):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def window_named(app, role, name):
    for window in app:
        if window is not None and window.getRoleName() == role and window.name == name:
            return window
    return None


def opened():
    with open(os.environ["DARVOLT_OPENED"], encoding="utf-8") as f:
        return f.read().splitlines()


def xdotool(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True)


def expect_heard(what, role, name, kind, detail=None, times=1):
    if not wait_for(what, lambda: count_heard(role, name, kind, detail) >= times, 5.0):
        print("heard:", [h for h in heard if h[0] == role])


def is_pressed(node):
    node.clear_cache()
    return node.getState().contains(pyatspi.STATE_PRESSED)


def work_the_window(app, proc, main_window, folder):
    pyatspi.Registry.registerEventListener(
        on_event, "object:state-changed", "object:property-change:accessible-name",
        "object:property-change:accessible-value", "object:value-changed", "focus:")

    # The desktop hands the window the keyboard: the file field has it.
    windows = subprocess.run(["xdotool", "search", "--all", "--pid", str(proc.pid), "--name", TITLE],
                             capture_output=True, text=True).stdout.split()
    if not windows:
        fail("no X window of the program")
        return
    xdotool("windowfocus", "--sync", windows[0])
    expect_heard("the file field to take the focus", "text", "File to split:", "object:state-changed:focused", 1)

    # A custom size of 1 KB, chosen and typed through the bus.
    custom = find(main_window, "radio button", "Custom size (KB) :")
    press(custom, "Toggle")
    expect_heard("the size field to open", "text", "Custom size (KB)", "object:state-changed:enabled", 1)
    expect_heard("the size field to take the focus", "text", "Custom size (KB)", "object:state-changed:focused", 1)
    edit = find(main_window, "text", "Custom size (KB)")
    edit.queryEditableText().setTextContents("1")

    # Split runs: the parts are written and the folder is shown.
    press(find(main_window, "push button", "Split"), "Press")
    parts = os.path.join(folder, "SAMPLE_PARTS")
    wait_for("the parts folder to be opened", lambda: parts in opened())
    expected = ["MERGE.BAT", "merge.sh"] + ["sample.bin.!%02d" % i for i in range(3)] + ["sample.bin.sha256"]
    if sorted(os.listdir(parts)) != expected:
        fail("the parts folder holds %s" % sorted(os.listdir(parts)))
    expect_heard("Split to grey out and come back", "push button", "Split", "object:state-changed:enabled", 0)
    expect_heard("Split to come back", "push button", "Split", "object:state-changed:enabled", 1)
    expect_heard("the status bar to name the parts", "status bar", None, "object:property-change:accessible-name")
    if not any(r == "progress bar" and ("value" in t) for r, n, t, d in heard):
        fail("the progress bar never said it moved")

    # Help held down with the pointer reads pressed, and opens the manual
    # when let go.
    # (Qt's bridge passes no pressed changes on as events, so the state is
    # read while the button is held.)
    help_button = find(main_window, "push button", "Help")
    x, y, w, h = help_button.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdotool("mousemove", x + w // 2, y + h // 2, "mousedown", 1)
    wait_for("Help to read pressed", lambda: is_pressed(help_button))
    xdotool("mouseup", 1)
    wait_for("Help to read released", lambda: not is_pressed(help_button))
    wait_for("the manual to be opened", lambda: any(line.endswith("darvolt.html") for line in opened()))


# The title band's menu as it opens over the main window: each item's name
# and whether it is on offer; the first one on offer is lit.
MENU_ITEMS = [("Restore", False), ("Minimize", True), ("Maximize", False),
              ("Write recovery data", True), ("Join parts...", True), ("Parts folder...", True),
              ("Beside the file", True), ("Close", True)]


def has_state(node, state):
    node.clear_cache()
    return node.getState().contains(state)


def open_menu(main_window):
    xdotool("key", "shift+F10")
    return wait_for("the menu to open from the keyboard", lambda: find_role(main_window, "popup menu"))


def gone(node):
    try:
        return not has_state(node, pyatspi.STATE_SHOWING)
    except Exception:  # no longer there to ask
        return True


def find_role(root, role):
    return next((node for _, node in walk(root) if node.getRoleName() == role), None)


def item_named(menu, name):
    return next((item for item in menu if item is not None and item.name == name), None)


def work_the_menu(main_window, program, folder):
    """Joins a set from the keyboard alone through the title band's menu."""
    made = os.path.join(folder, "joinme")
    os.mkdir(made)
    original = os.path.join(made, "data.bin")
    with open(original, "wb") as f:
        f.write(bytes(range(251)) * 20)
    subprocess.run([os.path.join(os.path.dirname(program), "darvolt-split"), "-q", "-c", "2", original], check=True)
    parts = os.path.join(made, "DATA_PARTS")

    heard.clear()
    menu = open_menu(main_window)
    if not menu:
        return
    expect_heard("the menu to be shown", "popup menu", None, "object:state-changed:showing", 1)
    expect_heard("the first command to be lit", "menu item", "Minimize", "object:state-changed:focused", 1)
    for name, enabled in MENU_ITEMS:
        item = item_named(menu, name)
        if item is None or item.getRoleName() != "menu item":
            fail("the menu has no item %r: %s" % (name, [(i.getRoleName(), i.name) for i in menu]))
        elif has_state(item, pyatspi.STATE_SENSITIVE) != enabled:
            fail("%r is %s" % (name, "not on offer" if enabled else "on offer"))
    if has_state(item_named(menu, "Write recovery data"), pyatspi.STATE_CHECKED):
        fail("Write recovery data is checked in a fresh configuration")

    # J joins: the file dialog takes the path of the first part.
    xdotool("key", "j")
    app = main_window.parent
    dialog = wait_for("the file dialog", lambda: window_named(app, "dialog", "Join parts"))
    if not dialog:
        return
    xdotool("type", "--delay", "5", os.path.join(parts, "data.bin.!00"))
    xdotool("key", "Return")
    box = wait_for("the join's closing box", lambda: window_named(app, "dialog", "Information"))
    xdotool("key", "Return")
    wait_for("the closing box to go", lambda: gone(box))
    with open(original, "rb") as a, open(os.path.join(parts, "data.bin"), "rb") as b:
        if a.read() != b.read():
            fail("the joined file differs from the original")

    # D checks Write recovery data, as the menu shows the next time.
    xdotool("key", "shift+F10", "d")
    menu = open_menu(main_window)
    if menu and not wait_for("Write recovery data to read checked",
                             lambda: has_state(item_named(menu, "Write recovery data"), pyatspi.STATE_CHECKED)):
        dump(menu)
    xdotool("key", "Escape")


def main():
    program = sys.argv[1]
    with tempfile.TemporaryDirectory() as folder:
        source = os.path.join(folder, "sample.bin")
        with open(source, "wb") as f:
            f.write(bytes(range(256)) * 10)  # parts of 1024, 1024 and 512 bytes
        started = time.monotonic()
        # A configuration of its own: Write recovery data starts off.
        proc = subprocess.Popen([program, source], env=dict(os.environ, XDG_CONFIG_HOME=folder))
        try:
            app = wait_for("the program on the bus", lambda: application_of(proc.pid))
            main_window = app and wait_for("the main window",
                                           lambda: window_named(app, "frame", TITLE))
            if main_window:
                print("--- main window, %.1f s after start" % (time.monotonic() - started))
                dump(main_window)
                check(main_window, MAIN_WINDOW)
                work_the_window(app, proc, main_window, folder)
                work_the_menu(main_window, program, folder)
                about = find(main_window, "push button", "About")
                if about is not None and press(about, "Press"):
                    box = wait_for("the about box",
                                   lambda: window_named(app, "dialog", "About Darvolt"))
                    if box:
                        print("--- about box")
                        dump(box)
                        check(box, ABOUT_BOX)
                        ok = find(box, "push button", "OK")
                        if ok is not None and press(ok, "Press"):
                            wait_for("the about box to close",
                                     lambda: window_named(app, "dialog", "About Darvolt") is None)
                exit_button = find(main_window, "push button", "Exit")
                if exit_button is not None and press(exit_button, "Press"):
                    wait_for("the program to end", lambda: proc.poll() is not None)
                    if proc.returncode not in (None, 0):
                        fail("the program ended with code %d" % proc.returncode)
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
    print("--- %.1f s, %d events heard" % (time.monotonic() - started, len(heard)))
    print("AT-SPI check: %s" % ("%d failure(s)" % len(failures) if failures else "everything found, heard and pressed"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
