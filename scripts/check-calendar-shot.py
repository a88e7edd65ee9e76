#!/usr/bin/env python3
"""Checks a screenshot of the styled calendar (see dpi-compositor-shots.sh).

Usage: check-calendar-shot.py SHOT.png LEFT TOP DESKTOP_COLOUR|corner FRAME_COLOUR [LINE]
- the pixels that differ from the desktop start exactly at (LEFT, TOP);
- no square of the frame colour one pixel wider than LINE (every frame line is LINE pixels wide, the
  calendar's one design pixel at the screen's scale; default 1);
- the ring of pixels just outside the calendar's outline is exactly the desktop colour;
- no pixel is the key colour or close to it.
Prints one line of findings; exits 1 when a check fails."""
import subprocess
import sys


def colour(text):
    text = text.lstrip('#')
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def load(path):
    ppm = subprocess.run(['convert', path, '-alpha', 'off', 'ppm:-'], check=True, capture_output=True).stdout
    parts = ppm.split(maxsplit=4)
    width, height = int(parts[1]), int(parts[2])
    data = parts[4]
    return width, height, [tuple(data[i:i + 3]) for i in range(0, width * height * 3, 3)]


def main():
    path, left, top = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    frame = colour(sys.argv[5])
    line = int(sys.argv[6]) if len(sys.argv) > 6 else 1
    width, height, px = load(path)
    at = lambda x, y: px[y * width + x]
    # A compositing manager paints the desktop itself; its colour is the one in the screen's corner.
    desktop = at(0, 0) if sys.argv[4] == 'corner' else colour(sys.argv[4])
    shown = [(i % width, i // width) for i, p in enumerate(px) if p != desktop]
    problems = []
    if not shown:
        print(f'{path}: nothing shown')
        return 1
    x0 = min(x for x, _ in shown)
    y0 = min(y for _, y in shown)
    x1 = max(x for x, _ in shown)
    y1 = max(y for _, y in shown)
    if (x0, y0) != (left, top):
        problems.append(f'calendar at ({x0}, {y0}), not ({left}, {top})')

    frames = [(x, y) for x, y in shown if at(x, y) == frame]
    # A line wider than `line` holds a square of the frame colour one pixel wider; corners of lines
    # as wide as `line` do not.
    span = range(line + 1)
    thick = [(x, y) for x, y in frames
             if x + line < width and y + line < height and all(at(x + i, y + j) == frame for i in span for j in span)]
    if thick:
        problems.append(f'{len(thick)} frame pixels on lines wider than {line} pixel(s), e.g. {thick[:3]}')
    ring = [(x, y) for x in range(x0 - 1, x1 + 2) for y in (y0 - 1, y1 + 1)] + \
           [(x, y) for y in range(y0, y1 + 1) for x in (x0 - 1, x1 + 1)]
    blurred = [p for p in ring if 0 <= p[0] < width and 0 <= p[1] < height and at(*p) != desktop]
    if blurred:
        problems.append(f'{len(blurred)} pixels around the calendar differ from the desktop')
    keyish = [p for p in shown if at(*p)[0] > 160 and at(*p)[2] > 160 and at(*p)[1] < 100]
    if keyish:
        problems.append(f'{len(keyish)} key-coloured pixels, e.g. {keyish[:3]} {at(*keyish[0])}')
    colours = len({at(x, y) for x, y in shown})
    print(f'{path}: calendar {x1 - x0 + 1}x{y1 - y0 + 1} at ({x0}, {y0}), {len(frames)} frame pixels, '
          f'{colours} colours' + ('; ' + '; '.join(problems) if problems else '; all checks pass'))
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
