#!/usr/bin/python3
"""`kestrivel --sync` against a real Radicale, with python3-caldav as the second device.

Usage: test_sync.py BUILD_FOLDER [NAME_PART]. Each row of SCENARIOS gets a user and a calendar of
its own on one server, runs its steps and then compares Memos.dat of every program folder and the
calendar on the server with the memos it expects. Exits 77 when a test peer is not installed."""
import collections
import datetime
import os
import random
import re
import signal
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402


def d(month, day):
    return datetime.date(2026, month, day)


Scenario = collections.namedtuple("Scenario", "name address steps memos server", defaults=(None,))
UTC = datetime.timezone.utc
LOCAL = [(d(3, 2), 0, "Dentist"), (d(3, 3), 1, "Choir"), (d(3, 4), 2, "Rent"), (d(3, 5), 3, "Birthday;call Anna")]
# Enough for a cut to land anywhere in a long upload; Radicale's uploads slow down as a calendar
# grows, so more would only cost time.
BULK = harness.many_memos(300)
SMALL = harness.many_memos(200)
# A third changed, a third deleted, a third as they were.
CHANGED = [(day, kind, text + " changed") if i % 3 == 0 else (day, kind, text)
           for i, (day, kind, text) in enumerate(SMALL) if i % 3 != 2]
PEER = [(d(9, 1), 0, "From the phone"), (d(9, 2), 1, "Swimming;bring towel")]
ADD_LOCAL = [("add", "A", *m) for m in LOCAL]
ADD_PEER = [("peer_add", f"peer-{i}@phone", m[0], m[2].replace(";", "\n"), harness.FREQ[m[1]])
            for i, m in enumerate(PEER)]
# Two folders change different memos of one calendar and add their own, then sync at the same time.
# No two repeats share a weekday, day or date: one new to a folder would be drawn beside its memos there.
SHARED = [(day, 0 if kind == 1 else kind, text) for day, kind, text in harness.many_memos(60, d(6, 1))]
BY_A = [(day, kind, text + " A" if i % 2 else text) for i, (day, kind, text) in enumerate(SHARED)]
BY_B = [(day, kind, text if i % 2 else text + " B") for i, (day, kind, text) in enumerate(SHARED)]
BY_BOTH = [(day, kind, text + (" A" if i % 2 else " B")) for i, (day, kind, text) in enumerate(SHARED)]
# Single memos: a repeat new to the other folder whose weekday, day or date a memo holds there would be
# drawn beside its memos instead.
OWN_A = [(day, 0, text) for day, kind, text in harness.many_memos(20, datetime.date(2027, 1, 1))]
OWN_B = [(day, 0, text) for day, kind, text in harness.many_memos(20, datetime.date(2028, 1, 1))]
ONE = (d(4, 1), 0, "Haircut")
TWO = (d(4, 2), 0, "Plumber")
SETUP = [("add", "A", *ONE), ("sync", "A")]
STANDUP = datetime.datetime(2026, 3, 10, 9, 30, tzinfo=UTC)


# Events as phones, Thunderbird, Google, Apple and Outlook write them (tests/data/peer-events), and the
# memos they are here in Berlin: times in UTC and in zones on their local day, rules that equal a plain
# repeat as that repeat. The second event on 1 July, rules with a count, an end, an interval, exceptions,
# extra dates or a changed occurrence, and a summary with a ";" of its own are drawn beside the memos.
FIXTURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "peer-events")
FIXTURE_MEMOS = [
    (d(7, 1), 0, "Mum birthday"), (d(7, 11), 0, "Night train"),
    (d(7, 13), 0, "Quarterly review"), (d(7, 15), 1, "Choir"), (d(7, 17), 2, "Salary"), (d(7, 18), 3, "Anniversary"),
    (d(7, 25), 0, "Holiday"), (d(7, 26), 0, ""), (d(7, 28), 0, "Dentist"),
    (d(7, 29), 0, "Call with Sam"), (d(7, 31), 0, "Concert in New York"),
    (d(8, 1), 0, "Sommerfest im Garten – alle sind eingeladen"), (d(8, 6), 0, "Webinar"), (d(8, 7), 0, "Haircut")]
# What --agenda prints of some of those days: memos, then the events beside them, each on its days.
FIXTURE_AGENDA = [
    ("2026-07-01", "2026-07-01", ["2026-07-01\tall day\tMemos\tMum birthday", "2026-07-01\tall day\tMemos\tChoir",
                                  "2026-07-01\tall day\tMemos\tPay rent"]),
    ("2026-07-27", "2026-07-27", ["2026-07-27\tall day\tMemos\tLunch; bring cake",
                                  "2026-07-27\tall day\tMemos\tSwimming course"]),
    # The changed occurrence at its own time; an exception left out.
    ("2026-07-30", "2026-07-30", ["2026-07-30\t11:00\tMemos\tStandup (late)"]),
    ("2026-08-04", "2026-08-06", ["2026-08-04\tall day\tMemos\tBins out", "2026-08-04\tall day\tMemos\tConference",
                                  "2026-08-04\t10:00\tMemos\tTeam meeting", "2026-08-05\tall day\tMemos\tChoir",
                                  "2026-08-05\tall day\tMemos\tConference", "2026-08-06\tall day\tMemos\tWebinar",
                                  "2026-08-06\tall day\tMemos\tConference", "2026-08-06\t09:30\tMemos\tStandup"]),
    ("2026-08-10", "2026-08-10", ["2026-08-10\tall day\tMemos\tPhysio", "2026-08-10\tall day\tMemos\tSwimming course"]),
]
# Edits made here, by date, and the one property each may change on the server.
EDITS = {d(7, 1): ("Mum's birthday", None, "01-birthday-alarm.ics", "SUMMARY"),
         d(7, 13): ("Review moved", None, "05-review-attendees.ics", "SUMMARY"),
         d(7, 15): (None, 0, "06-choir-weekly.ics", "RRULE"),
         d(8, 7): (None, 2, "23-haircut-plain.ics", "RRULE")}
EDITED_MEMOS = [(day, EDITS[day][1] if day in EDITS and EDITS[day][1] is not None else kind,
                 EDITS[day][0] if day in EDITS and EDITS[day][0] is not None else text)
                for day, kind, text in FIXTURE_MEMOS]
AS_IS = "as the steps found it"  # the server is checked by the steps


def failure(how, pattern):
    # A memo waits to go up when the sync fails; it goes once the address is right again.
    return Scenario(f"fails cleanly: {how}", "calendar",
                    SETUP + [("add", "A", *TWO), ("fail", "A", how, pattern), ("sync", "A")], [ONE, TWO])


def kill(seed):
    # The phone's weekly event falls on a weekday a weekly memo holds here: it is drawn beside the memos.
    return Scenario(f"kill -9 during a {len(BULK)}-memo sync, seed {seed}", "calendar",
                    [("fill", "A", BULK)] + ADD_PEER + [("kill", "A", seed, len(BULK)), ("sync", "A")],
                    BULK + PEER[:1], [harness.as_event(m) for m in BULK + PEER])


def kill_changes(seed):
    # Cut between an accepted change and the state file's note of it: the next sync must not take
    # its own change for the other device's.
    return Scenario(f"kill -9 while changes and deletions go up, seed {seed}", "calendar",
                    [("fill", "A", SMALL), ("sync", "A"), ("fill", "A", CHANGED),
                     ("kill", "A", seed, len(SMALL) * 2 // 3), ("sync", "A")], CHANGED)


SCENARIOS = [
    Scenario("new memos go up to a calendar address", "calendar", ADD_LOCAL + [("sync", "A")], LOCAL),
    Scenario("new memos go up to the server's root address", "server", ADD_LOCAL + [("sync", "A")], LOCAL),
    Scenario("events of the other device come in, change and go", "calendar",
             ADD_PEER + [("sync", "A"), ("peer_edit", d(9, 1), "Moved by the phone"), ("peer_delete", d(9, 2)),
                         ("peer_add", "late@phone", d(9, 3), "Late", "MONTHLY"), ("sync", "A")],
             [(d(9, 1), 0, "Moved by the phone"), (d(9, 3), 2, "Late")]),
    Scenario("a memo changed here changes its event in place", "calendar",
             SETUP + [("snapshot",), ("edit", "A", ONE[0], "Haircut at ten"), ("sync", "A"), ("hrefs_kept",)],
             [(ONE[0], 0, "Haircut at ten")]),
    Scenario("a memo deleted here goes there", "calendar",
             SETUP + [("add", "A", *TWO), ("sync", "A"), ("delete", "A", ONE[0]), ("sync", "A")], [TWO]),
    Scenario("changed on both sides: both texts kept", "calendar",
             SETUP + [("edit", "A", ONE[0], "ours"), ("peer_edit", ONE[0], "theirs"), ("sync", "A"), ("sync", "A")],
             [(ONE[0], 0, "ours;theirs")]),
    Scenario("deleted here, changed there: the change is kept", "calendar",
             SETUP + [("delete", "A", ONE[0]), ("peer_edit", ONE[0], "theirs"), ("sync", "A")],
             [(ONE[0], 0, "theirs")]),
    Scenario("changed here, deleted there: the change is kept", "calendar",
             SETUP + [("edit", "A", ONE[0], "ours"), ("peer_delete", ONE[0]), ("sync", "A")],
             [(ONE[0], 0, "ours")]),
    # A daily event is no memo's: it is drawn beside the memos on every day it falls on.
    Scenario("timed and daily events come in and are never written back", "calendar",
             [("peer_add", "standup@phone", STANDUP, "Standup", None),
              ("peer_add", "walk@phone", d(3, 11), "Walk", "DAILY"), ("sync", "A"), ("snapshot",),
              ("add", "A", *TWO), ("sync", "A"), ("sync", "A"), ("unchanged", "standup@phone", "walk@phone"),
              ("said", r"\b1 shown as events, 0 not shown, 0 unpaired$"),
              ("agenda", "A", "2026-03-10", "2026-03-12",
               ["2026-03-10\tall day\tMemos\tStandup", "2026-03-11\tall day\tMemos\tWalk",
                "2026-03-12\tall day\tMemos\tWalk"])],
             [(d(3, 10), 0, "Standup"), TWO],
             [(d(3, 10), None, "Standup"), (d(3, 11), "DAILY", "Walk"), harness.as_event(TWO)]),
    Scenario("a timed event edited here is written back", "calendar",
             [("peer_add", "standup@phone", STANDUP, "Standup", None), ("sync", "A"),
              ("edit", "A", d(3, 10), "Standup moved"), ("sync", "A")],
             [(d(3, 10), 0, "Standup moved")]),
    Scenario("two program folders converge on one calendar", "calendar",
             ADD_LOCAL[:2] + [("add", "B", *m) for m in LOCAL[2:]] + ADD_PEER
             + [("sync", "A"), ("sync", "B"), ("sync", "A"), ("edit", "B", LOCAL[0][0], "Dentist at nine"),
                ("delete", "A", LOCAL[3][0]), ("sync", "B"), ("sync", "A"), ("sync", "B")],
             [(LOCAL[0][0], 0, "Dentist at nine")] + LOCAL[1:3] + PEER),
    Scenario("a copy of Memos.dat without the state file doubles nothing", "calendar",
             ADD_LOCAL + [("sync", "A"), ("fill", "B", LOCAL), ("sync", "B"), ("sync", "A")], LOCAL),
    Scenario("two program folders syncing at the same time converge", "calendar",
             [("fill", "A", SHARED), ("sync", "A"), ("sync", "B"), ("fill", "A", BY_A + OWN_A),
              ("fill", "B", BY_B + OWN_B),
              ("together", "A", "B"), ("sync", "A"), ("sync", "B"), ("sync", "A")],
             BY_BOTH + OWN_A + OWN_B),
    Scenario("two syncs of one folder at the same time double nothing", "calendar",
             [("fill", "A", SMALL[:40]), ("sync", "A")] + ADD_PEER + [("together", "A", "A"), ("sync", "A")],
             # The weekly event's weekday is a weekly memo's there: it is drawn beside the memos.
             SMALL[:40] + PEER[:1], [harness.as_event(m) for m in SMALL[:40] + PEER]),
    Scenario("an address spelled without its trailing slash keeps the state", "calendar",
             SETUP + ADD_PEER + [("sync", "A"), ("peer_delete", PEER[1][0]), ("peer_edit", PEER[0][0], "Moved"),
                                 ("delete", "A", ONE[0]), ("respell", "A"), ("sync", "A"), ("sync", "A")],
             [(PEER[0][0], 0, "Moved")]),
    # Without its state a memo cannot be told from an event the phone changed since: both stay, once.
    Scenario("a lost state after the phone's change doubles and rewrites nothing", "calendar",
             ADD_PEER + [("sync", "A"), ("peer_edit", PEER[0][0], "Changed by the phone"), ("snapshot",),
                         ("forget", "A"), ("sync", "A"), ("said", r"\b1 unpaired$"), ("sync", "A"),
                         ("said", r"\b1 unpaired$"), ("unchanged",)],
             PEER, [harness.as_event((PEER[0][0], 0, "Changed by the phone")), harness.as_event(PEER[1])]),
    kill(1), kill(2), kill(3), kill_changes(1), kill_changes(2),
    Scenario("events as other clients write them are left as they are", "calendar",
             [("put_fixtures",), ("snapshot",), ("sync", "A"), ("sync", "A"), ("unchanged",),
              ("said", r"\b9 shown as events, 0 not shown, 0 unpaired$")]
             + [("agenda", "A", *day) for day in FIXTURE_AGENDA], FIXTURE_MEMOS, AS_IS),
    Scenario("an edit here changes only what was edited", "calendar",
             [("put_fixtures",), ("sync", "A"), ("snapshot",), ("edit_fixtures", "A"), ("sync", "A"),
              ("only_edited",)], EDITED_MEMOS, AS_IS),
    Scenario("a memo file of zeros or with a lowered count changes nothing", "calendar",
             [("fill", "A", SMALL[:40]), ("sync", "A"), ("snapshot",),
              ("damage", "A", "zeros"), ("sync_fails", "A", r"Memos\.dat does not read completely"),
              ("damage", "A", "count"), ("sync_fails", "A", r"Memos\.dat does not read completely"),
              ("restore", "A"), ("sync", "A")], SMALL[:40]),
    Scenario("removing most events needs --allow-removals", "calendar",
             [("fill", "A", SMALL[:30]), ("sync", "A"), ("snapshot",), ("fill", "A", SMALL[:5]),
              ("sync_fails", "A", r"remove 25 of the 30 events.*--sync --allow-removals"),
              ("sync", "A", "--allow-removals")], SMALL[:5]),
    failure("server down", r"connect|reach|refused|network"),
    failure("wrong password", r"password|auth|user|credential|401"),
    failure("another user's address", r"calendar|forbidden|denied|access|permission|403"),
    failure("a plain web page", r"calendar"),
]


class Run:
    """One scenario on its own user and calendar."""

    def __init__(self, suite, index, scenario):
        self.suite, self.scenario = suite, scenario
        self.user, self.password = f"user{index}", f"secret{index}"
        suite.radicale.add_user(self.user, self.password)
        self.calendar = suite.radicale.calendar(self.user, self.password)
        self.devices, self.peer_hrefs, self.saved, self.output, self.kept = {}, {}, {}, "", None

    def address(self):
        return str(self.calendar.url) if self.scenario.address == "calendar" else self.suite.radicale.url

    def device(self, name):
        if name not in self.devices:
            self.devices[name] = harness.Device(self.suite.build, self.suite.root, f"{self.user}-{name}",
                                                self.address(), self.user, self.password)
        return self.devices[name]

    def local(self, name, change):
        device = self.device(name)
        memos = {m[0]: m for m in device.memos()}
        change(memos)
        device.set_memos(memos.values())

    def href_on(self, date):
        found = [h for h, (_, data) in harness.server_objects(self.calendar).items()
                 if harness.event_of(data)[0] == date]
        assert len(found) == 1, f"{len(found)} events on {date} on the server"
        return found[0]

    # --- steps ---
    def add(self, name, date, kind, text):
        self.local(name, lambda memos: memos.__setitem__(date, (date, kind, text)))

    def edit(self, name, date, text):
        self.local(name, lambda memos: memos.__setitem__(date, (date, memos[date][1], text)))

    def delete(self, name, date):
        self.local(name, lambda memos: memos.pop(date))

    def fill(self, name, memos):
        self.device(name).set_memos(memos)

    def sync(self, name, *options):
        code, out, err = self.device(name).sync(options=options)
        assert code == 0 and len(out.splitlines()) == 1, f"sync of {name}: exit {code}\n{out}{err}"
        self.output = out.strip()

    def agenda(self, name, first, last, lines):
        got = self.device(name).agenda(first, last)
        assert got == lines, f"--agenda {first} {last} of {name}: {got}"

    def said(self, pattern):
        assert re.search(pattern, self.output), f"the sync said: {self.output}"

    def sync_fails(self, name, pattern, *options):
        # Refused before anything is written or sent: the server and both files stay as they were.
        device = self.device(name)
        before = device.files()
        code, out, err = device.sync(options=options)
        assert code == 1 and not out and re.match(r"kestrivel: sync failed: ", err), f"exit {code}\n{out}{err}"
        assert re.search(pattern, err), f"unclear reason: {err}"
        assert device.files() == before, "Memos.dat or Sync.dat changed"
        self.unchanged()

    def damage(self, name, how):
        device = self.device(name)
        self.kept = self.kept or open(device.memos_path, "rb").read()
        data = self.kept
        if how == "zeros":
            data = bytes(len(data))
        else:  # the count lowered below the records
            data = data[:19] + (int.from_bytes(data[19:21], "little") - 5).to_bytes(2, "little") + data[21:]
        open(device.memos_path, "wb").write(data)

    def restore(self, name):
        open(self.device(name).memos_path, "wb").write(self.kept)

    def put_fixtures(self):
        for name in sorted(os.listdir(FIXTURES)):
            with open(os.path.join(FIXTURES, name), "rb") as f:
                self.peer_hrefs[name] = harness.put_object(self.calendar, name, f.read())

    def edit_fixtures(self, name):
        def change(memos):
            for day, (text, kind, _, _) in EDITS.items():
                _, old_kind, old_text = memos[day]
                memos[day] = (day, old_kind if kind is None else kind, old_text if text is None else text)
        self.local(name, change)

    def only_edited(self):
        # Every event as it was, but for the property edited, SEQUENCE one up, DTSTAMP and
        # LAST-MODIFIED; compared as python3-icalendar reads them.
        import icalendar
        now = harness.server_objects(self.calendar)
        assert set(now) == set(self.saved), "events came or went"
        edited = {self.peer_hrefs[f]: prop for _, _, f, prop in EDITS.values()}
        for href, (etag, data) in now.items():
            if href not in edited:
                assert (etag, data) == self.saved[href], f"{href} was rewritten"
                continue
            changes = harness.changed_properties(self.saved[href][1], data)
            assert list(changes) == [k for k in changes if k[0] == "VEVENT" and k[2] is None] and len(changes) == 1, \
                f"{href}: {changes}"
            names = next(iter(changes.values()))
            assert {edited[href], "SEQUENCE", "DTSTAMP"} <= names <= {edited[href]} | harness.RENEWED, f"{href}: {names}"
            sequences = [int(next(e for e in icalendar.Calendar.from_ical(text).walk("VEVENT")
                                  if "RECURRENCE-ID" not in e).get("SEQUENCE", 0))
                         for text in (self.saved[href][1], data)]
            assert sequences[1] == sequences[0] + 1, f"{href}: SEQUENCE {sequences}"

    def forget(self, name):
        for file in ("Sync.dat", "Sync.dat.previous"):
            path = os.path.join(self.device(name).folder, file)
            if os.path.exists(path):
                os.remove(path)

    def respell(self, name):
        address = self.address()
        self.device(name).configure(address[:-1] if address.endswith("/") else address + "/", self.user)

    def together(self, *names):
        running = [(name, self.device(name).start_sync()) for name in names]
        for name, proc in running:
            _, err = proc.communicate(timeout=120)
            assert proc.returncode == 0, f"sync of {name} beside another: exit {proc.returncode}\n{err}"

    def peer_add(self, uid, start, summary, freq):
        event = self.calendar.save_event(harness.peer_event(uid, start, summary, freq))
        self.peer_hrefs[uid] = event.url.path

    def peer_edit(self, date, summary):
        import icalendar
        event = self.calendar.event_by_url(self.href_on(date))
        data = icalendar.Calendar.from_ical(event.data)
        for vevent in data.walk("VEVENT"):
            vevent["SUMMARY"] = icalendar.vText(summary)
        event.data = data.to_ical().decode()
        event.save()  # raises SEQUENCE as a client should

    def peer_delete(self, date):
        self.calendar.event_by_url(self.href_on(date)).delete()

    def snapshot(self):
        self.saved = harness.server_objects(self.calendar)

    def unchanged(self, *uids):
        now = harness.server_objects(self.calendar)
        if not uids:
            assert now == self.saved, "the server's events changed"
        for uid in uids:
            href = self.peer_hrefs[uid]
            assert now.get(href) == self.saved[href], f"the server's copy of {uid} was rewritten"

    def hrefs_kept(self):
        assert set(harness.server_objects(self.calendar)) == set(self.saved), "an event moved to another address"

    def kill(self, name, seed, requests):
        # The cut falls after a random number of answered requests, not after a random time, so it
        # lands inside the upload however busy the machine is.
        radicale = self.suite.radicale
        start = len(radicale.answered())
        target = start + random.Random(seed).randint(1, requests)
        proc = self.device(name).start_sync()
        harness.wait_for(lambda: proc.poll() is not None or len(radicale.answered()) >= target, 600, "the upload")
        proc.send_signal(signal.SIGKILL)
        proc.communicate()
        cut = proc.returncode == -signal.SIGKILL
        print(f"  cut after {len(radicale.answered()) - start} requests" if cut else "  ended before the cut")

    def fail(self, name, how, pattern):
        device, radicale, password = self.device(name), self.suite.radicale, None
        before = device.files()
        if how == "server down":
            device.configure(f"http://127.0.0.1:{harness.free_port()}/{self.user}/cal/", self.user)
        elif how == "wrong password":
            password = "wrong"
        elif how == "another user's address":
            device.configure(radicale.url + "someone-else/", self.user)
        else:
            device.configure(radicale.url + ".web/", self.user)
        code, out, err = device.sync(password)
        device.configure(self.address(), self.user)
        lines = err.splitlines()
        assert code != 0, f"exit 0 with {how}"
        assert len(lines) == 1 and re.match(r"kestrivel: sync failed: \S", lines[0]), f"error output:\n{err}"
        assert re.search(pattern, lines[0], re.I), f"unclear reason: {lines[0]}"
        assert device.files() == before, "Memos.dat or Sync.dat changed"

    def check(self):
        want = collections.Counter(self.scenario.memos)
        for name, device in self.devices.items():
            got = collections.Counter(device.memos())
            assert got == want, f"Memos.dat of {name}: missing {sorted(want - got)[:5]}, extra {sorted(got - want)[:5]}"
        if self.scenario.server == AS_IS:
            return
        want = collections.Counter(self.scenario.server or map(harness.as_event, self.scenario.memos))
        got = collections.Counter(harness.event_of(data) for _, data in harness.server_objects(self.calendar).values())
        assert got == want, f"server: missing {list(want - got)[:5]}, extra {list(got - want)[:5]}"


class Suite:
    def __init__(self, build, root):
        self.build, self.root = build, root
        self.radicale = harness.Radicale()


def main():
    build = harness.build_folder("sync", "test_sync.py BUILD_FOLDER [NAME_PART]", most=3)
    if build is None:
        return harness.SKIP
    if not os.access(os.path.join(build, "bin", "kestrivel"), os.X_OK):
        sys.exit(f"sync: {build}/bin/kestrivel not built")
    part = sys.argv[2] if len(sys.argv) > 2 else ""
    passed = failed = 0
    with tempfile.TemporaryDirectory(prefix="kestrivel-sync-") as root:
        suite = Suite(build, root)
        try:
            for index, scenario in enumerate(SCENARIOS):
                if part not in scenario.name:
                    continue
                started = time.monotonic()
                try:
                    run = Run(suite, index, scenario)
                    for op, *args in scenario.steps:
                        getattr(run, op)(*args)
                    run.check()
                    passed += 1
                    print(f"sync: {scenario.name}: ok ({time.monotonic() - started:.1f} s)", flush=True)
                except Exception as e:  # a peer's error fails the row, not the suite
                    failed += 1
                    print(f"sync: {scenario.name}: FAILED: {type(e).__name__}: {e}", flush=True)
        finally:
            suite.radicale.stop()
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
