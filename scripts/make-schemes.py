#!/usr/bin/env python3
"""Writes the display schemes shipped with Kestrivel as exported scheme files.

    scripts/make-schemes.py [OUTDIR]              one "<File>.dat" per scheme (default: schemes/)
    scripts/make-schemes.py --active NAME FILE    a Schemes.dat whose active record is that scheme

An exported scheme file is one scheme record: the name as a string (signed 32-bit little-endian
length, then the bytes), then eight zone records, zone 0 first. A zone record holds, little-endian
and without padding: font name (string), size (u16), text colour (u32), text style (u8: 1 bold,
2 italic, 4 underline), outline (u8), shadow (u8), effect colour (u32), back solid (u8), back colour
(u32), frame (u8), round corners (u8), frame colour (u32), padding (u16), spacing (u16). Colours are
0x00BBGGRR. Schemes.dat is the 15-byte header "CalendarSchemes", version 110, a u16 count, then the
scheme records; position 0 is the active record, named after the selected list entry.
"""

import os
import struct
import sys

ZONES = ("calendar", "title", "week", "days", "weekends", "today", "memodays", "memo")
BOLD, ITALIC, UNDERLINE = 1, 2, 4


def rgb(r, g, b):
    return r | g << 8 | b << 16


def zone(font="Arial", size=10, text=(0, 0, 0), style=0, effect=None, effect_color=(0, 0, 0),
         back=None, frame=None, round_corners=False, padding=0, spacing=0):
    """One zone style; `effect` is None, "shadow" or "outline"; `back` and `frame` a colour or None."""
    return dict(font=font, size=size, text=text, style=style, effect=effect,
                effect_color=effect_color, back=back, frame=frame, round=round_corners,
                padding=padding, spacing=spacing)


def pack_string(text):
    data = text.encode("utf-8")
    return struct.pack("<i", len(data)) + data


def pack_zone(z):
    back, frame = z["back"], z["frame"]
    return (pack_string(z["font"])
            + struct.pack("<HIBBBIBIBBIHH",
                          z["size"], rgb(*z["text"]), z["style"],
                          z["effect"] == "outline", z["effect"] == "shadow", rgb(*z["effect_color"]),
                          back is not None, rgb(*(back or frame or (0, 0, 0))),
                          frame is not None, z["round"], rgb(*(frame or (0, 0, 0))),
                          z["padding"], z["spacing"]))


def pack_scheme(name, zones):
    assert len(zones) == len(ZONES)
    return pack_string(name) + b"".join(pack_zone(zones[k]) for k in ZONES)


# Day digits sit 2 pixels below the top of their box whatever the padding, so the day zone's padding
# would only widen the gap under them: the tiles take their room from a larger type instead.

# Colours never use 255,0,255: the calendar window shows the desktop through that one.

# A white card with a blue title band; weekends in brick red, today a blue chip, memo days ringed in
# blue, today's memo a pale yellow note.
INK, BLUE, DEEP_BLUE, RING = (45, 50, 60), (52, 110, 200), (30, 70, 140), (215, 230, 250)
PAPER = {
    "calendar": zone(font="", size=0, back=(250, 250, 247), frame=(196, 198, 204), round_corners=True,
                     padding=7),
    "title": zone(size=11, text=(255, 255, 255), style=BOLD, effect="shadow", effect_color=DEEP_BLUE,
                  back=BLUE, frame=BLUE, round_corners=True, padding=3, spacing=6),
    "week": zone(size=8, text=(125, 132, 145), style=BOLD, padding=1, spacing=2),
    "days": zone(size=10, text=INK, padding=0, spacing=2),
    "weekends": zone(size=10, text=(190, 60, 50)),
    "today": zone(size=10, text=(255, 255, 255), style=BOLD, effect="shadow", effect_color=DEEP_BLUE,
                  back=BLUE, frame=DEEP_BLUE, round_corners=True),
    "memodays": zone(size=10, text=DEEP_BLUE, style=BOLD, back=RING, frame=BLUE, round_corners=True),
    "memo": zone(size=9, text=(90, 70, 25), style=ITALIC, back=(255, 246, 204), frame=(225, 195, 105),
                 round_corners=True, padding=3, spacing=7),
}

# A charcoal card with soft tiles; amber marks today, cyan marks memos, the title lifts off the card
# by a shadow.
CARD, TILE, AMBER, CYAN = (30, 33, 40), (46, 50, 60), (255, 176, 58), (96, 200, 250)
MIDNIGHT = {
    "calendar": zone(font="", size=0, back=CARD, frame=(78, 84, 98), round_corners=True, padding=7),
    "title": zone(size=11, text=(236, 239, 245), style=BOLD, effect="shadow", effect_color=(0, 0, 0),
                  padding=2, spacing=5),
    "week": zone(size=8, text=(135, 145, 165), style=BOLD, padding=1, spacing=3),
    "days": zone(size=10, text=(212, 217, 227), back=TILE, round_corners=True, padding=0, spacing=2),
    "weekends": zone(size=10, text=(250, 150, 120), back=TILE, round_corners=True),
    "today": zone(size=10, text=CARD, style=BOLD, back=AMBER, frame=(255, 214, 150), round_corners=True),
    "memodays": zone(size=10, text=CYAN, style=BOLD, back=TILE, frame=CYAN, round_corners=True),
    "memo": zone(size=9, text=(220, 228, 238), back=TILE, frame=CYAN, round_corners=True, padding=3,
                 spacing=7),
}

# Panes of frosted glass on a steel blue: every box a shade lighter than the one behind it with a
# light rim, white text lifted by a dark shadow, today a bright pane.
STEEL, PANE, RIM, GLOW, WARM = (84, 112, 136), (104, 134, 158), (176, 202, 222), (44, 62, 78), (255, 222, 150)
GLASS = {
    "calendar": zone(font="", size=0, back=STEEL, frame=(190, 212, 230), round_corners=True, padding=6),
    "title": zone(size=11, text=(255, 255, 255), style=BOLD, effect="shadow", effect_color=GLOW,
                  back=PANE, frame=RIM, round_corners=True, padding=3, spacing=5),
    "week": zone(size=8, text=(226, 236, 244), style=BOLD, effect="shadow", effect_color=GLOW, padding=1,
                 spacing=2),
    "days": zone(size=10, text=(255, 255, 255), effect="shadow", effect_color=GLOW, back=(96, 126, 150),
                 frame=(140, 168, 190), round_corners=True, padding=0, spacing=3),
    "weekends": zone(size=10, text=WARM, effect="shadow", effect_color=GLOW, back=(96, 126, 150),
                     frame=(140, 168, 190), round_corners=True),
    "today": zone(size=10, text=(36, 62, 86), style=BOLD, back=(236, 244, 250), frame=(255, 255, 255),
                  round_corners=True),
    "memodays": zone(size=10, text=WARM, style=BOLD, effect="shadow", effect_color=GLOW,
                     back=(96, 126, 150), frame=WARM, round_corners=True),
    "memo": zone(size=9, text=(255, 255, 255), effect="shadow", effect_color=GLOW, back=PANE, frame=RIM,
                 round_corners=True, padding=3, spacing=6),
}

# Black card, large bold type, yellow and white only, memo days underlined as well as ringed so they
# do not depend on colour. The black title and today's black number on yellow get a white outline: an
# outline in the text's own colour would fill the holes of the bold digits ("8" a blob), a contrasting
# one keeps them open and sets the digits off their band.
BLACK, WHITE, YELLOW = (0, 0, 0), (255, 255, 255), (255, 255, 0)
CONTRAST = {
    "calendar": zone(font="", size=0, back=BLACK, frame=WHITE, round_corners=True, padding=6),
    "title": zone(size=13, text=BLACK, style=BOLD, effect="outline", effect_color=WHITE, back=YELLOW,
                  frame=YELLOW, round_corners=True, padding=2, spacing=5),
    "week": zone(size=10, text=YELLOW, style=BOLD, padding=1, spacing=2),
    "days": zone(size=11, text=WHITE, style=BOLD, frame=(110, 110, 110), padding=1, spacing=2),
    "weekends": zone(size=11, text=YELLOW, style=BOLD, frame=(110, 110, 110)),
    "today": zone(size=11, text=BLACK, style=BOLD, effect="outline", effect_color=WHITE, back=YELLOW,
                  frame=WHITE, round_corners=True),
    "memodays": zone(size=11, text=(0, 255, 255), style=UNDERLINE, frame=(0, 255, 255), round_corners=True),
    "memo": zone(size=11, text=WHITE, style=BOLD, back=BLACK, frame=YELLOW, round_corners=True, padding=3,
                 spacing=6),
}

# (name shown in the scheme list, file name, zone styles)
SCHEMES = (
    ("Paper", "Paper.dat", PAPER),
    ("Midnight", "Midnight.dat", MIDNIGHT),
    ("Glass", "Glass.dat", GLASS),
    ("High contrast", "HighContrast.dat", CONTRAST),
)


def write(path, data):
    with open(path, "wb") as out:
        out.write(data)


def main(argv):
    if len(argv) == 4 and argv[1] == "--active":
        zones = {name: zones for name, _, zones in SCHEMES}[argv[2]]
        # The active record remembers no list entry (-1); the named schemes follow it.
        named = sorted(SCHEMES, key=lambda s: s[0].encode("utf-8"))
        records = [pack_scheme("-1", zones)] + [pack_scheme(n, z) for n, _, z in named]
        write(argv[3], pack_string("CalendarSchemes") + struct.pack("<HH", 110, len(records))
              + b"".join(records))
        return 0
    if len(argv) > 2:
        print(__doc__, file=sys.stderr)
        return 2
    outdir = argv[1] if len(argv) == 2 else os.path.join(os.path.dirname(__file__), "..", "schemes")
    os.makedirs(outdir, exist_ok=True)
    for name, file_name, zones in SCHEMES:
        write(os.path.join(outdir, file_name), pack_scheme(name, zones))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
