#!/usr/bin/python3
"""Drives the window program the way a screen reader does, over AT-SPI.

Starts the program on a small file, finds it on the accessibility bus,
prints its accessible tree, checks that every control is there with its
role, name and actions, presses About through AT-SPI, answers the about box
with its OK button, and ends the program with Exit. Needs a display, a
session bus and the AT-SPI bus (atspicheck.sh provides all three).

    atspicheck.py PROGRAM
"""

import os
import subprocess
import sys
import tempfile
import time

import pyatspi

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


def wait_for(what, probe, seconds=20.0):
    """Polls until probe() answers something true; the answer, or None."""
    deadline = time.monotonic() + seconds
    while True:
        try:
            answer = probe()
        except Exception:  # the tree may change under a query
            answer = None
        if answer or time.monotonic() > deadline:
            break
        time.sleep(0.05)
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


def main():
    program = sys.argv[1]
    with tempfile.TemporaryDirectory() as folder:
        source = os.path.join(folder, "sample.bin")
        with open(source, "wb") as f:
            f.write(bytes(range(256)) * 8)
        started = time.monotonic()
        proc = subprocess.Popen([program, source])
        try:
            app = wait_for("the program on the bus", lambda: application_of(proc.pid))
            main_window = app and wait_for("the main window",
                                           lambda: window_named(app, "frame", TITLE))
            if main_window:
                print("--- main window, %.1f s after start" % (time.monotonic() - started))
                dump(main_window)
                check(main_window, MAIN_WINDOW)
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
    print("--- %.1f s" % (time.monotonic() - started))
    print("AT-SPI check: %s" % ("%d failure(s)" % len(failures) if failures else "all found and pressed"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
