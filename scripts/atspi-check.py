#!/usr/bin/python3
"""The calendar as a screen reader sees it through AT-SPI, driven by the keyboard alone.

    atspi-check.py [day START LINE...]

With "day", only checks that a day whose name begins with START names the LINEs after it, each on a
line of its own, as its memos and events. Otherwise run by scripts/accessibility-test.sh with the calendar started on 14 March 2030 (faked clock, C
locale) with a Single memo "Dentist;10:00" that day and "Call Ann;at noon" on 20 March. Walks the
accessible tree of the application "Kestrivel" as Orca does (python3-pyatspi) and sends keys with
xdotool: a list named with the title, an item per day named with its date and memos, the focused item
following the arrow keys across the month's end, and a memo added to a day with the keyboard alone.
Every check polls for up to 10 seconds. Exits 1 naming the first check that failed.
"""

import subprocess
import sys
import time

import pyatspi

TIMEOUT = 10.0


def fail(message):
    print("atspi-check: " + message, file=sys.stderr)
    sys.exit(1)


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Kestrivel":
            return app
    return None


def children(node):
    return [node.getChildAtIndex(i) for i in range(node.childCount)]


def calendar_list():
    app = application()
    if app is None:
        return None
    app.clear_cache()
    lists = [c for c in children(app) if c is not None and c.getRole() == pyatspi.ROLE_LIST]
    return lists[0] if lists else None


def days(calendar):
    found = [c for c in children(calendar) if c is not None and c.getRole() == pyatspi.ROLE_LIST_ITEM]
    # Names and states are read anew each time, as a screen reader does after an event.
    for day in found:
        day.clear_cache()
    return found


def wait(what, probe):
    """Polls `probe` until it gives a true value; the last value it gave goes into the failure."""
    deadline = time.monotonic() + TIMEOUT
    last = None
    while time.monotonic() < deadline:
        try:
            ok, last = probe()
            if ok:
                return last
        except Exception as error:  # the tree changes while it is walked
            last = repr(error)
        time.sleep(0.1)
    fail(f"{what} (last seen: {last!r})")


def list_named(title):
    def probe():
        found = calendar_list()
        return found is not None and found.name == title, found.name if found else None
    wait(f"no list named {title!r}", probe)


def day_named(start, *lines):
    """A day whose name is `start` followed by `lines`, one per line."""
    def probe():
        names = [c.name for c in days(calendar_list())]
        found = [n for n in names if n.split("\n")[0].endswith(start)]
        return bool(found) and found[0].split("\n")[1:] == list(lines), found
    wait(f"no day for {start!r} with the lines {lines!r}", probe)


def focused(start):
    def probe():
        focus = [c.name for c in days(calendar_list()) if c.getState().contains(pyatspi.STATE_FOCUSED)]
        return len(focus) == 1 and focus[0].split("\n")[0].endswith(start), focus
    wait(f"the focus is not on {start!r}", probe)


def editor_shown():
    def probe():
        dialogs = [c for c in children(application()) if c is not None and c.getRole() == pyatspi.ROLE_DIALOG]
        shown = [d.name for d in dialogs if d.getState().contains(pyatspi.STATE_SHOWING)]
        return "Memo" in shown, shown
    wait("Enter did not open the memo editor", probe)


def keys(*names):
    subprocess.run(["xdotool", "key", "--delay", "150", *names], check=True)


def main():
    if sys.argv[1:2] == ["day"] and len(sys.argv) > 2:
        day_named(sys.argv[2], *sys.argv[3:])
        print(f"atspi-check: {sys.argv[2]} reads with its {len(sys.argv) - 3} lines")
        return
    list_named("2030-03-14")
    day_named("14 March 2030, today", "Dentist", "10:00")
    day_named("20 March 2030", "Call Ann", "at noon")
    day_named("21 March 2030")
    # The first arrow puts the cursor on today; each further one moves it, the month follows.
    keys("Right")
    focused("14 March 2030, today")
    keys("Right")
    focused("15 March 2030")
    keys("Down")
    focused("22 March 2030")
    keys("Down", "Down")
    focused("5 April 2030")
    list_named("2030-04-14")
    # Enter opens the editor on that day; the text typed, Tab to "Ok" and Enter save it.
    keys("Return")
    editor_shown()
    subprocess.run(["xdotool", "type", "--delay", "50", "Pay rent"], check=True)
    keys("Tab", "Return")
    day_named("5 April 2030", "Pay rent")
    # The editor closed, the keys go on on the calendar.
    keys("Right")
    focused("6 April 2030")
    print("atspi-check: the title, the days with their memos and the focus read as expected")


if __name__ == "__main__":
    main()
