#!/usr/bin/python3
# Prints what a screen reader is told of a running program's windows, through AT-SPI.
# usage: tools/accessibility-tree.py PROGRAM_NAME, on the program's session bus, the program
# started with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1, e.g. under xvfb-run -a dbus-run-session:
#   /usr/libexec/at-spi-bus-launcher --launch-immediately & build/bin/varnok &
#   sleep 3; tools/accessibility-tree.py varnok
# Needs Debian's python3-pyatspi and at-spi2-core.
import sys
import time

import pyatspi

RELATIONS = {pyatspi.RELATION_LABELLED_BY: "labelled by", pyatspi.RELATION_LABEL_FOR: "label for"}


def notes(acc):
    out = []
    for relation in acc.getRelationSet():
        name = RELATIONS.get(relation.getRelationType())
        if name:
            out.append("[%s -> %r]" % (name, relation.getTarget(0).name))
    state = acc.getState()
    if state.contains(pyatspi.STATE_FOCUSED):
        out.append("[focused]")
    if not state.contains(pyatspi.STATE_ENABLED):
        out.append("[disabled]")
    return out


def show(acc, depth):
    role = acc.getRoleName()
    if role == "list":  # a list's entries: how many, and which is selected
        entries = [acc.getChildAtIndex(i) for i in range(acc.childCount)]
        entries = [e for e in entries if e is not None and e.getRoleName() == "list item"]
        chosen = [e.name for e in entries if e.getState().contains(pyatspi.STATE_SELECTED)]
        print("  " * depth + "list: %d entries, selected: %r" % (len(entries), chosen))
        return
    print("  " * depth + "%s: %r %s" % (role, acc.name, " ".join(notes(acc))))
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            show(child, depth + 1)


desktop = pyatspi.Registry.getDesktop(0)
apps = []
for _ in range(50):
    apps = [a for a in desktop if a is not None and a.name == sys.argv[1]]
    if apps:
        break
    time.sleep(0.2)
for app in apps:
    for i in range(app.childCount):
        show(app.getChildAtIndex(i), 0)
sys.exit(0 if apps else 1)
