#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads the real window as a screen reader does, over AT-SPI, on a private X server and session
bus: every control named with its role, the popup labelled as the mode chooser, the busy
indicator busy while a melody plays. Usage: check_accessibility.py PROGRAM"""
import importlib.util, os, shutil, subprocess, sys, tempfile, time

LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
for tool, package in (("Xvfb", "xvfb"), ("dbus-daemon", "dbus"), (LAUNCHER, "at-spi2-core")):
    if not shutil.which(tool):
        sys.exit(f"FAIL: {tool} is missing; install the Debian package {package}")
if importlib.util.find_spec("pyatspi") is None:
    sys.exit("FAIL: pyatspi is missing; install the Debian package python3-pyatspi")

tmp = tempfile.TemporaryDirectory()
os.environ.update(HOME=tmp.name, XDG_RUNTIME_DIR=tmp.name, XDG_CACHE_HOME=tmp.name,
                  DBUS_SESSION_BUS_ADDRESS=f"unix:path={tmp.name}/bus",
                  QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
for variable in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "PULSE_SERVER"):
    os.environ.pop(variable, None)
quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
read, write = os.pipe()
started = [subprocess.Popen(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp"], pass_fds=[write],
                            **quiet)]
os.environ["DISPLAY"] = ":" + os.read(read, 16).decode().strip()
started.append(subprocess.Popen(["dbus-daemon", "--session", "--nofork",
                                 "--address=" + os.environ["DBUS_SESSION_BUS_ADDRESS"]], **quiet))
time.sleep(0.5)
started.append(subprocess.Popen([LAUNCHER, "--launch-immediately"], **quiet))
time.sleep(0.5)
started.append(subprocess.Popen([sys.argv[1]], **quiet))
import pyatspi  # only now: it reaches the bus as it loads


def read_tree():
    """(role, name) of every node of the program's window, with its states and labels."""
    tree = {}
    def walk(node):
        for child in filter(None, node):
            labels = [r.getTarget(0).name for r in child.getRelationSet()
                      if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]
            states = {pyatspi.stateToString(s) for s in child.getState().getStates()}
            tree[child.getRoleName(), child.name] = (child, states, labels)
            walk(child)
    for app in filter(None, pyatspi.Registry.getDesktop(0)):
        if app.name == "Quillotone":
            walk(app)
    return tree


def wait_for(condition, what):
    for _ in range(150):
        tree = read_tree()
        if condition(tree):
            return tree
        time.sleep(0.2)
    sys.exit(f"FAIL: {what}, in 30 s; the tree read:\n" + "\n".join(map(str, read_tree())))


failures = 0
try:
    tree = wait_for(lambda t: ("push button", "start") in t, "no window on AT-SPI")
    # Role, name, labelled by, states it has and states it lacks: idle, then playing.
    rows = [("push button", "start", [], {"sensitive", "focusable"}, set()),
            ("push button", "stop", [], {"focusable"}, {"sensitive"}),
            ("combo box", "dorian mode", ["Mode or scale"], {"sensitive"}, set()),
            ("animation", "Playing", [], set(), {"showing", "busy"}),
            ("menu item", "About Quillotone", [], set(), set()),
            ("menu item", "Quit", [], set(), set())]
    tree[("push button", "start")][0].queryAction().doAction(0)
    playing = wait_for(lambda t: "sensitive" in t[("push button", "stop")][1], "start did nothing")
    rows += [("push button", "start", [], set(), {"sensitive"}),
             ("push button", "stop", [], {"sensitive"}, set()),
             ("combo box", "dorian mode", ["Mode or scale"], set(), {"sensitive"}),
             ("animation", "Playing", [], {"showing", "busy"}, set())]
    for number, (role, name, labels, has, lacks) in enumerate(rows):
        seen = (tree if number < 6 else playing).get((role, name))
        line = f"{role} {name!r} labelled by {seen[2]}, {' '.join(sorted(seen[1]))}" if seen else None
        print(line or f"{role} {name!r}: not there")
        if not seen or seen[2] != labels or not has <= seen[1] or lacks & seen[1]:
            print(f"FAIL: wanted labelled by {labels}, {sorted(has)}, none of {sorted(lacks)}")
            failures += 1
finally:
    for process in reversed(started):
        process.kill()
sys.exit(1 if failures else 0)
