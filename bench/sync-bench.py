#!/usr/bin/python3
"""`kestrivel --sync` against a private Radicale on 127.0.0.1; prints `figure: NAME VALUE UNIT` lines.

Usage: sync-bench.py BUILD_FOLDER. First uploads of 1,000 memos: the program against
python3-caldav saving the same events one by one into a second calendar on the same server, as a
ratio so it holds on a busy machine. A first sync of 10,000 events already on the server into an
empty memo file, and one adopting 10,000 memos the server already holds (no Sync.dat either time),
each against python3-caldav fetching the same events with their data in one calendar-query. With
10,000 memos in sync: a sync with nothing to do (time and the requests the server counted) and a
sync of one event changed by the other device. Exits 77 when Radicale or python3-caldav is not
installed."""
import os
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "sync"))
import harness  # noqa: E402

USER, PASSWORD = "bench", "bench-secret"
ROUNDS = 5


def timed(action):
    started = time.monotonic()
    action()
    return time.monotonic() - started


def synced(device):
    code, out, err = device.sync(timeout=600)
    if code != 0:
        raise SystemExit(f"sync-bench: kestrivel --sync failed ({code}): {err.strip()}")


def fill_calendar(radicale, name, memos):
    """A new calendar holding `memos`, put as one iCalendar object: far faster than one request
    per event, and not what is measured."""
    import requests
    events = "".join(
        f"BEGIN:VEVENT\r\nUID:{name}-{i}@bench\r\nDTSTAMP:20260101T000000Z\r\nDTSTART;VALUE=DATE:{date:%Y%m%d}\r\n"
        + (f"RRULE:FREQ={harness.FREQ[kind]}\r\n" if kind else "")
        + f"SUMMARY:{text.replace(';', chr(92) + 'n')}\r\nEND:VEVENT\r\n"
        for i, (date, kind, text) in enumerate(memos))
    body = f"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kestrivel bench//EN\r\n{events}END:VCALENDAR\r\n"
    answer = requests.put(f"{radicale.url}{USER}/{name}/", data=body.encode(), auth=(USER, PASSWORD),
                          headers={"Content-Type": "text/calendar"}, timeout=600)
    if answer.status_code not in (200, 201, 204):
        raise SystemExit(f"sync-bench: filling {name} answered {answer.status_code}")
    import caldav
    client = caldav.DAVClient(url=radicale.url, username=USER, password=PASSWORD)
    return client.calendar(url=f"{radicale.url}{USER}/{name}/")


def first_upload(build, root, radicale):
    memos = harness.many_memos(1000)
    ours_calendar = radicale.calendar(USER, PASSWORD, "kestrivel")
    device = harness.Device(build, root, "upload", str(ours_calendar.url), USER, PASSWORD)
    device.set_memos(memos)
    ours = timed(lambda: synced(device))
    calendar = radicale.calendar(USER, PASSWORD, "caldav")
    texts = [harness.peer_event(f"caldav-{i}@bench", date, text.replace(";", "\n"), harness.FREQ[kind])
             for i, (date, kind, text) in enumerate(memos)]
    theirs = timed(lambda: [calendar.save_event(text) for text in texts])
    print(f"figure: sync_first_upload_1000_seconds {ours:.2f} s")
    print(f"figure: caldav_first_upload_1000_seconds {theirs:.2f} s")
    print(f"figure: sync_first_upload_ratio_vs_caldav {ours / theirs:.2f} x")


def requests_for(radicale, action):
    before = len(radicale.answered())
    action()
    time.sleep(0.2)  # the server logs an answer after sending it
    return len(radicale.answered()) - before


def in_sync(build, root, radicale):
    # Single memos: of repeats, only one per weekday, day of the month or date can be a memo (the rest
    # are drawn beside the memos), so 10,000 of them would not all come in as memos.
    memos = [(day, 0, text) for day, _, text in harness.many_memos(10000)]
    calendar = fill_calendar(radicale, "big", memos)
    fetches = []

    def fetch():
        started = time.monotonic()
        if len(calendar.events()) != 10000:
            raise SystemExit("sync-bench: python3-caldav did not fetch 10000 events")
        fetches.append(time.monotonic() - started)

    device = harness.Device(build, root, "big", str(calendar.url), USER, PASSWORD)
    first = []
    first_requests = requests_for(radicale, lambda: first.append(timed(lambda: synced(device))))
    if len(device.memos()) != 10000:
        raise SystemExit(f"sync-bench: {len(device.memos())} memos came in, not 10000")
    fetch_requests = requests_for(radicale, fetch)
    adopting = harness.Device(build, root, "adopt", str(calendar.url), USER, PASSWORD)
    adopting.set_memos(memos)
    adopt = timed(lambda: synced(adopting))
    if len(harness.server_objects(calendar)) != 10000 or len(adopting.memos()) != 10000:
        raise SystemExit("sync-bench: adopting the memos doubled or lost some")
    for _ in range(ROUNDS - 1):
        fetch()
    fetched = statistics.median(fetches)
    print(f"figure: sync_first_download_10000_seconds {first[0]:.2f} s")
    print(f"figure: sync_first_download_10000_requests {first_requests} requests")
    print(f"figure: caldav_fetch_10000_seconds {fetched:.2f} s")
    print(f"figure: caldav_fetch_10000_requests {fetch_requests} requests")
    print(f"figure: sync_first_download_ratio_vs_caldav {first[0] / fetched:.2f} x")
    print(f"figure: sync_adopt_10000_seconds {adopt:.2f} s")
    print(f"figure: sync_adopt_ratio_vs_caldav {adopt / fetched:.2f} x")
    # The first sync kept the collection's token from before its query: this one lists what changed since.
    print(f"figure: sync_after_first_10000_seconds {timed(lambda: synced(device)):.2f} s")
    before = len(radicale.answered())
    noop = [timed(lambda: synced(device)) for _ in range(ROUNDS)]
    answered = radicale.answered()[before:]
    print(f"figure: sync_noop_10000_seconds {statistics.median(noop):.3f} s")
    # The server's own share of it, so a slow server is told from a slow client.
    print(f"figure: sync_noop_10000_server_seconds {sum(s for _, s in answered) / ROUNDS:.3f} s")
    print(f"figure: sync_noop_requests {len(answered) / ROUNDS:g} requests")

    changes = []
    for i in range(ROUNDS):
        href = next(iter(harness.server_objects(calendar)))  # any one event
        event = calendar.event_by_url(href)
        event.data = event.data.replace("SUMMARY:", f"SUMMARY:Changed {i} ", 1)
        event.save()
        changes.append(timed(lambda: synced(device)))
    print(f"figure: sync_one_change_seconds {statistics.median(changes):.3f} s")


def main():
    build = harness.build_folder("sync-bench", "sync-bench.py BUILD_FOLDER")
    if build is None:
        return harness.SKIP
    with tempfile.TemporaryDirectory(prefix="kestrivel-sync-bench-") as root:
        radicale = harness.Radicale()
        try:
            radicale.add_user(USER, PASSWORD)
            first_upload(build, root, radicale)
            in_sync(build, root, radicale)
        finally:
            radicale.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
