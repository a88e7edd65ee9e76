#!/usr/bin/python3
"""Other calendars and subscriptions against a private Radicale on 127.0.0.1: the account's second
calendar (subscribed to by its address) and a holiday feed served by a small server of this script
show in `kestrivel --agenda`; `kestrivel --calendars` lists the account's two calendars with their
names, the memo calendar and the one a subscription shows marked; a second `--sync` asks the feed with If-None-Match and leaves Events.dat
as it was; nothing is ever written to either (no PUT or DELETE in either server's log).

Usage: test_subscriptions.py BUILD_FOLDER. Exits 77 when a test peer is not installed."""
import datetime
import os
import subprocess
import sys
import tempfile
import urllib.parse

import harness

HOLIDAYS = ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kestrivel tests//feed//EN\r\n"
            "BEGIN:VEVENT\r\nUID:h1@feed\r\nDTSTAMP:20260101T000000Z\r\nDTSTART;VALUE=DATE:20260501\r\n"
            "SUMMARY:Labour Day\r\nEND:VEVENT\r\n"
            "BEGIN:VEVENT\r\nUID:h2@feed\r\nDTSTAMP:20260101T000000Z\r\nDTSTART;VALUE=DATE:20261225\r\n"
            "RRULE:FREQ=YEARLY\r\nSUMMARY:Christmas Day\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
ETAG = '"feed-1"'


def check(condition, what):
    if not condition:
        raise AssertionError(what)


def main():
    build = harness.build_folder("subscriptions", "test_subscriptions.py BUILD_FOLDER")
    if build is None:
        return harness.SKIP
    feed = harness.Feed(HOLIDAYS, ETAG)
    radicale = harness.Radicale()
    try:
        with tempfile.TemporaryDirectory(prefix="kestrivel-subscriptions-") as root:
            radicale.add_user("anna", "secret")
            memos = radicale.calendar("anna", "secret", "cal")
            work = radicale.calendar("anna", "secret", "work")
            harness.put_object(work, "standup.ics",
                               harness.peer_event("s1@work", datetime.date(2026, 5, 4), "Team stand-up", "WEEKLY"))
            work_url = str(work.url)
            feed_url = feed.url
            # What the server logs from here on is the calendar's doing, not this script's set-up.
            radicale.log.flush()
            setup_end = radicale.mark()
            device = harness.Device(build, root, "A", str(memos.url), "anna", "secret")
            with open(os.path.join(device.folder, "Settings.ini"), "a") as f:
                f.write(f"[Subscriptions]\nName1=Work\nAddress1={work_url}\nUser1=anna\n"
                        f"Name2=Holidays\nAddress2={feed_url}\n")

            code, out, err = device.sync()
            check(code == 0, f"--sync: exit {code}\n{out}{err}")
            check("2 subscriptions received" in out, f"--sync said: {out}")
            lines = device.agenda("2026-05-01", "2026-05-11")
            check(any(line.startswith("2026-05-01\t") and "\tHolidays\tLabour Day" in line for line in lines),
                  f"no holiday: {lines}")
            standups = [line for line in lines if "\tWork\tTeam stand-up" in line]
            check([line[:10] for line in standups] == ["2026-05-04", "2026-05-11"], f"stand-ups: {lines}")
            check(any("Christmas Day" in line for line in device.agenda("2027-12-25", "2027-12-25")),
                  "the yearly holiday does not repeat")

            listed = subprocess.run([device.program, "--calendars"], env=device.environment(), text=True,
                                    capture_output=True, stdin=subprocess.DEVNULL, timeout=60)
            check(listed.returncode == 0, f"--calendars: exit {listed.returncode}\n{listed.stderr}")
            rows = sorted((urllib.parse.urlparse(url).path, name, mark)
                          for url, name, mark in (line.split("\t") for line in listed.stdout.splitlines()))
            expected = sorted([(urllib.parse.urlparse(str(memos.url)).path, "cal", "memos"),
                               (urllib.parse.urlparse(work_url).path, "work", "shown")])
            check(rows == expected, f"--calendars listed {listed.stdout!r}, not {expected}")

            events = os.path.join(device.folder, "Events.dat")
            before = open(events, "rb").read()
            code, out, err = device.sync()
            check(code == 0 and "1 unchanged" in out, f"second --sync: exit {code}\n{out}{err}")
            check(feed.asked[-1][2] == ETAG, f"the feed was asked {feed.asked[-1]}")
            check(open(events, "rb").read() == before, "an unchanged feed rewrote Events.dat")

            check(all(method == "GET" for method, _, _ in feed.asked), f"the feed was asked {feed.asked}")
            work_path = urllib.parse.urlparse(work_url).path
            check(work_path in radicale.log_since(setup_end), "the second calendar was never asked")
            written = radicale.writes_since(setup_end, work_path)
            check(not written, f"written to the second calendar: {written}")
    finally:
        radicale.stop()
        feed.stop()
    print("subscriptions: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
