#!/usr/bin/env python3
"""Another iCalendar implementation (Python's icalendar) on the other side of Kestrivel's .ics files.

  ical_interop.py write PATH   writes a calendar of events of every kind the importer meets
  ical_interop.py read PATH    prints each VEVENT as "date|rule|summary" (line breaks as \\n)

Exit status 77 when the icalendar module is missing.
"""
import sys
from datetime import date, datetime, timezone

try:
    from icalendar import Calendar, Event, Todo
except ImportError:
    sys.exit(77)


def event(summary, start=None, **rule):
    e = Event()
    e.add("uid", f"{summary}@interop.test")
    e.add("dtstamp", datetime(2026, 1, 1, tzinfo=timezone.utc))
    e.add("summary", summary)
    if start is not None:
        e.add("dtstart", start)
    if rule:
        e.add("rrule", rule)
    return e


def write(path):
    cal = Calendar()
    cal.add("prodid", "-//interop test//EN")
    cal.add("version", "2.0")
    for e in [
        event("Dentist\nbring card", date(2026, 3, 10)),
        event("Gym", date(2026, 3, 2), freq="weekly"),
        event("Rent; flat 3", date(2026, 3, 15), freq="monthly"),
        event("Birthday, Ann", date(1990, 7, 4), freq="yearly"),
        event("Meeting", datetime(2026, 4, 1, 9, 30, tzinfo=timezone.utc)),
        event("Every other week", date(2026, 4, 6), freq="weekly", interval=2),
        event("Daily", date(2026, 4, 7), freq="daily"),
        event("Three months", date(2026, 4, 8), freq="monthly", count=3),
        event("Weekdays", date(2026, 4, 9), freq="weekly", byday=["MO", "TU"]),
        event("Same day as the dentist", date(2026, 3, 10)),
        event("No start"),
    ]:
        cal.add_component(e)
    todo = Todo()
    todo.add("uid", "todo@interop.test")
    todo.add("dtstart", date(2026, 5, 1))
    todo.add("summary", "A task, not an event")
    cal.add_component(todo)
    with open(path, "wb") as f:
        f.write(cal.to_ical())


def read(path):
    with open(path, "rb") as f:
        cal = Calendar.from_ical(f.read())
    for e in cal.walk("VEVENT"):
        start = e.decoded("dtstart").isoformat() if "dtstart" in e else ""
        rule = e.get("rrule")
        rule_text = rule.to_ical().decode() if rule is not None else ""
        summary = str(e.get("summary", "")).replace("\n", "\\n")
        print(f"{start}|{rule_text}|{summary}")


if __name__ == "__main__":
    {"write": write, "read": read}[sys.argv[1]](sys.argv[2])
