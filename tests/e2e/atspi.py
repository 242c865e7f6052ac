#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The player as a screen reader sees it, through AT-SPI (pyatspi). Each command prints what it found and
# exits 0 when it holds:
#   names compact|expanded  every focusable or actionable node named, the controls' names and roles as listed,
#                           and only what the window's height shows reported as showing
#   about                   the About window's links as links with one action each, the emblem named
#   press NAME              runs the Press action of the button named NAME
import sys
import time

import pyatspi

APP = "TamroPlayer30"

# (role, name) of the main window's controls; the editor's are reported as showing only when it is open.
CONTROLS = [
    ("push button", "Previous"), ("push button", "Play"), ("push button", "Stop"), ("push button", "Next"),
    ("push button", "Open"), ("push button", "About"), ("push button", "Playlist"), ("check box", "Rnd"),
    ("slider", "Position"), ("label", "Title"),
]
EDITOR = [
    ("list", "Playlist"), ("push button", "Add"), ("push button", "Del"), ("push button", "Del all"),
    ("push button", "Load"), ("push button", "Save"),
]


def app():
    # The bridge registers a moment after the window shows: wait for it, never a fixed time.
    deadline = time.time() + 60
    while time.time() < deadline:
        for a in pyatspi.Registry.getDesktop(0):
            if a is not None and a.name == APP:
                return a
        time.sleep(0.1)
    sys.exit(f"FAIL: {APP} is not on the accessibility bus")


def nodes(root):
    yield root
    for i in range(root.childCount):
        child = root.getChildAtIndex(i)
        if child is not None:
            yield from nodes(child)


def actions(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def has(node, state):
    return node.getState().contains(state)


def describe(node):
    return f"{node.getRoleName()} '{node.name}'"


def window(name):
    # A window shown a moment ago may not be on the bus yet.
    deadline = time.time() + 30
    while True:
        for w in app():
            if w is not None and w.name == name:
                return w
        if time.time() > deadline:
            return None
        time.sleep(0.1)


def unnamed(root):
    return [describe(n) for n in nodes(root)
            if (has(n, pyatspi.STATE_FOCUSABLE) or actions(n)) and not n.name.strip()]


def check_names(layout):
    main = window("Tamro?Player v3.0")
    if main is None:
        sys.exit("FAIL: no main window on the accessibility bus")
    faults = [f"unnamed: {d}" for d in unnamed(main)]
    found = {(n.getRoleName(), n.name): n for n in nodes(main)}
    for role, name in CONTROLS + EDITOR:
        node = found.get((role, name))
        if node is None:
            faults.append(f"missing: {role} '{name}'")
            continue
        should_show = (role, name) not in EDITOR or layout == "expanded"
        if has(node, pyatspi.STATE_SHOWING) != should_show:
            faults.append(f"{role} '{name}' {'not ' if should_show else ''}reported as showing in the {layout} window")
    slider = found.get(("slider", "Position"))
    if slider is not None:
        text = slider.description
        if len(text) != 5 or text[2] != ":" or not (text[:2] + text[3:]).isdigit():
            faults.append(f"the position reads '{text}', not MM:SS")
    clock = found.get(("label", "Time"))
    if clock is None:
        faults.append("missing: label 'Time'")
    report(faults, f"names and showing states of the {layout} window")


def check_about():
    about = window(" About")
    if about is None:
        sys.exit("FAIL: no About window on the accessibility bus")
    faults = [f"unnamed: {d}" for d in unnamed(about)]
    links = {n.name: actions(n) for n in nodes(about) if n.getRoleName() == "link"}
    for name in ("tamro.example", "Brumvale - free software"):
        if name not in links:
            faults.append(f"missing: link '{name}' (links: {sorted(links)})")
        elif len(links[name]) != 1:
            faults.append(f"link '{name}' has the actions {links[name]}, not one")
    images = [n.name for n in nodes(about) if n.getRoleName() == "image"]
    if images != ["Play it loud, share it free!"]:
        faults.append(f"the emblem is named {images}")
    report(faults, "the About window")


def press(name):
    main = window("Tamro?Player v3.0")
    for n in nodes(main):
        if n.name == name and n.getRoleName() == "push button":
            action = n.queryAction()
            for i in range(action.nActions):
                if action.getName(i) == "Press":
                    action.doAction(i)
                    print(f"pressed {name}")
                    return
    sys.exit(f"FAIL: no button '{name}' with a Press action")


def report(faults, what):
    for f in faults:
        print(f"FAIL: {f}", file=sys.stderr)
    if faults:
        sys.exit(1)
    print(f"ok: {what}")


def main():
    command = sys.argv[1]
    if command == "names":
        check_names(sys.argv[2])
    elif command == "about":
        check_about()
    elif command == "press":
        press(sys.argv[2])
    else:
        sys.exit(f"unknown command {command}")


main()
