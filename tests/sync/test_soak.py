#!/usr/bin/python3
"""Many writers on one program folder and one calendar, round after round for at most a minute:
`kestrivel --sync` twice at once, `kestrivel --import`, the calendar's memo editor (offscreen, open while
they start and Ok pressed while they run) and a second device (python3-caldav) adding and editing its
own events meanwhile. At the end nothing is lost, doubled or overwritten: Memos.dat
and the server hold every imported and typed memo and every event of the device once, with the device's last
text, and every event of the device is byte for byte what it wrote.

Usage: test_soak.py BUILD_FOLDER. Exits 77 when a test peer is not installed."""
import datetime
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

SECONDS = int(os.environ.get("SOAK_SECONDS", "45"))
USER, PASSWORD = "soak", "soak-secret"


def ics(uid, day, text):
    return ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kestrivel//soak//EN\r\nBEGIN:VEVENT\r\n"
            f"UID:{uid}\r\nDTSTAMP:20260101T000000Z\r\nDTSTART;VALUE=DATE:{day:%Y%m%d}\r\n"
            f"SUMMARY:{text}\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")


def run(build, root):
    radicale = harness.Radicale()
    try:
        radicale.add_user(USER, PASSWORD)
        calendar = radicale.calendar(USER, PASSWORD)
        device = harness.Device(build, root, "soak", str(calendar.url), USER, PASSWORD)
        env = device.environment()
        editor = subprocess.Popen([os.path.join(build, "bin", "memo_editor_driver"), device.folder],
                                  env={**env, "QT_QPA_PLATFORM": "offscreen"}, text=True, stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

        def tell(line, answer):
            editor.stdin.write(line + "\n")
            editor.stdin.flush()
            got = editor.stdout.readline().strip()
            assert got == answer, f"round {rounds}: the editor answered {got!r} to {line!r}"

        typed = {}  # date -> text
        imported, phone, written = {}, {}, {}  # date -> text, date -> text, href -> iCalendar text
        started, rounds = time.monotonic(), 0
        while time.monotonic() - started < SECONDS:
            rounds += 1
            mine = datetime.date(2026, 1, 1) + datetime.timedelta(days=rounds)
            theirs = datetime.date(2027, 1, 1) + datetime.timedelta(days=rounds)
            path = os.path.join(root, f"import-{rounds}.ics")
            with open(path, "w", newline="") as f:
                f.write(ics(f"import-{rounds}@soak", mine, f"Imported {rounds}"))
            # Every other round the editor changes the memo the last import made, else it adds one.
            edited = mine - datetime.timedelta(days=1) if rounds % 2 == 0 else None
            at = edited or datetime.date(2028, 1, 1) + datetime.timedelta(days=rounds)
            text = f"Imported {rounds - 1} edited" if edited else f"Typed {rounds}"
            tell(f"edit {at.year} {at.month} {at.day} {text}", "open")
            running = [subprocess.Popen([device.program, *args], env=env, text=True, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                       for args in (["--sync"], ["--import", path], ["--sync"])]
            calendar.save_event(harness.peer_event(f"phone-{rounds}@soak", theirs, f"Phone {rounds}"))
            phone[theirs] = f"Phone {rounds}"
            tell("ok", "done")
            if rounds > 1 and rounds % 3 == 0:  # the device edits one of its events meanwhile
                day = theirs - datetime.timedelta(days=1)
                event = calendar.event_by_url(next(h for h, (_, data) in harness.server_objects(calendar).items()
                                                   if harness.event_of(data)[0] == day))
                event.data = event.data.replace(f"SUMMARY:Phone {rounds - 1}", f"SUMMARY:Phone {rounds - 1} moved")
                event.save()
                phone[day] = f"Phone {rounds - 1} moved"
            for proc in running:
                out, err = proc.communicate(timeout=120)
                assert proc.returncode == 0, f"round {rounds}: {proc.args[1:]} exit {proc.returncode}\n{out}{err}"
            imported[mine] = f"Imported {rounds}"
            (imported if edited else typed)[at] = text
            # What the device wrote, as the server keeps it: the program must leave it so.
            names = {f"{calendar.url.path}phone-{n}%40soak.ics" for n in (rounds, rounds - 1)}
            written.update({href: data for href, (_, data) in harness.server_objects(calendar).items()
                            if href in names})
        editor.stdin.close()
        assert editor.wait(timeout=30) == 0, "the editor ended with an error"
        code, out, err = device.sync()
        assert code == 0, f"last sync: {out}{err}"
        want = sorted([(day, 0, text) for day, text in {**imported, **typed, **phone}.items()])
        got = sorted(device.memos())
        assert got == want, f"Memos.dat: missing {sorted(set(want) - set(got))[:5]}, extra {sorted(set(got) - set(want))[:5]}"
        events = sorted(harness.event_of(data) for _, data in harness.server_objects(calendar).values())
        assert events == sorted(harness.as_event(m) for m in want), "the server's events differ from the memos"
        now = harness.server_objects(calendar)
        for href, data in written.items():
            assert now[href][1] == data, f"{href} was rewritten here:\n{now[href][1]}"
        print(f"soak: {rounds} rounds of two syncs, an import, the memo editor and a second device: ok")
    finally:
        radicale.stop()


def main():
    build = harness.build_folder("soak", "test_soak.py BUILD_FOLDER")
    if build is None:
        return harness.SKIP
    with tempfile.TemporaryDirectory(prefix="kestrivel-soak-") as root:
        run(build, root)
    return 0


if __name__ == "__main__":
    sys.exit(main())
