#!/usr/bin/env bash
# Screenshots of every shipped scheme on a light and on a dark desktop:
#     scripts/shoot-schemes.sh [BUILD] [OUTDIR]      (defaults: build, BUILD/scheme-shots)
# Each shot runs the real program from its own copy of BUILD/bin on a virtual X screen, with a
# Schemes.dat whose active record is the scheme and a Memos.dat holding a memo for today, a weekly
# memo and a memo on the 3rd, and saves OUTDIR/<Scheme>-<light|dark>.png (300x360 pixels of
# the screen, where the calendar sits).
set -euo pipefail

build="${1:-build}"
outdir="${2:-$build/scheme-shots}"
here="$(cd "$(dirname "$0")" && pwd)"
name=shoot-schemes
# shellcheck source=x-session.sh
. "$here/x-session.sh"
for tool in Xvfb xsetroot import convert python3; do
    command -v "$tool" >/dev/null || { echo "shoot-schemes: $tool is missing" >&2; exit 1; }
done
[ -x "$build/bin/kestrivel" ] || { echo "shoot-schemes: $build/bin/kestrivel not found" >&2; exit 1; }
mkdir -p "$outdir"

# Memos.dat (version 100): today's memo of two lines, a weekly one from yesterday, one on the 3rd.
write_memos() {
    python3 - "$1" <<'EOF'
import datetime, struct, sys
def days(d): return float((d - datetime.date(1899, 12, 30)).days)
def text(s): b = s.encode(); return struct.pack("<i", len(b)) + b
today = datetime.date.today()
memos = [(days(today), 0, "Dentist 14:30;Call Anna about Sunday"),
         (days(today - datetime.timedelta(days=1)), 1, "Choir"),
         (days(today.replace(day=3)), 0, "Pay rent")]
data = text("CalendarMemos") + struct.pack("<HH", 100, len(memos))
for date, kind, note in memos:
    data += struct.pack("<dB", date, kind) + text(note)
open(sys.argv[1], "wb").write(data)
EOF
}

scratch="$(mktemp -d)"
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; wait; rm -rf "$scratch"' EXIT
for scheme in "Paper" "Midnight" "Glass" "High contrast"; do
    for desktop in light:'#e9e6df' dark:'#1d2330'; do
        tone="${desktop%%:*}"
        color="${desktop#*:}"
        bin="$scratch/bin-$tone"
        rm -rf "$bin" && x_copy_program "$build/bin" "$bin"
        python3 "$here/make-schemes.py" --active "$scheme" "$bin/Schemes.dat"
        write_memos "$bin/Memos.dat"
        printf '[Options]\nAutorun=0\nAutoUpdate=0\nShowWeekNumbers=1\n[Settings]\nLeft=30\nTop=30\n' \
            >"$bin/Settings.ini"
        shot="$outdir/${scheme// /}-$tone.png"
        mkdir -p "$scratch/runtime-$tone" "$scratch/config-$tone"
        chmod 700 "$scratch/runtime-$tone"
        x_xvfb -screen 0 640x480x24
        xsetroot -solid "$color"
        XDG_RUNTIME_DIR="$scratch/runtime-$tone" XDG_CONFIG_HOME="$scratch/config-$tone" QT_QPA_PLATFORM=xcb \
            "$bin/kestrivel" &
        app=$!
        sleep 3
        import -window root "$shot.full.png"
        kill "$app" "$xvfb_pid"
        wait "$app" "$xvfb_pid" 2>/dev/null || true
        convert "$shot.full.png" -crop 300x360+10+10 +repage "$shot"
        rm -f "$shot.full.png"
        echo "$shot"
    done
done
