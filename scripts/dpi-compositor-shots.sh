#!/usr/bin/env bash
# Runs the real program on a virtual X screen at 96, 144 and 192 dpi (Xft.dpi), each without and with
# a compositing manager (xcompmgr), with one styled scheme saved at Left=100, Top=60, and checks every
# screenshot: the calendar sits at (100, 60) in screen pixels, every frame line is one design pixel at
# the screen's scale wide (1 at 96 dpi, 2 at 144 and 192), the
# ring of pixels around the calendar is the desktop's own colour (no blur from resampling), and no
# key-coloured pixel shows. Screenshots and 3x enlargements go to the output folder.
# Usage: dpi-compositor-shots.sh <build folder> [output folder]. Exits 77 where a tool is missing.
set -euo pipefail
build=${1:?build folder}
out=${2:-$build/shots}
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=x-session.sh
. "$root/scripts/x-session.sh"
for tool in Xvfb xrdb xsetroot xwininfo import convert openbox xcompmgr python3; do
    command -v "$tool" >/dev/null 2>&1 || { echo "shots: $tool missing, skipped"; exit 77; }
done
mkdir -p "$out"
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    pids=()
}
trap 'cleanup; rm -rf "$work"' EXIT

# The program keeps its files beside itself: a copy in a folder of its own with the styled scheme.
cp "$build/bin/kestrivel" "$work/"
printf '[Options]\r\nShowWeekNumbers=1\r\nAutoUpdate=0\r\nAutorun=0\r\n[Settings]\r\nLeft=100\r\nTop=60\r\n' >"$work/Settings.ini"
python3 - "$work/Schemes.dat" <<'EOF'
import struct, sys
def string(b): return struct.pack('<i', len(b)) + b
def rgb(r, g, b): return r | g << 8 | b << 16
def zone(font=b'', size=0, text=0, style=0, outline=0, shadow=0, effect=0, back=0, backc=0,
         frame=0, rounded=0, framec=0, padding=0, spacing=0):
    return (string(font) + struct.pack('<H', size) + struct.pack('<I', text) +
            bytes([style, outline, shadow]) + struct.pack('<I', effect) + bytes([back]) +
            struct.pack('<I', backc) + bytes([frame, rounded]) + struct.pack('<I', framec) +
            struct.pack('<HH', padding, spacing))
BLUE, WHITE, BLACK = rgb(0, 0, 255), rgb(255, 255, 255), rgb(0, 0, 0)
zones = [
    zone(frame=1, framec=BLUE, padding=3),                                     # calendar: outline only
    zone(b'Liberation Serif', 11, BLACK, 1 | 2, back=1, backc=rgb(255, 250, 205), frame=1,
         framec=BLUE, padding=1, spacing=2),                                   # title, bold italic serif
    zone(b'Arial', 8, WHITE, 1, outline=1, effect=BLACK, spacing=2),           # initials over the desktop
    zone(b'Arial', 9, BLACK, back=1, backc=WHITE, frame=1, framec=BLUE, spacing=2),
    zone(b'Arial', 9, rgb(170, 0, 0), back=1, backc=rgb(255, 230, 230), frame=1, framec=BLUE, spacing=2),
    zone(b'Arial', 9, WHITE, 1, back=1, backc=rgb(0, 120, 0), frame=1, rounded=1, framec=BLUE, spacing=2),
    zone(b'Arial', 9, BLACK, 4, back=1, backc=WHITE, frame=1, framec=BLUE, spacing=2),
    zone(b'Arial', 9, BLACK, 2, spacing=2),
]
data = string(b'CalendarSchemes') + struct.pack('<HH', 110, 1) + string(b'-1') + b''.join(zones)
open(sys.argv[1], 'wb').write(data)
EOF

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work}
failed=0
for dpi in 96 144 192; do
    for comp in none xcompmgr; do
        name="calendar-${dpi}dpi-${comp}"
        x_xvfb +extension Composite
        xsetroot -solid '#308030'
        echo "Xft.dpi: $dpi" | xrdb -merge
        openbox >/dev/null 2>&1 &
        pids+=($!)
        x_wm_ready || fail "openbox did not start"
        if [ "$comp" = xcompmgr ]; then
            xcompmgr >/dev/null 2>&1 &
            pids+=($!)
        fi
        sleep 1
        QT_QPA_PLATFORM=xcb "$work/kestrivel" >"$work/$name.log" 2>&1 &
        pids+=($!)
        for _ in $(seq 1 100); do bash "$root/scripts/calendar-window.sh" >/dev/null && break; sleep 0.1; done
        sleep 1.5
        import -window root "$out/$name.png"
        cleanup
        if ! python3 "$root/scripts/check-calendar-shot.py" "$out/$name.png" 100 60 corner '#0000ff' $(((dpi + 48) / 96)); then
            failed=1
        fi
        convert "$out/$name.png" -crop 360x330+90+50 +repage -scale 300% "$out/$name-3x.png"
    done
done
exit $failed
