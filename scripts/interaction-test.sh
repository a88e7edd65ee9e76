#!/usr/bin/env bash
# The calendar used as a user would, on a virtual X screen under a real window manager (openbox),
# with the "Paper" scheme: hovering a day shows its hint, a double click on it opens the memo
# editor, a memo typed there and confirmed with Tab and Space lands in Memos.dat and gives the day
# the memo-day style; a double click on the title opens the date entry box, where a date and Enter
# show that month, today's date brings the current month back and Escape closes it; the secondary
# button opens the menu; a drag with either button moves the window, keeps it on the screen also when
# pushed past its edge, and saves its place.
# Screenshots go to <build>/interaction-*.png. Exits 77 (skipped) where a tool is missing.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
name=interaction-test
source "$root/scripts/x-session.sh"
x_need Xvfb openbox xdotool xwininfo xprop import convert python3
x_session 140
python3 "$root/scripts/make-schemes.py" --active Paper "$work/app/Schemes.dat"
app_dir="$work/app"
say() { echo "interaction-test: $*"; }
shot() { sleep 0.4; import -window root "$build/interaction-$1.png"; }

QT_QPA_PLATFORM=xcb LC_ALL=C "$app_dir/kestrivel" >"$work/app.log" 2>&1 & app=$!; pids+=($app)
calendar_id() { bash "$root/scripts/calendar-window.sh"; }
wait_for calendar_id || fail "no calendar window"
calendar=$(calendar_id)
sleep 1
geometry() { # absolute left, top, width, height of the calendar
    xwininfo -id "$calendar" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
read -r left top width height < <(geometry)
shot start

# Paper paints today and the title on the same blue; today's chip is the lower blue band. The day
# used lies a week after today (or before it, late in the month), in the same column.
count_colour() { # shot x y w h r g b : pixels of that colour in the rectangle
    convert "$1" -crop "$4x$5+$2+$3" +repage -alpha off -fill black +opaque "rgb($6,$7,$8)" \
        -fill white -opaque "rgb($6,$7,$8)" -format '%[fx:round(mean*w*h)]' info:
}
paper_bands() { # shot : "x y height" of each band of rows holding the Paper blue in the calendar
    convert "$1" -crop "${width}x${height}+${left}+${top}" +repage -alpha off ppm:- | python3 -c '
import sys
data = sys.stdin.buffer.read()
parts = data.split(maxsplit=4)
w, h, px = int(parts[1]), int(parts[2]), parts[4]
rows = [[x for x in range(w) if px[3 * (y * w + x):3 * (y * w + x) + 3] == bytes((52, 110, 200))] for y in range(h)]
bands, band = [], []
for y, xs in enumerate(rows):
    if xs:
        band.append((y, min(xs), max(xs)))
    elif band:
        bands.append(band); band = []
if band:
    bands.append(band)
for band in bands:
    y0, y1 = band[0][0], band[-1][0]
    x0, x1 = min(r[1] for r in band), max(r[2] for r in band)
    print((x0 + x1) // 2, (y0 + y1) // 2, y1 - y0 + 1)
'
}
locate_today() { # prints "x y pitch" of today's chip in the start shot; fails while it is not painted
    local bands
    bands=$(paper_bands "$build/interaction-start.png") && [ "$(wc -l <<<"$bands")" -ge 2 ] || return 1
    read -r bx by bh < <(tail -n 1 <<<"$bands")
    echo "$bx $by $((bh + 2 + 2))"
}
# The first paint may come late on a loaded machine: shoot again until today's chip shows.
found=""
for _ in $(seq 1 20); do
    if found=$(locate_today 2>/dev/null) && [ -n "$found" ]; then break; fi
    found=""; shot start; read -r left top width height < <(geometry)
done
[ -n "$found" ] || fail "today's box never showed in the Paper scheme's blue"
read -r cx cy pitch <<<"$found"
today=$((10#$(date +%d)))
last=$((10#$(date -d "$(date +%Y-%m-01) +1 month -1 day" +%d)))
if [ $((today + 7)) -le "$last" ]; then day=$((today + 7)); dy=$pitch; else day=$((today - 7)); dy=$((-pitch)); fi
x=$((left + cx)); y=$((top + cy + dy))
say "today $today at $((left + cx)),$((top + cy)); day $day at $x,$y"
ring() { count_colour "$1" $((x - pitch / 3)) $((y - pitch / 3)) $((2 * pitch / 3)) $((2 * pitch / 3)) 215 230 250; }
[ "$(ring "$build/interaction-start.png")" = 0 ] || fail "day $day has the memo-day style before any memo"

# Hover: a hint window of the program appears beside the pointer.
windows() { xdotool search --onlyvisible --classname '^kestrivel$' 2>/dev/null | sort; }
before=$(windows | wc -l)
xdotool mousemove $((x - 3)) "$y"; sleep 0.1; xdotool mousemove "$x" "$y"
wait_for bash -c "[ \$(xdotool search --onlyvisible --classname '^kestrivel\$' | wc -l) -gt $before ]" ||
    fail "no hint over day $day"
shot hint

# Meanwhile another program writes Memos.dat (a writer of the format of its own, as a second
# calendar or a sync would): the calendar's next save keeps that memo beside its own.
python3 - "$app_dir/Memos.dat" <<'PY'
import struct, sys
text = "From the other calendar".encode()
record = struct.pack("<dBi", 46000.0, 0, len(text)) + text  # 9 December 2025, Single
data = struct.pack("<i", 13) + b"CalendarMemos" + struct.pack("<HH", 100, 1) + record
tmp = sys.argv[1] + ".writer"
open(tmp, "wb").write(data)
__import__("os").replace(tmp, sys.argv[1])
PY

# Double click: the editor opens (its text box has the focus); type, Tab to "Ok", Space.
xdotool click --repeat 2 --delay 80 1
wait_for xdotool search --onlyvisible --name '^Memo$' || fail "no memo editor after the double click"
sleep 0.3
xdotool type --delay 20 'Dentist at 9;bring the card'
shot editor
xdotool key Tab space
wait_for bash -c "! xdotool search --onlyvisible --name '^Memo\$'" || fail "the editor did not close"
wait_for grep -q 'Dentist at 9;bring the card' "$app_dir/Memos.dat" || fail "Memos.dat does not hold the memo"
grep -q 'From the other calendar' "$app_dir/Memos.dat" || fail "the save dropped the memo another program wrote"
say "Memos.dat holds the memo written meanwhile by another program"
xdotool mousemove 1000 10
shot memo
[ "$(ring "$build/interaction-memo.png")" -gt 0 ] || fail "day $day did not take the memo-day style"
say "memo saved; day $day ringed ($(ring "$build/interaction-memo.png") memo-day pixels)"

# Double click on the title (no day): the date entry box covers the title's blue. A date typed there
# and Enter show that month, which has neither today's chip nor the memo's ring: one blue band (the
# title) instead of three. Today's date brings the current month back; Escape closes the box and
# leaves the month.
read -r left top width height < <(geometry)
[ "$(paper_bands "$build/interaction-memo.png" | wc -l)" = 3 ] ||
    fail "the title, today's chip and the memo's ring are not three blue bands"
read -r _ title_y title_h < <(paper_bands "$build/interaction-memo.png" | head -n 1)
title_rows=$((title_y + title_h / 2 + 1))
title_full=$(count_colour "$build/interaction-memo.png" "$left" "$top" "$width" "$title_rows" 52 110 200)
now_shot() { import -window root "$work/now.png"; read -r left top width height < <(geometry); }
title_covered() { now_shot; [ "$(count_colour "$work/now.png" "$left" "$top" "$width" "$title_rows" 52 110 200)" -lt $((title_full / 2)) ]; }
title_shown() { ! title_covered; }
bands_shown() { now_shot; [ "$(paper_bands "$work/now.png" | wc -l)" = "$1" ]; }
open_date_box() {
    xdotool mousemove $((left + width / 2)) $((top + title_y)) click --repeat 2 --delay 80 1
    wait_for title_covered || fail "no date entry box over the title after a double click on it"
}
open_date_box
xdotool type --delay 20 "$(date -d '+2 years' +%Y)-03-09"
shot datebox
xdotool key Return
wait_for bands_shown 1 || fail "Enter in the date entry box did not show the month typed"
shot other-month
open_date_box
xdotool type --delay 20 "$(date +%Y-%m-%d)"
xdotool key Return
wait_for bands_shown 3 || fail "today's date in the date entry box did not bring the current month back"
open_date_box
xdotool key Escape
wait_for title_shown || fail "Escape did not close the date entry box"
bands_shown 3 || fail "Escape in the date entry box changed the month"
say "the date entry box showed $(date -d '+2 years' +%Y)-03 and the current month again"

# The secondary button clicked opens the menu; Escape closes it.
popup_menu() { # a shown window of the program that the window manager leaves alone, taller than a hint
    for id in $(xdotool search --onlyvisible --classname '^kestrivel$' 2>/dev/null); do
        xwininfo -id "$id" | awk '/Override Redirect State: yes/ {o=1} /Height:/ {h=$NF} END {exit !(o && h >= 60)}' &&
            return 0
    done
    return 1
}
xdotool mousemove "$x" "$y" click 3
wait_for popup_menu || fail "no menu on the secondary button"
shot menu
xdotool key Escape
menu_closed() { ! popup_menu; }
wait_for menu_closed || fail "Escape did not close the menu"

# Dragging with the primary button moves the window and saves its place.
read -r left top width height < <(geometry)
xdotool mousemove $((left + 20)) $((top + height - 6)) mousedown 1
for step in $(seq 1 10); do xdotool mousemove_relative -- 12 8; sleep 0.05; done
xdotool mouseup 1
moved() { read -r moved_left moved_top _ _ < <(geometry); [ "$moved_left" -gt $((left + 60)) ] && [ "$moved_top" -gt $((top + 40)) ]; }
wait_for moved || fail "the drag did not move the window ($left,$top -> $(geometry))"
read -r moved_left moved_top _ _ < <(geometry)
wait_for grep -q "^Left=$moved_left" "$app_dir/Settings.ini" || fail "the new place was not saved"
grep -q "^Top=$moved_top" "$app_dir/Settings.ini" || fail "the new place was not saved"
say "dragged from $left,$top to $moved_left,$moved_top; saved"

# Dragging with the secondary button past the right edge of the screen and holding it there: the
# window stays on the screen, flush with that edge, and its place is saved when the button is let go.
read -r left top width height < <(geometry)
read -r screen_width screen_height < <(xwininfo -root | awk '/Width:/ {w=$NF} /Height:/ {h=$NF} END {print w, h}')
flush_right() { read -r l t w _ < <(geometry); [ $((l + w)) = "$screen_width" ] && [ "$t" = "$top" ]; }
xdotool mousemove $((left + 20)) $((top + height - 6)) mousedown 3
for step in $(seq 1 12); do xdotool mousemove_relative -- 80 0; sleep 0.05; done
wait_for flush_right || fail "held past the right edge, the window is not flush with it ($(geometry))"
shot edge
xdotool mouseup 3
wait_for grep -q "^Left=$((screen_width - width))" "$app_dir/Settings.ini" ||
    fail "the place at the right edge was not saved ($(grep -E '^(Left|Top)=' "$app_dir/Settings.ini" | tr '\n' ' '))"
grep -q "^Top=$top" "$app_dir/Settings.ini" || fail "the place at the right edge was saved with another top"
read -r l t w h < <(geometry)
[ "$l" -ge 0 ] && [ "$t" -ge 0 ] && [ $((l + w)) -le "$screen_width" ] && [ $((t + h)) -le "$screen_height" ] ||
    fail "after the drag the window is not wholly on the screen ($l,$t ${w}x$h)"
popup_menu && fail "the secondary button's drag opened the menu"
say "dragged with the secondary button to the right edge at $l,$t; saved"
shot end
kill "$app"
say "passed"
