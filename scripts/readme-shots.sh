#!/usr/bin/env bash
# Screenshots for the README, taken from the real program: a virtual X screen under openbox, the
# program from the build folder (a scratch copy of <build>/bin holding the shipped schemes with
# "Paper" active), driven with xdotool as a user would:
#
#   calendar.png        the calendar with a memo, after adding it
#   memo-editor.png     the memo editor opened by a double click on a day, text typed
#   menu.png            the calendar's menu (secondary button)
#   date-box.png        the date box opened by a double click on the title
#   config-display.png  "Configure..." from the menu, on the Display tab
#
# Each is cropped to its window (with a little desktop around it) and written as a small PNG.
# Usage: readme-shots.sh BUILD [OUTDIR] (default OUTDIR: docs/images). Exits 77 where a tool is missing.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
out=${2:-$root/docs/images}
name=readme-shots
source "$root/scripts/x-session.sh"
x_need Xvfb openbox xdotool xwininfo xprop xsetroot import convert python3
[ -x "$build/bin/kestrivel" ] || fail "$build/bin/kestrivel not built"
mkdir -p "$out"
out=$(cd "$out" && pwd)
x_session 160
app="$work/app"
python3 "$root/scripts/make-schemes.py" --active Paper "$app/Schemes.dat"
# The active record names the list entry it came from: 3, Paper (fourth in name order), so the
# Display tab shows Paper chosen.
python3 - "$app/Schemes.dat" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
first = 4 + 15 + 4  # the header string, the version and the count
active = struct.pack("<i", 2) + b"-1"
assert data[first:first + len(active)] == active
open(sys.argv[1], "wb").write(data[:first] + struct.pack("<i", 1) + b"3" + data[first + len(active):])
PY
printf '[Options]\nAutorun=0\nAutoUpdate=0\n[Settings]\nLeft=24\nTop=24\n' >"$app/Settings.ini"
xsetroot -solid '#4a7a9c'

QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 LANG=C.UTF-8 "$app/kestrivel" >"$work/app.log" 2>&1 & pids+=($!)
calendar_id() { bash "$root/scripts/calendar-window.sh"; }
wait_for calendar_id || fail "no calendar window"
calendar=$(calendar_id)
sleep 1

# Outer rectangle of a window, "left top width height", with the window manager's frame.
rect() {
    local id=$1 x y w h l=0 r=0 t=0 b=0 extents
    read -r x y w h < <(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$NF}
        /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
    extents=$(xprop -id "$id" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.* = //p' | tr -d ',')
    [ -n "$extents" ] && read -r l r t b <<<"$extents"
    echo $((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))
}
# The rectangle once it holds still (a window that just grew may still be moving).
steady_rect() {
    local a b
    a=$(rect "$1")
    for _ in $(seq 1 20); do
        sleep 0.2
        b=$(rect "$1")
        [ "$a" = "$b" ] && break
        a=$b
    done
    echo "$a"
}
# shot FILE RECT... : the union of the rectangles, a margin of desktop around it, saved small.
shot() {
    local file=$1; shift
    local margin=12
    sleep 0.5
    import -window root "$work/screen.png"
    read -r x0 y0 x1 y1 < <(printf '%s\n' "$@" | awk -v m=$margin '
        NR == 1 {a=$1; b=$2; c=$1+$3; d=$2+$4}
        {if ($1<a) a=$1; if ($2<b) b=$2; if ($1+$3>c) c=$1+$3; if ($2+$4>d) d=$2+$4}
        END {a-=m; b-=m; c+=m; d+=m; if (a<0) a=0; if (b<0) b=0; print a, b, c, d}')
    convert "$work/screen.png" -crop "$((x1 - x0))x$((y1 - y0))+$x0+$y0" +repage \
        -strip -define png:compression-level=9 "$out/$file"
    echo "$name: $out/$file $(identify -format '%wx%h' "$out/$file"), $(($(stat -c %s "$out/$file") / 1024)) KiB"
}
# Viewable windows of the program that are not the calendar, newest last.
others() {
    for id in $(xdotool search --onlyvisible --classname '^kestrivel$' 2>/dev/null); do
        if [ "$id" != "$calendar" ]; then echo "$id"; fi
    done
}
new_window() { # waits for a window of the program that is not in "$@" and prints it
    local id
    for _ in $(seq 1 100); do
        for id in $(others); do
            case " $* " in *" $id "*) ;; *) echo "$id"; return 0 ;; esac
        done
        sleep 0.1
    done
    return 1
}
read -r left top width height < <(steady_rect "$calendar")
echo "$name: calendar at $left,$top, $width x $height"

# Today's box: in Paper the title band and today's chip share one blue; today is the lower of the two.
import -window root "$work/screen.png"
read -r tx ty < <(convert "$work/screen.png" -crop "${width}x${height}+${left}+${top}" +repage -alpha off ppm:- |
    python3 -c '
import sys
data = sys.stdin.buffer.read()
parts = data.split(maxsplit=4)
w, h, px = int(parts[1]), int(parts[2]), parts[4]
blue = bytes((52, 110, 200))
rows = [[x for x in range(w) if px[3 * (y * w + x):3 * (y * w + x) + 3] == blue] for y in range(h)]
bands, band = [], []
for y, xs in enumerate(rows):
    if xs:
        band.append((y, min(xs), max(xs)))
    elif band:
        bands.append(band); band = []
if band:
    bands.append(band)
today = bands[-1]
print((min(r[1] for r in today) + max(r[2] for r in today)) // 2, (today[0][0] + today[-1][0]) // 2)
') || fail "today's box not found"
tx=$((left + tx)); ty=$((top + ty))

# The menu: the secondary button on today (the day's hint may show already; the menu is new).
xdotool mousemove $((tx - 2)) "$ty"; sleep 0.1; xdotool mousemove "$tx" "$ty"; sleep 0.3
before=$(others | tr '\n' ' ')
xdotool click 3
menu=$(new_window $before) || fail "no menu"
shot menu.png "$left $top $width $height" "$(steady_rect "$menu")"

# "Add a memo..." (the second item) opens the memo editor on that day.
xdotool key Down Down Return
wait_for xdotool search --onlyvisible --name '^Memo$' || fail "no memo editor"
editor=$(xdotool search --onlyvisible --name '^Memo$' | head -n 1)
sleep 0.3
xdotool type --delay 20 'Dentist at 9;Bring the insurance card'
shot memo-editor.png "$(steady_rect "$editor")"
xdotool key Tab space
wait_for bash -c "! xdotool search --onlyvisible --name '^Memo\$'" || fail "the editor did not close"
wait_for grep -q 'Dentist at 9' "$app/Memos.dat" || fail "the memo was not saved"

# The calendar with today's memo below the month. Growing for the memo, the calendar may be moved
# by the window manager (openbox puts it in the corner); it goes back, as a user would drag it, so
# the shots keep their margin of desktop.
xdotool mousemove 1000 700
sleep 0.5
xdotool windowmove "$calendar" 24 24
read -r left top width height < <(steady_rect "$calendar")
shot calendar.png "$left $top $width $height"

# A double click on the title opens the date box.
xdotool mousemove $((left + width / 2)) $((top + 12)) click --repeat 2 --delay 80 1
sleep 0.5
xdotool mousemove 1000 700
shot date-box.png "$left $top $width $height"
xdotool key Escape
sleep 0.3

# "Configure..." from the menu (secondary button on the title, two up from the bottom), then
# the Display tab.
before=$(others | tr '\n' ' ')
xdotool mousemove $((left + width / 2)) $((top + 12)) click 3
menu=$(new_window $before) || fail "no menu on the title"
xdotool key Up Up Return
dialog_id() { # the dialog's caption is the program's name, like the calendar's
    for id in $(xdotool search --onlyvisible --name '^Kestrivel$' 2>/dev/null); do
        if [ "$id" != "$calendar" ]; then echo "$id"; return 0; fi
    done
    return 1
}
wait_for dialog_id || fail "no configuration dialog"
dialog=$(dialog_id)
sleep 0.3
xdotool windowactivate --sync "$dialog" 2>/dev/null || true
xdotool key ctrl+Tab
sleep 0.3
# Its scheme list open (the "Scheme" box is centred at 340,108 in the fixed-size dialog).
read -r dx dy < <(xwininfo -id "$dialog" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}')
before=$(others | tr '\n' ' ')
xdotool mousemove $((dx + 340)) $((dy + 108)) click 1
list=$(new_window $before) || fail "the scheme list did not open"
xdotool mousemove $((dx + 340)) $((dy + 108))
shot config-display.png "$(steady_rect "$dialog")" "$(steady_rect "$list")"
xdotool key Escape
xdotool key Escape
echo "$name: done"
