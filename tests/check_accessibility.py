#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Reads the real window as a screen reader does, over AT-SPI, on a private X server and session
# bus: every control named with its role, the popup labelled as the mode chooser, the busy
# indicator busy while a melody plays. Usage: check_accessibility.py PROGRAM (the test `tools`
# first checks that Xvfb, dbus-daemon, at-spi2-core and pyatspi are there)
import os, subprocess, sys, tempfile, time

tmp = tempfile.TemporaryDirectory()
os.environ.update(HOME=tmp.name, XDG_RUNTIME_DIR=tmp.name, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                  DBUS_SESSION_BUS_ADDRESS=f"unix:path={tmp.name}/bus")
for variable in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "PULSE_SERVER"):
    os.environ.pop(variable, None)
read, write = os.pipe()
# The program's lines for the terminal go to a pipe whose reader is gone, as
# in `quillotone | head -n 1`: it drops them and plays on.
gone, closed = os.pipe()
os.close(gone)
started = []
for command in (["Xvfb", "-displayfd", str(write), "-nolisten", "tcp"],
                ["dbus-daemon", "--session", "--nofork", "--address=" + os.environ[
                    "DBUS_SESSION_BUS_ADDRESS"]],
                ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                [os.path.abspath(sys.argv[1])]):
    out = closed if command[0] == os.path.abspath(sys.argv[1]) else subprocess.DEVNULL
    started.append(subprocess.Popen(command, pass_fds=[write], cwd=tmp.name, stdout=out,
                                    stderr=out))
    if len(started) == 1:
        os.environ["DISPLAY"] = ":" + os.read(read, 16).decode().strip()
    time.sleep(0.5)
import pyatspi  # only now: it reaches the bus as it loads


def read_tree(node=None, tree=None):
    # (role, name) of each node of the program's, with its states and what labels it.
    tree = {} if tree is None else tree
    for child in filter(None, node or pyatspi.Registry.getDesktop(0)):
        if node is None and child.name != "Quillotone":
            continue
        labels = [r.getTarget(0).name for r in child.getRelationSet()
                  if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]
        states = {pyatspi.stateToString(s) for s in child.getState().getStates()}
        # By role, not the role's name: AT-SPI 2.46 calls a push button "push button", 2.56 "button".
        tree[child.getRole(), child.name] = (child, labels, states)
        read_tree(child, tree)
    return tree


def wait_for(condition):
    for _ in range(150):
        tree = read_tree()
        if condition(tree):
            return tree
        time.sleep(0.2)
    sys.exit("FAIL: the window's tree, 30 s on:\n" + "\n".join(
        f"{role} {name!r}" for role, name in read_tree()))


# Role, name, what labels it, and states it has (+) or lacks (-): idle, then playing.
BUTTON, COMBO, ANIMATION, ITEM = (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_COMBO_BOX,
                                  pyatspi.ROLE_ANIMATION, pyatspi.ROLE_MENU_ITEM)
idle = [(BUTTON, "start", [], "+sensitive +focusable"),
        (BUTTON, "stop", [], "+focusable -sensitive"),
        (COMBO, "dorian mode", ["Mode or scale"], "+sensitive"),
        (ANIMATION, "Playing", [], "-showing -busy"),
        (ITEM, "About Quillotone", [], ""), (ITEM, "Quit", [], "")]
playing = [(BUTTON, "start", [], "-sensitive"), (BUTTON, "stop", [], "+sensitive"),
           (COMBO, "dorian mode", ["Mode or scale"], "-sensitive"),
           (ANIMATION, "Playing", [], "+showing +busy")]
failures = 0
try:
    tree = wait_for(lambda t: (BUTTON, "start") in t)
    tree[(BUTTON, "start")][0].queryAction().doAction(0)
    stop_enabled = lambda t: "sensitive" in t[(BUTTON, "stop")][2]
    for rows, tree in ((idle, tree), (playing, wait_for(stop_enabled))):
        for role, name, labels, spec in rows:
            _, seen, states = tree.get((role, name), (None, None, set()))
            print(f"{role} {name!r} labelled by {seen}: {' '.join(sorted(states))}")
            if seen != labels or any((s[1:] in states) != (s[0] == "+") for s in spec.split()):
                print(f"FAIL: wanted labelled by {labels}, {spec}")
                failures += 1
    # Its seed line went nowhere, and it still plays; a quit is a quit.
    program = started[-1]
    program.terminate()
    if program.wait(timeout=30) != 0:
        print(f"FAIL: with its output's reader gone, the program ended with {program.returncode}")
        failures += 1
finally:
    for process in reversed(started):
        process.kill()
sys.exit(1 if failures else 0)
