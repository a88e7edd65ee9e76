#!/usr/bin/env bash
# The real program on a virtual X screen under openbox: "Configure..." opened from the calendar's
# menu with the keyboard, then Return (Ok). Ok applies, which writes Schemes.dat and Memos.dat
# again; with nothing changed both come out byte for byte as they were. Then Apply with the dialog
# left open and the program ended by a signal: Settings.ini keeps all that Apply applied. The program folder is a
# scratch copy of <build>/bin holding the shipped schemes (the active record naming one of them)
# and a few memos of every type. Exits 77 (skipped) where a tool is missing.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
name=config-dialog-test
source "$here/x-session.sh"
x_need Xvfb openbox xdotool xwininfo xprop python3 cmp
[ -x "$build/bin/kestrivel" ] || fail "$build/bin/kestrivel not built"
x_session 140

app="$work/app"
rm -f "$app"/Memos.dat* "$app"/Schemes.dat*
python3 "$here/make-schemes.py" --active Paper "$app/Schemes.dat"
python3 - "$app/Schemes.dat" "$app/Memos.dat" <<'EOF'
import datetime, struct, sys
# The active record remembers list entry 3 (Paper, fourth in name order), so showing the dialog
# selects that scheme and Ok writes the active record from it.
schemes = open(sys.argv[1], "rb").read()
active = struct.pack("<i", 2) + b"-1"
first = 4 + 15 + 4  # the header string, the version and the count
assert schemes[first:first + len(active)] == active
open(sys.argv[1], "wb").write(schemes[:first] + struct.pack("<i", 1) + b"3" + schemes[first + len(active):])
def days(d): return float((d - datetime.date(1899, 12, 30)).days)
def text(s): b = s.encode(); return struct.pack("<i", len(b)) + b
memos = [(datetime.date(2026, 2, 14), 2, "Monthly report"), (datetime.date(2026, 5, 1), 3, "Maifeiertag – Grillen"),
         (datetime.date(2026, 12, 7), 1, "Choir"), (datetime.date(2026, 12, 8), 0, "Dentist 14:30;Call Anna")]
data = text("CalendarMemos") + struct.pack("<HH", 100, len(memos))
for date, kind, note in memos:
    data += struct.pack("<dB", days(date), kind) + text(note)
open(sys.argv[2], "wb").write(data)
EOF
printf '[Options]\nAutorun=0\nAutoUpdate=0\n[Settings]\nLeft=40\nTop=40\n' >"$app/Settings.ini"
cp "$app/Schemes.dat" "$work/Schemes.before"
cp "$app/Memos.dat" "$work/Memos.before"

QT_QPA_PLATFORM=xcb "$app/kestrivel" >"$work/app.log" 2>&1 & program=$!; pids+=($program)
calendar_id() { bash "$here/calendar-window.sh"; }
wait_for calendar_id || fail "no calendar window"
calendar=$(calendar_id)
inodes() { stat -c %i "$app/Schemes.dat" "$app/Memos.dat" | tr '\n' ' '; }
before=$(inodes)

x_open_configure
echo "config-dialog-test: dialog $dialog open"
xdotool windowactivate --sync "$dialog" 2>/dev/null || true
xdotool key Return
wait_for bash -c "! xwininfo -id $dialog 2>/dev/null | grep -q IsViewable" || fail "Return did not close the dialog"

kill -0 "$program" 2>/dev/null || fail "the program ended"
[ "$(inodes)" != "$before" ] || fail "Ok did not write Schemes.dat and Memos.dat"
cmp "$work/Schemes.before" "$app/Schemes.dat" || fail "Schemes.dat changed"
cmp "$work/Memos.before" "$app/Memos.dat" || fail "Memos.dat changed"

# Apply, then the program ends with the dialog still open, as at logout: what Apply applied is all in
# Settings.ini, the reminder ticked here and the language among it.
x_open_configure
xdotool mousemove --window "$dialog" 24 193 click 1
# Apply sits at the right of the row of buttons along the dialog's bottom edge.
read -r dialog_height < <(xwininfo -id "$dialog" | awk '/Height:/ {print $NF}')
xdotool mousemove --window "$dialog" 392 $((dialog_height - 21)) click 1
wait_for grep -qx 'Remind=1' "$app/Settings.ini" || fail "Apply did not save the reminder: $(cat "$app/Settings.ini")"
kill -TERM "$program"
wait "$program" 2>/dev/null || true
settings=$(cat "$app/Settings.ini")
for line in '\[Options\]' 'Remind=1' 'LanguageFile=.*' 'AutoUpdate=0' '\[Settings\]'; do
    grep -qx "$line" <<<"$settings" || fail "Settings.ini lost $line after Apply and an end: $settings"
done
echo "config-dialog-test: passed"
