#!/usr/bin/python3
"""Writes the recurrence table the event expansion is tested against.

Events are written as phones and services write them; the dates of every occurrence over two
years, seen from four zones, are computed here with python3-icalendar (reading) and dateutil's
rrule (recurrence), an implementation independent of libical.

    make-occurrence-table.py OUTDIR     writes OUTDIR/event-occurrences.ics and .txt
"""
import datetime as dt
import os
import sys

from dateutil import rrule, tz
import icalendar

VIEWERS = ["Europe/Berlin", "America/New_York", "Asia/Tokyo", "Australia/Sydney"]
FIRST = dt.date(2026, 1, 1)
LAST = dt.date(2027, 12, 31)

# A VTIMEZONE as Outlook writes it, under its own name; its rules are those of Europe/Berlin.
OUTLOOK_ZONE = """BEGIN:VTIMEZONE
TZID:W. Europe Standard Time
BEGIN:STANDARD
DTSTART:16010101T030000
TZOFFSETFROM:+0200
TZOFFSETTO:+0100
RRULE:FREQ=YEARLY;INTERVAL=1;BYDAY=-1SU;BYMONTH=10
END:STANDARD
BEGIN:DAYLIGHT
DTSTART:16010101T020000
TZOFFSETFROM:+0100
TZOFFSETTO:+0200
RRULE:FREQ=YEARLY;INTERVAL=1;BYDAY=-1SU;BYMONTH=3
END:DAYLIGHT
END:VTIMEZONE"""
ZONE_ALIASES = {"W. Europe Standard Time": "Europe/Berlin"}

# uid: (product, body lines of the master, [body lines of each changed occurrence], extra blocks)
EVENTS = {
    "birthday-anna": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;VALUE=DATE:19800322", "DTEND;VALUE=DATE:19800323", "RRULE:FREQ=YEARLY",
        "SUMMARY:Anna's birthday"]),
    "birthday-ben": ("-//Google Inc//Google Calendar 70.9054//EN", [
        "DTSTART;VALUE=DATE:19920322", "RRULE:FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=22", "SUMMARY:Ben's birthday"]),
    "weekly-planning": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;TZID=Europe/Berlin:20250106T090000", "DTEND;TZID=Europe/Berlin:20250106T093000",
        "RRULE:FREQ=WEEKLY;BYDAY=MO", "SUMMARY:Weekly planning"]),
    "ny-friday-call": ("-//Google Inc//Google Calendar 70.9054//EN", [
        "DTSTART;TZID=America/New_York:20250103T183000", "DTEND;TZID=America/New_York:20250103T190000",
        "RRULE:FREQ=WEEKLY;BYDAY=FR", "SUMMARY:Call with New York"]),
    "moved-standup": ("-//Apple Inc.//macOS 14.4//EN", [
        "DTSTART;TZID=Europe/Berlin:20260106T100000", "RRULE:FREQ=WEEKLY;BYDAY=TU", "SUMMARY:Standup"], [
        ["RECURRENCE-ID;TZID=Europe/Berlin:20260310T100000", "DTSTART;TZID=Europe/Berlin:20260312T150000",
         "SUMMARY:Standup (moved)"],
        ["RECURRENCE-ID;TZID=Europe/Berlin:20261229T100000", "DTSTART;TZID=Europe/Berlin:20270102T110000",
         "SUMMARY:Standup (next year)"]]),
    "cancelled-party": ("-//Mozilla.org/NONSGML Mozilla Calendar V1.1//EN", [
        "DTSTART;TZID=Europe/Berlin:20260418T190000", "STATUS:CANCELLED", "SUMMARY:Party"]),
    "cancelled-one-lesson": ("-//Google Inc//Google Calendar 70.9054//EN", [
        "DTSTART;TZID=Europe/Berlin:20260107T170000", "RRULE:FREQ=WEEKLY;BYDAY=WE;COUNT=12",
        "SUMMARY:Piano lesson"], [
        ["RECURRENCE-ID;TZID=Europe/Berlin:20260211T170000", "DTSTART;TZID=Europe/Berlin:20260211T170000",
         "STATUS:CANCELLED", "SUMMARY:Piano lesson"]]),
    "gym-tue-thu": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;TZID=Europe/Berlin:20260106T070000", "RRULE:FREQ=WEEKLY;BYDAY=TU,TH", "SUMMARY:Gym"]),
    "second-tuesday": ("-//Microsoft Corporation//Outlook 16.0 MIMEDIR//EN", [
        "DTSTART;TZID=Europe/Berlin:20260113T180000", "RRULE:FREQ=MONTHLY;BYDAY=2TU", "SUMMARY:Club"]),
    "last-workday": ("-//Google Inc//Google Calendar 70.9054//EN", [
        "DTSTART;TZID=Europe/Berlin:20260130T160000", "RRULE:FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-1",
        "SUMMARY:Timesheets"]),
    "bin-collection": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;VALUE=DATE:20260102", "RRULE:FREQ=WEEKLY;INTERVAL=2", "SUMMARY:Bins out"]),
    "course-ten-days": ("-//Mozilla.org/NONSGML Mozilla Calendar V1.1//EN", [
        "DTSTART;TZID=Europe/Berlin:20260302T080000", "RRULE:FREQ=DAILY;COUNT=10", "SUMMARY:Course"]),
    "choir-until": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;TZID=Europe/Berlin:20260108T193000",
        "RRULE:FREQ=WEEKLY;BYDAY=TH;UNTIL=20260625T173000Z", "SUMMARY:Choir"]),
    "yoga-exdates": ("-//Google Inc//Google Calendar 70.9054//EN", [
        "DTSTART;TZID=Europe/Berlin:20260105T183000", "RRULE:FREQ=WEEKLY;BYDAY=MO",
        "EXDATE;TZID=Europe/Berlin:20260216T183000,20260223T183000",
        "EXDATE;TZID=Europe/Berlin:20261228T183000", "SUMMARY:Yoga"]),
    "extra-rdates": ("-//Apple Inc.//macOS 14.4//EN", [
        "DTSTART;TZID=Europe/Berlin:20260201T100000", "RRULE:FREQ=MONTHLY;COUNT=6",
        "RDATE;TZID=Europe/Berlin:20260515T100000,20261111T100000", "SUMMARY:Review"]),
    "utc-single": ("-//Google Inc//Google Calendar 70.9054//EN", [
        "DTSTART:20260704T230000Z", "DTEND:20260705T000000Z", "SUMMARY:Launch"]),
    "utc-weekly": ("-//Google Inc//Google Calendar 70.9054//EN", [
        "DTSTART:20260105T233000Z", "RRULE:FREQ=WEEKLY;BYDAY=MO;COUNT=40", "SUMMARY:Backup window"]),
    "floating-single": ("-//Mozilla.org/NONSGML Mozilla Calendar V1.1//EN", [
        "DTSTART:20260909T230000", "SUMMARY:Floating night"]),
    "holiday-days": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;VALUE=DATE:20260803", "DTEND;VALUE=DATE:20260815", "SUMMARY:Holiday"]),
    "rent-31st": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;VALUE=DATE:20260131", "RRULE:FREQ=MONTHLY;BYMONTHDAY=31", "SUMMARY:Statement"]),
    "month-last-day": ("-//Google Inc//Google Calendar 70.9054//EN", [
        "DTSTART;VALUE=DATE:20260131", "RRULE:FREQ=MONTHLY;BYMONTHDAY=-1", "SUMMARY:Month end"]),
    "leap-day": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;VALUE=DATE:20000229", "RRULE:FREQ=YEARLY", "SUMMARY:Leap birthday"]),
    "thanksgiving": ("-//Google Inc//Holidays//EN", [
        "DTSTART;VALUE=DATE:20201126", "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=4TH", "SUMMARY:Thanksgiving"]),
    "last-sunday-march": ("-//Google Inc//Holidays//EN", [
        "DTSTART;VALUE=DATE:20200329", "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU", "SUMMARY:Clocks change"]),
    "tokyo-morning": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;TZID=Asia/Tokyo:20260105T080000", "RRULE:FREQ=WEEKLY;BYDAY=MO,TH", "SUMMARY:Tokyo sync"]),
    "sydney-evening": ("-//Google Inc//Google Calendar 70.9054//EN", [
        "DTSTART;TZID=Australia/Sydney:20260102T203000", "RRULE:FREQ=WEEKLY;BYDAY=FR",
        "SUMMARY:Sydney family call"]),
    "every-third-day": ("-//Mozilla.org/NONSGML Mozilla Calendar V1.1//EN", [
        "DTSTART;TZID=Europe/Berlin:20260401T060000", "RRULE:FREQ=DAILY;INTERVAL=3;UNTIL=20260731T040000Z",
        "SUMMARY:Water plants"]),
    "mwf-count": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;TZID=America/New_York:20260302T063000", "RRULE:FREQ=WEEKLY;BYDAY=MO,WE,FR;COUNT=30",
        "SUMMARY:Run"]),
    "quarterly-15th": ("-//Microsoft Corporation//Outlook 16.0 MIMEDIR//EN", [
        "DTSTART;TZID=W. Europe Standard Time:20260115T090000",
        "RRULE:FREQ=MONTHLY;INTERVAL=3;BYMONTHDAY=15", "SUMMARY:Quarterly"], [], [OUTLOOK_ZONE]),
    "biennial": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;VALUE=DATE:20240610", "RRULE:FREQ=YEARLY;INTERVAL=2", "SUMMARY:Check-up"]),
    "weekend-wkst": ("-//Google Inc//Google Calendar 70.9054//EN", [
        "DTSTART;TZID=Europe/Berlin:20260103T100000", "RRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=SA,SU;WKST=SU",
        "SUMMARY:Weekend away"]),
    "old-daily": ("-//Mozilla.org/NONSGML Mozilla Calendar V1.1//EN", [
        "DTSTART;TZID=Europe/Berlin:20190101T073000", "RRULE:FREQ=DAILY", "SUMMARY:Vitamins"]),
    "old-weekly": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;TZID=America/New_York:20100108T200000", "RRULE:FREQ=WEEKLY", "SUMMARY:Friday dinner"]),
    "london-late": ("-//Google Inc//Google Calendar 70.9054//EN", [
        "DTSTART;TZID=Europe/London:20260104T233000", "RRULE:FREQ=WEEKLY;BYDAY=SU", "SUMMARY:Late show"]),
    "with-alarm": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;TZID=Europe/Berlin:20260601T120000", "RRULE:FREQ=MONTHLY;COUNT=4", "LOCATION:Town hall",
        "DESCRIPTION:Bring papers", "SUMMARY:Council", "BEGIN:VALARM", "ACTION:DISPLAY",
        "TRIGGER:-PT15M", "DESCRIPTION:Reminder", "END:VALARM"]),
    "la-dst-week": ("-//Google Inc//Google Calendar 70.9054//EN", [
        "DTSTART;TZID=America/Los_Angeles:20260305T170000", "RRULE:FREQ=DAILY;COUNT=7",
        "SUMMARY:Release week"]),
    "allday-rdate": ("-//Apple Inc.//macOS 14.4//EN", [
        "DTSTART;VALUE=DATE:20260310", "RDATE;VALUE=DATE:20260410,20260910", "SUMMARY:Dentist"]),
    "allday-exdate": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;VALUE=DATE:20260105", "RRULE:FREQ=WEEKLY;BYDAY=MO;UNTIL=20260330",
        "EXDATE;VALUE=DATE:20260202", "SUMMARY:School run"]),
    "moved-anniversary": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;VALUE=DATE:20150912", "RRULE:FREQ=YEARLY", "SUMMARY:Anniversary"], [
        ["RECURRENCE-ID;VALUE=DATE:20260912", "DTSTART;VALUE=DATE:20260913", "SUMMARY:Anniversary dinner"]]),
    "first-third-monday": ("-//Microsoft Corporation//Outlook 16.0 MIMEDIR//EN", [
        "DTSTART;TZID=W. Europe Standard Time:20260105T190000", "RRULE:FREQ=MONTHLY;BYDAY=1MO,3MO",
        "SUMMARY:Book club"], [], [OUTLOOK_ZONE]),
    "kolkata-early": ("-//Google Inc//Google Calendar 70.9054//EN", [
        "DTSTART;TZID=Asia/Kolkata:20260107T050000", "RRULE:FREQ=WEEKLY;BYDAY=WE;COUNT=60",
        "SUMMARY:Offshore review"]),
    "override-other-zone": ("-//Google Inc//Google Calendar 70.9054//EN", [
        "DTSTART;TZID=Europe/Berlin:20260904T090000", "RRULE:FREQ=WEEKLY;BYDAY=FR;COUNT=8",
        "SUMMARY:Workshop"], [
        ["RECURRENCE-ID;TZID=Europe/Berlin:20261002T090000", "DTSTART;TZID=America/New_York:20261002T200000",
         "SUMMARY:Workshop (from New York)"]]),
    "month-from-31st": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;TZID=Europe/Berlin:20260131T120000", "RRULE:FREQ=MONTHLY", "SUMMARY:Payday"]),
    "old-yearly": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;VALUE=DATE:19500704", "RRULE:FREQ=YEARLY", "SUMMARY:Grandad"]),
    "semicolon-summary": ("-//Google Inc//Google Calendar 70.9054//EN", [
        "DTSTART;TZID=Europe/Berlin:20260520T140000", "SUMMARY:Tea\\; cake", "RRULE:FREQ=YEARLY;COUNT=2"]),
    "weekdays-until-date": ("-//Mozilla.org/NONSGML Mozilla Calendar V1.1//EN", [
        "DTSTART;VALUE=DATE:20260601", "RRULE:FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,FR;UNTIL=20260612",
        "SUMMARY:Project sprint"]),
    "before-range": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;TZID=Europe/Berlin:20250301T100000", "RRULE:FREQ=WEEKLY;COUNT=5", "SUMMARY:Long ago"]),
    # Rules that start years before the dates shown, with intervals and counts: a month far from the
    # start must see what the start sets.
    "old-count-daily": ("-//Mozilla.org/NONSGML Mozilla Calendar V1.1//EN", [
        "DTSTART;TZID=Europe/Berlin:20250601T070000", "RRULE:FREQ=DAILY;COUNT=700", "SUMMARY:Pills"]),
    "old-fortnightly": ("-//Google Inc//Google Calendar 70.9054//EN", [
        "DTSTART;TZID=America/New_York:20180109T183000", "RRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=TU,TH",
        "SUMMARY:League night"]),
    "old-bimonthly-31st": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;VALUE=DATE:20170131", "RRULE:FREQ=MONTHLY;INTERVAL=2", "SUMMARY:Meter reading"]),
    "old-quarter-first-workday": ("-//Microsoft Corporation//Outlook 16.0 MIMEDIR//EN", [
        "DTSTART;TZID=Europe/Berlin:20150302T090000",
        "RRULE:FREQ=MONTHLY;INTERVAL=3;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=1", "SUMMARY:Quarter opens"]),
    "old-count-three-weekly": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;TZID=Asia/Tokyo:20240105T220000", "RRULE:FREQ=WEEKLY;INTERVAL=3;BYDAY=FR,SA;COUNT=100",
        "SUMMARY:Karaoke"]),
    "old-count-last-sunday": ("-//Google Inc//Google Calendar 70.9054//EN", [
        "DTSTART;TZID=Europe/Berlin:20230326T103000", "RRULE:FREQ=MONTHLY;BYDAY=SU;BYSETPOS=-1;COUNT=50",
        "SUMMARY:Brunch"]),
    "old-leap-every-fourth": ("-//Apple Inc.//iOS 17.4//EN", [
        "DTSTART;VALUE=DATE:19920229", "RRULE:FREQ=YEARLY;INTERVAL=4", "SUMMARY:Leap party"]),
}


def calendar_text(uid, shape):
    product, master = shape[0], shape[1]
    changes = shape[2] if len(shape) > 2 else []
    blocks = shape[3] if len(shape) > 3 else []
    lines = ["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:" + product]
    for block in blocks:
        lines += block.split("\n")
    for body in [master] + changes:
        lines += ["BEGIN:VEVENT", "UID:" + uid, "DTSTAMP:20260101T000000Z"] + body + ["END:VEVENT"]
    lines.append("END:VCALENDAR")
    return "\r\n".join(lines) + "\r\n"


def zoned(prop):
    """A property's time as an aware datetime (zoned or UTC), a naive one (floating) or a date."""
    value = prop.dt
    if not isinstance(value, dt.datetime):
        return value
    tzid = prop.params.get("TZID")
    if tzid:
        return value.replace(tzinfo=None).replace(tzinfo=tz.gettz(ZONE_ALIASES.get(tzid, tzid)))
    if value.tzinfo is not None:
        return value.astimezone(tz.UTC)
    return value


def as_list(value):
    return value if isinstance(value, list) else [value]


def occurrences(text):
    """The instants of the calendar's series: (start, summary) pairs before any viewer is applied."""
    calendar = icalendar.Calendar.from_ical(text)
    events = [c for c in calendar.walk("VEVENT")]
    master = [e for e in events if "RECURRENCE-ID" not in e][0]
    changes = [e for e in events if "RECURRENCE-ID" in e]
    start = zoned(master["DTSTART"])
    all_day = not isinstance(start, dt.datetime)
    anchor = dt.datetime.combine(start, dt.time()) if all_day else start
    result = []
    summary = str(master.get("SUMMARY", ""))

    def same_kind(prop):
        value = zoned(prop)
        if all_day:
            return dt.datetime.combine(value, dt.time()) if not isinstance(value, dt.datetime) else value
        if not isinstance(value, dt.datetime):
            return dt.datetime.combine(value, anchor.time()).replace(tzinfo=anchor.tzinfo)
        return value

    if str(master.get("STATUS", "")).upper() != "CANCELLED":
        series = rrule.rruleset()
        if "RRULE" in master:
            rule_text = master["RRULE"].to_ical().decode()
            series.rrule(rrule.rrulestr(rule_text, dtstart=anchor))
        else:
            series.rdate(anchor)
        for prop in as_list(master.get("RDATE", [])):
            for one in prop.dts:
                series.rdate(same_kind(one))
        for prop in as_list(master.get("EXDATE", [])):
            for one in prop.dts:
                series.exdate(same_kind(one))
        for change in changes:
            series.exdate(same_kind(change["RECURRENCE-ID"]))
        end = dt.datetime.combine(LAST + dt.timedelta(days=3), dt.time())
        if anchor.tzinfo is not None:
            end = end.replace(tzinfo=tz.UTC)
        for when in series.between(anchor - dt.timedelta(days=1), end, inc=True):
            result.append((when.date() if all_day else when, summary))
    for change in changes:
        if str(change.get("STATUS", "")).upper() != "CANCELLED":
            value = zoned(change["DTSTART"])
            result.append((value, str(change.get("SUMMARY", ""))))
    return result


def seen_from(when, viewer):
    """The local date and time a viewer in `viewer` sees, as the table writes it."""
    if not isinstance(when, dt.datetime):
        return when, None
    if when.tzinfo is not None:
        when = when.astimezone(tz.gettz(viewer))
    return when.date(), when.strftime("%H:%M")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "tests", "data")
    calendars = []
    table = ["# uid<TAB>zone<TAB>every occurrence from %s to %s as the zone sees it" % (FIRST, LAST),
             "# written by scripts/make-occurrence-table.py (python3-icalendar, dateutil.rrule)"]
    for uid, shape in EVENTS.items():
        text = calendar_text(uid, shape)
        calendars.append(text)
        found = occurrences(text)
        for viewer in VIEWERS:
            seen = []
            for when, summary in found:
                day, clock = seen_from(when, viewer)
                if FIRST <= day <= LAST:
                    seen.append(day.isoformat() + ("T" + clock if clock else ""))
            table.append("\t".join([uid, viewer] + sorted(seen)))
    with open(os.path.join(out, "event-occurrences.ics"), "w", newline="") as f:
        f.write("".join(calendars))
    with open(os.path.join(out, "event-occurrences.txt"), "w") as f:
        f.write("\n".join(table) + "\n")
    print("%d events, %d rows" % (len(EVENTS), len(table) - 2))


if __name__ == "__main__":
    main()
