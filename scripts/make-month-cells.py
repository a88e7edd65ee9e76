#!/usr/bin/env python3
"""Writes tests/data/month_cells.txt: the day number in every box of the grid for a few months,
worked out with Python's own calendar module, to check the calendar's hit-testing against.

One line per month and first day of the week:
    YYYY MM S rows d(0,0) d(0,1) ... d(rows-1,6)
S is the first day of the week (1 Monday .. 7 Sunday), rows the rows of the grid (4, 5 or 6), then
the day number of each box row by row, 0 for a blank box.
Run once; the output is committed.
"""
import calendar
import os
import sys

# 4, 5 and 6 rows: February 2021 (the 1st a Monday), February 2015 (a Sunday), August 2021 (a
# Sunday, 31 days), May 2021 (a Saturday, 31 days), December 2030 and February 2024 (leap year).
MONTHS = [(2021, 2), (2015, 2), (2021, 8), (2021, 5), (2030, 12), (2024, 2)]


def main() -> int:
    here = os.path.dirname(os.path.abspath(__file__))
    out_path = os.path.normpath(os.path.join(here, "..", "tests", "data", "month_cells.txt"))
    lines = []
    for year, month in MONTHS:
        for start in (1, 7):
            weeks = calendar.Calendar(firstweekday=start - 1).monthdayscalendar(year, month)
            cells = " ".join(str(day) for week in weeks for day in week)
            lines.append(f"{year} {month:02d} {start} {len(weeks)} {cells}")
    with open(out_path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    print(f"{len(lines)} months written to {out_path}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
