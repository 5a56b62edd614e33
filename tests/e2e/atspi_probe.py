#!/usr/bin/python3
"""Reads and drives the program of process PID through AT-SPI, as a screen
reader would. Exits with 1 while what it needs is not on the bus yet.
  PID items     the thumbnail pane's item names in order, "*" before selected ones
  PID view      the image view's name (the shown file)
  PID buttons   "role: name" of every button on screen
  PID select N  runs the action "select" of the item named N
  PID events    "ready", then "focus: NAME" for each object given the focus, until killed
"""
import sys

import pyatspi

def descendants(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    if node.getRole() != pyatspi.ROLE_LIST_ITEM:
        for child in node:
            yield from descendants(child, depth + 1)


def find(app, test):
    found = next((node for node in descendants(app) if test(node)), None)
    if found is None:
        raise LookupError("not on the bus yet")
    return found


def pane(app):
    # The list whose children are list items.
    return find(app, lambda n: n.getRole() == pyatspi.ROLE_LIST and n.childCount > 0
                and n[0].getRole() == pyatspi.ROLE_LIST_ITEM)


def run(app, command, args):
    if command == "items":
        for item in pane(app):
            print(("*" if item.getState().contains(pyatspi.STATE_SELECTED) else "") + item.name)
    elif command == "view":
        print(find(app, lambda n: n.getRole() == pyatspi.ROLE_IMAGE).name)
    elif command == "buttons":
        for node in descendants(app):
            if node.getRole() in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX) and node.getState().contains(pyatspi.STATE_SHOWING):
                print("%s: %s" % (node.getRoleName(), node.name))
    elif command == "select":
        item = find(pane(app), lambda n: n.getRole() == pyatspi.ROLE_LIST_ITEM and n.name == args[0])
        action = item.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        action.doAction(names.index("select"))
    elif command == "events":
        def focused(event):
            print("focus: " + event.source.name, flush=True)
        pyatspi.Registry.registerEventListener(focused, "focus:")
        print("ready", flush=True)
        pyatspi.Registry.start()
    else:
        raise ValueError("unknown command " + command)


def main():
    pid, command = int(sys.argv[1]), sys.argv[2]
    try:
        apps = [a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.get_process_id() == pid]
        if not apps:
            raise LookupError("process %d is not on the bus yet" % pid)
        run(apps[0], command, sys.argv[3:])
    except Exception as error:  # a tree still being built raises more than LookupError
        print(error, file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()
