#!/usr/bin/env python3
"""Writes tests/data/month_table.txt: the reference layout of every month from January 1900 to
December 2100 for every first day of the week, worked out with Python's own calendar module.

One line per month:
    YYYY MM days G1 G2 G3 G4 G5 G6 G7
days is the length of the month. Group G<S> belongs to the first day of the week S (1 Monday ..
7 Sunday) and reads  <lead><rows>:<weeks>  where lead is the number of blank boxes before day 1,
rows the rows of the grid, and weeks the ISO week numbers, two digits each, of day S of the month
plus 7 x r days for r = 0 .. rows - 1.
Run once; the output is committed.
"""
import calendar
import datetime
import os
import sys


def main() -> int:
    here = os.path.dirname(os.path.abspath(__file__))
    out_path = os.path.normpath(os.path.join(here, "..", "tests", "data", "month_table.txt"))
    lines = []
    for year in range(1900, 2101):
        for month in range(1, 13):
            first = datetime.date(year, month, 1).isoweekday()
            days = calendar.monthrange(year, month)[1]
            groups = []
            for start in range(1, 8):
                lead = (first - start) % 7
                rows = -(-(lead + days) // 7)
                base = datetime.date(year, month, start)
                weeks = "".join(f"{(base + datetime.timedelta(days=7 * r)).isocalendar()[1]:02d}"
                                for r in range(rows))
                groups.append(f"{lead}{rows}:{weeks}")
            lines.append(f"{year} {month:02d} {days} " + " ".join(groups))
    with open(out_path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    print(f"{len(lines)} months written to {out_path}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
