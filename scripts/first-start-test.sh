#!/usr/bin/env bash
# A first start as a new user has it: no Schemes.dat, a Memos.dat with memos on several days of this
# month, on a virtual X screen under openbox. The calendar must show a readable look whose memo days
# can be seen, and every one of them must take the mouse where a user points, in the middle of the
# day: hovering there shows the day's hint. Exits 77 (skipped) where a tool is missing.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
name=first-start-test
source "$root/scripts/x-session.sh"
x_need Xvfb openbox xdotool xwininfo import convert python3
x_session 150
app_dir="$work/app"
[ ! -e "$app_dir/Schemes.dat" ] || fail "the program folder already holds a Schemes.dat"

# Memos on every fourth day of this month, today left out: today's own style covers a memo's.
python3 - "$app_dir/Memos.dat" <<'PY'
import datetime, struct, sys
today = datetime.date.today()
days = [d for d in range(2, 29, 4) if d != today.day]
data = struct.pack("<i", 13) + b"CalendarMemos" + struct.pack("<HH", 100, len(days))
for d in days:
    text = ("Memo on the %d" % d).encode()
    serial = (today.replace(day=d) - datetime.date(1899, 12, 30)).days
    data += struct.pack("<dBi", float(serial), 0, len(text)) + text
open(sys.argv[1], "wb").write(data)
PY
expected=$(python3 -c "import datetime; t = datetime.date.today().day; print(len([d for d in range(2, 29, 4) if d != t]))")

QT_QPA_PLATFORM=xcb LC_ALL=C "$app_dir/kestrivel" >"$work/app.log" 2>&1 & pids+=($!)
calendar_id() { bash "$root/scripts/calendar-window.sh"; }
wait_for calendar_id || fail "no calendar window"
calendar=$(calendar_id)
read -r left top width height < <(xwininfo -id "$calendar" | awk '/Absolute upper-left X/ {x=$NF}
    /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')

# The memo days of the first-start look: the centres of the chips in their ring colour.
chips() {
    import -window root "$build/first-start.png"
    convert "$build/first-start.png" -crop "${width}x${height}+${left}+${top}" +repage -alpha off ppm:- |
        python3 "$root/scripts/colour-blobs.py" 215 230 250 |
        awk 'NR == 1 {w = $3; h = $4} $3 * 2 >= w && $4 * 2 >= h' # digit holes are no chips
}
found=""
for _ in $(seq 1 20); do
    found=$(chips) && [ "$(wc -l <<<"$found")" -eq "$expected" ] && break
    sleep 0.25
done
[ "$(wc -l <<<"$found")" -eq "$expected" ] ||
    fail "expected $expected memo days in the first-start look, saw $(grep -c . <<<"$found")"

windows() { xdotool search --onlyvisible --classname '^kestrivel$' 2>/dev/null | wc -l; }
base=$(windows)
missing=()
while read -r cx cy _; do
    x=$((left + cx)) y=$((top + cy))
    xdotool mousemove $((x - 2)) "$y"; sleep 0.05; xdotool mousemove "$x" "$y"
    wait_for bash -c "[ \$(xdotool search --onlyvisible --classname '^kestrivel\$' | wc -l) -gt $base ]" ||
        missing+=("$x,$y")
    xdotool mousemove 1000 740
    wait_for bash -c "[ \$(xdotool search --onlyvisible --classname '^kestrivel\$' | wc -l) -le $base ]" ||
        fail "the hint stayed after the pointer left the calendar"
done <<<"$found"
[ ${#missing[@]} -eq 0 ] || fail "no hint in the middle of the memo days at ${missing[*]}"
echo "$name: $expected memo days, each shows its hint from its middle"
