#!/usr/bin/env bash
# One user, two desktop sessions: two virtual X screens under openbox sharing one runtime folder.
# Each session runs its own calendar, with a lock and a socket file named after its display in the
# runtime folder; a second start in a session shows that session's hidden calendar and ends. Then
# locks that cannot be used (folders of their names) in both the runtime and the program folder:
# the calendar starts all the same and says why a second start may not find it. Screenshots go to
# <build>/session-*.png. Exits 77 (skipped) where a tool is missing.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
name=session-test
source "$here/x-session.sh"
x_need Xvfb openbox xdotool xwininfo xprop import python3
x_session 200
app="$work/app"
python3 "$here/make-schemes.py" --active Paper "$app/Schemes.dat"
printf '[Options]\nAutorun=0\nAutoUpdate=0\n[Settings]\nLeft=60\nTop=60\n' >"$app/Settings.ini"
first=$DISPLAY
x_xvfb -screen 0 800x600x24
second=$DISPLAY
export DISPLAY=$first
DISPLAY=$second openbox >/dev/null 2>&1 & pids+=($!)
DISPLAY=$second x_wm_ready || fail "openbox did not start on $second"

start() { # display log
    DISPLAY=$1 QT_QPA_PLATFORM=xcb "$app/kestrivel" >"$work/$2.log" 2>&1 & pids+=($!)
}
calendar_on() { DISPLAY=$1 bash "$here/calendar-window.sh"; }
shown_on() { DISPLAY=$1 xwininfo -id "$2" 2>/dev/null | grep -q IsViewable; }

start "$first" first
wait_for calendar_on "$first" || fail "no calendar on $first"
one=$(calendar_on "$first")
for file in "Kestrivel-x11-${first#:}.lock" "Kestrivel-x11-${first#:}.socket"; do
    [ -e "$XDG_RUNTIME_DIR/$file" ] || fail "no $file in the runtime folder ($(ls "$XDG_RUNTIME_DIR"))"
done
[ -S "$XDG_RUNTIME_DIR/Kestrivel-x11-${first#:}.socket" ] || fail "the socket is no socket file"

start "$second" second
second_pid=${pids[-1]}
wait_for calendar_on "$second" || fail "the second session runs no calendar of its own"
two=$(calendar_on "$second")
kill -0 "$second_pid" 2>/dev/null || fail "the second session's calendar ended"
DISPLAY=$second import -window root "$build/session-second.png"
echo "$name: one calendar in each session"

# Display/Hide, the menu's first item, hides the second session's focused calendar. A busy machine
# may give the calendar the focus only on a second try.
open_menu() {
    DISPLAY=$second xdotool windowactivate --sync "$two" 2>/dev/null ||
        DISPLAY=$second xdotool windowfocus --sync "$two" 2>/dev/null || true
    DISPLAY=$second xdotool key Menu
    DISPLAY=$second wait_for x_popup_menu
}
open_menu || open_menu || open_menu || fail "the menu key did not open the menu on $second"
DISPLAY=$second xdotool key Down Return
wait_for bash -c "! DISPLAY=$second xwininfo -id $two | grep -q IsViewable" || fail "Display/Hide did not hide the calendar"

# A second start there shows that calendar again and ends; the first session's stays as it was.
DISPLAY=$second QT_QPA_PLATFORM=xcb timeout 20 "$app/kestrivel" >"$work/third.log" 2>&1 ||
    fail "the second start did not end by itself ($?)"
wait_for shown_on "$second" "$two" || fail "the second start did not show its session's calendar"
shown_on "$first" "$one" || fail "the first session's calendar is gone"
[ "$(DISPLAY=$first xdotool search --classname '^kestrivel$' 2>/dev/null | wc -l)" -ge 1 ] || fail "lost the first"
echo "$name: a second start showed its own session's calendar"

# Unusable locks in both folders: the calendar starts anyway and says so once.
stop_calendars() {
    for pid in "${pids[@]}"; do
        if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = kestrivel ]; then kill "$pid" 2>/dev/null || true; fi
    done
    wait_for bash -c "! DISPLAY=$first bash '$here/calendar-window.sh'" || fail "the calendar did not end"
}
stop_calendars
rm -f "$XDG_RUNTIME_DIR/Kestrivel-x11-${first#:}.lock" "$app/Kestrivel-x11-${first#:}.lock"
mkdir -p "$XDG_RUNTIME_DIR/Kestrivel-x11-${first#:}.lock" "$app/Kestrivel-x11-${first#:}.lock"
start "$first" unlocked
wait_for calendar_on "$first" || fail "no calendar without a usable lock"
message() { xdotool search --onlyvisible --name '^Message$' 2>/dev/null | head -n 1 | grep -q .; }
wait_for message || fail "no message about the lock"
import -window root "$build/session-unlocked.png"
echo "$name: passed"
