#!/usr/bin/python3
"""Where the user meets the events of other calendars, against a private Radicale on 127.0.0.1: the
memo calendar, the account's second calendar (subscribed to as the account's user) and a feed served
from 127.0.0.1 each hold an event on 20 March 2030. After `kestrivel --sync` that day shows, with each
event's calendar and its local time or "all day":
  a. in the calendar's hover text and b. in the memo editor's list of the day's events (the real
     windows on the offscreen platform, through tests/ui/event_views_driver.cpp),
  c. in the accessible name of the day's cell as a screen reader gets it over AT-SPI (the real program
     under Xvfb and openbox, scripts/accessibility-test.sh with the folder),
  d. in `kestrivel --agenda`;
and neither the second calendar nor the feed is ever written to. With no server set, the calendar
itself fetches the feed after its start.

Usage: test_event_views.py BUILD_FOLDER. Exits 77 when Radicale or (after the other checks) AT-SPI is
not installed."""
import datetime
import os
import subprocess
import sys
import tempfile
import urllib.parse

import harness

DAY = datetime.date(2030, 3, 20)
FEED = ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kestrivel tests//feed//EN\r\n"
        "BEGIN:VEVENT\r\nUID:spring@feed\r\nDTSTAMP:20260101T000000Z\r\nDTSTART;VALUE=DATE:20300320\r\n"
        "SUMMARY:Spring holiday\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
# 17:30 UTC is 18:30 in Berlin, where the tests' dates are local, before summer time begins.
DINNER = datetime.datetime(2030, 3, 20, 17, 30, tzinfo=datetime.timezone.utc)
# What the day lists after its date, as a user reads it: the memo, then the events, all-day ones first.
LINES = ["Call Ann", "all day Spring holiday (Holidays)", "18:30 Team dinner (Work)"]
AGENDA = [("all day", "Holidays", "Spring holiday"), ("18:30", "Work", "Team dinner")]
SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts")


def check(condition, what):
    if not condition:
        raise AssertionError(what)


def driver_lines(build, device):
    """The driver's hover and event lines for DAY, by kind."""
    env = dict(device.environment(), QT_QPA_PLATFORM="offscreen")
    proc = subprocess.run([os.path.join(build, "bin", "event_views_driver"), device.folder, DAY.isoformat()],
                          env=env, text=True, capture_output=True, stdin=subprocess.DEVNULL, timeout=60)
    check(proc.returncode == 0, f"event_views_driver: exit {proc.returncode}\n{proc.stdout}{proc.stderr}")
    lines = {"hover": [], "event": []}
    for line in proc.stdout.splitlines():
        kind, _, text = line.partition(" ")
        lines[kind].append(text)
    return lines


def screen_reader(build, device):
    """0 when the day's cell is named with LINES over AT-SPI, 77 when that cannot be run."""
    env = dict(os.environ, TZ="Europe/Berlin")
    proc = subprocess.run(["bash", os.path.join(SCRIPTS, "accessibility-test.sh"), build, device.folder,
                           f"{DAY.day} March {DAY.year}", *LINES],
                          env=env, text=True, capture_output=True, stdin=subprocess.DEVNULL, timeout=150)
    check(proc.returncode in (0, 77), f"screen reader: exit {proc.returncode}\n{proc.stdout}{proc.stderr}")
    print(proc.stdout.strip())
    return proc.returncode


def calendar_fetches_alone(build, root, feed):
    """With no server set, the calendar itself (offscreen, no display) fetches the feed after its start
    and --agenda shows its event."""
    device = harness.Device(build, root, "B", "", "", "")
    with open(os.path.join(device.folder, "Settings.ini"), "a") as f:
        f.write(f"[Subscriptions]\nName1=Holidays\nAddress1={feed.url}\n")
    runtime = os.path.join(device.folder, "run")
    os.mkdir(runtime, 0o700)
    env = dict(device.environment(), QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=runtime)
    proc = subprocess.Popen([device.program], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    try:
        harness.wait_for(lambda: os.path.exists(os.path.join(device.folder, "Events.dat")), 30,
                         "the calendar to fetch its subscription")
    finally:
        proc.terminate()
        proc.wait(10)
    check([line.split("\t")[1:] for line in device.agenda(DAY.isoformat(), DAY.isoformat())] ==
          [list(AGENDA[0])], "the feed the calendar fetched is not in --agenda")


def main():
    build = harness.build_folder("event views", "test_event_views.py BUILD_FOLDER")
    if build is None:
        return harness.SKIP
    feed = harness.Feed(FEED)
    radicale = harness.Radicale()
    try:
        with tempfile.TemporaryDirectory(prefix="kestrivel-event-views-") as root:
            radicale.add_user("anna", "secret")
            memos = radicale.calendar("anna", "secret", "cal")
            work = radicale.calendar("anna", "secret", "work")
            harness.put_object(memos, "call.ics", harness.peer_event("call@phone", DAY, "Call Ann"))
            harness.put_object(work, "dinner.ics", harness.peer_event("dinner@work", DINNER, "Team dinner"))
            mark = radicale.mark()
            device = harness.Device(build, root, "A", str(memos.url), "anna", "secret")
            with open(os.path.join(device.folder, "Settings.ini"), "a") as f:
                f.write(f"[Subscriptions]\nName1=Work\nAddress1={work.url}\nUser1=anna\n"
                        f"Name2=Holidays\nAddress2={feed.url}\n")
            code, out, err = device.sync()
            check(code == 0 and "2 subscriptions received" in out, f"--sync: exit {code}\n{out}{err}")

            shown = driver_lines(build, device)
            check(shown["hover"][1:] == LINES, f"hover text: {shown['hover']}")
            check(shown["event"] == LINES[1:], f"the editor's events: {shown['event']}")
            agenda = [tuple(line.split("\t")) for line in device.agenda(DAY.isoformat(), DAY.isoformat())]
            check(len(agenda) == 3 and agenda[0][0] == DAY.isoformat() and agenda[0][-1] == "Call Ann",
                  f"--agenda: {agenda}")
            check([line[1:] for line in agenda[1:]] == AGENDA and {line[0] for line in agenda} == {DAY.isoformat()},
                  f"--agenda: {agenda}")
            reader = screen_reader(build, device)
            calendar_fetches_alone(build, root, feed)

            work_path = urllib.parse.urlparse(str(work.url)).path
            check(radicale.writes_since(mark, work_path) == [], "the second calendar was written to")
            check(work_path in radicale.log_since(mark), "the second calendar was never asked")
            check(feed.asked and all(method == "GET" for method, _, _ in feed.asked), f"the feed was asked {feed.asked}")
    finally:
        radicale.stop()
        feed.stop()
    if reader == harness.SKIP:
        print("event views: hover text, editor and agenda ok; the screen reader's check skipped")
        return harness.SKIP
    print("event views: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
