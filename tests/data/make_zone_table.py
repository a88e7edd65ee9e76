#!/usr/bin/python3
"""Writes zones/zone_table.txt: the local date on which an event starting at a time in a TZID falls,
for a few local zones, worked out by python3-dateutil from the system's zone data.

Each line: TZID, local zone, start as written, expected local date, 1 when the calendar must mark
the event as read only approximately; separated by tabs. The VTIMEZONEs some rows use are in
zones/zone_blocks.ics; for each, the zone it equals over the years the rows use is named below.
Run again after changing the rows: python3 make_zone_table.py"""
import datetime
import os

from dateutil import tz

HERE = os.path.dirname(os.path.abspath(__file__))
LOCAL_ZONES = ["Europe/Berlin", "Pacific/Auckland", "Asia/Kolkata", "UTC"]
STARTS = ["20260701T233000", "20260115T003000", "20261231T220000", "19950925T013000"]

# The object's own zones (zone_blocks.ics), their equivalent, and whether they are past the bound.
OWN = {
    "Pacific Standard Time (Outlook)": (tz.gettz("America/Los_Angeles"), 0),
    "Berlin (history)": (tz.gettz("Europe/Berlin"), 0),
    "Kolkata (dates)": (tz.gettz("Asia/Kolkata"), 0),
    # Past the bound: the offset of the last observance, +14:00.
    "Bomb": (tz.tzoffset(None, 14 * 3600), 1),
    # Past the bound, under a system zone's name: that zone.
    "America/Chicago": (tz.gettz("America/Chicago"), 1),
}
# Windows names, as the Unicode CLDR's windowsZones table maps them for the territory "001".
WINDOWS = {
    "Pacific Standard Time": "America/Los_Angeles",
    "W. Europe Standard Time": "Europe/Berlin",
    "India Standard Time": "Asia/Kolkata",
    "AUS Eastern Standard Time": "Australia/Sydney",
    "Tokyo Standard Time": "Asia/Tokyo",
    "E. South America Standard Time": "America/Sao_Paulo",
}
# IANA names with no VTIMEZONE, also links and a vendor's prefix.
IANA = {
    "America/New_York": "America/New_York",
    "Asia/Calcutta": "Asia/Kolkata",
    "Pacific/Chatham": "Pacific/Chatham",
    "America/St_Johns": "America/St_Johns",
    "/freeassociation.sourceforge.net/Europe/Paris": "Europe/Paris",
    "/mozilla.org/20050126_1/America/Denver": "America/Denver",
}
# Paths and names found nowhere: the time stays as written.
FLOATING = [
    "../../../../etc/passwd",
    "../../../../dev/stdin",
    "/usr/share/zoneinfo/../../../../etc/passwd",
    "Europe/../Europe/Berlin",
    "./Europe/Berlin",
    "europe/berlin",
    "Nowhere/Atlantis",
]


def rows():
    zones = {name: zone for name, zone in OWN.items()}
    zones.update({name: (tz.gettz(iana), 0) for name, iana in WINDOWS.items()})
    zones.update({name: (tz.gettz(iana), 0) for name, iana in IANA.items()})
    zones.update({name: (None, 0) for name in FLOATING})
    for name, (zone, inexact) in zones.items():
        for local in LOCAL_ZONES:
            for start in STARTS:
                when = datetime.datetime.strptime(start, "%Y%m%dT%H%M%S")
                day = when.date() if zone is None else when.replace(tzinfo=zone).astimezone(tz.gettz(local)).date()
                yield f"{name}\t{local}\t{start}\t{day.isoformat()}\t{inexact}\n"


with open(os.path.join(HERE, "zones", "zone_table.txt"), "w") as out:
    out.writelines(rows())
