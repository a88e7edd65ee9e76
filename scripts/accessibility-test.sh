#!/usr/bin/env bash
# The calendar as a screen reader sees it: on a virtual X screen under openbox, with a session bus of
# its own and the accessibility bus of Debian's at-spi2-core, the program runs with Qt's AT-SPI
# bridge on and a faked clock (faketime) on Thursday 14 March 2030; scripts/atspi-check.py walks its
# tree with python3-pyatspi, as Orca does, and drives it with the keyboard alone. A screenshot goes to
# <build>/accessibility.png. Exits 77 (skipped) where a tool is missing.
#
#   accessibility-test.sh BUILD [FOLDER DAY LINE...]
#
# With a program FOLDER (a sync test's), the calendar shows that folder's memos and events instead and
# the check is only that the cell of DAY ("20 March 2030", in the faked month) is named with the LINEs.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
events=${2:-}
root=$(cd "$(dirname "$0")/.." && pwd)
name=accessibility-test
launcher=/usr/libexec/at-spi-bus-launcher
source "$root/scripts/x-session.sh"
x_need Xvfb openbox xdotool gdbus faketime import
[ -x "$launcher" ] || { echo "$name: $launcher missing, skipped"; exit 77; }
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "$name: python3-pyatspi missing, skipped"; exit 77; }
x_own_bus "$@"
x_session 180
app="$work/app"
export LC_ALL=C.UTF-8
printf '[Options]\nAutorun=0\nAutoUpdate=0\nRemind=0\n[Settings]\nLeft=60\nTop=60\n' >"$app/Settings.ini"
if [ -n "$events" ]; then
    cp "$events/Memos.dat" "$events/Events.dat" "$app/" || fail "no memos and events in $events"
else
    printf '2030-03-14|0|Dentist;10:00\r\n2030-03-20|0|Call Ann;at noon\r\n' >"$work/memos.txt"
    "$app/kestrivel" --import "$work/memos.txt" >/dev/null || fail "the memos were not imported"
fi

# The accessibility bus first: Qt's bridge looks for it when the program starts.
"$launcher" --launch-immediately >"$work/a11y.log" 2>&1 & pids+=($!)
a11y_bus() { gdbus call --session -d org.a11y.Bus -o /org/a11y/bus -m org.a11y.Bus.GetAddress; }
wait_for a11y_bus || fail "the accessibility bus did not start"

FAKETIME_DONT_FAKE_MONOTONIC=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb \
    faketime -f "@2030-03-14 12:00:00" "$app/kestrivel" >"$work/app.log" 2>&1 & pids+=($!)
calendar_id() { bash "$root/scripts/calendar-window.sh"; }
# Qt's bridge registers with the accessibility bus before the window maps, which a busy machine may
# take longer than one wait to answer.
wait_for calendar_id || wait_for calendar_id || fail "no calendar window: $(cat "$work/app.log")"
calendar=$(calendar_id)
# The keys go to the active window: the calendar, once the window manager has mapped it.
active() {
    xdotool windowactivate "$calendar" 2>/dev/null
    xprop -root _NET_ACTIVE_WINDOW | grep -q "$(printf '0x%x' "$calendar")"
}
wait_for active || fail "the calendar did not become the active window"
if [ -n "$events" ]; then
    shot="$build/accessibility-events.png"
    /usr/bin/python3 "$root/scripts/atspi-check.py" day "${@:3}" || { import -window root "$shot"; exit 1; }
    import -window root "$shot"
    echo "$name: passed"
    exit 0
fi
/usr/bin/python3 "$root/scripts/atspi-check.py" || { import -window root "$build/accessibility.png"; exit 1; }
import -window root "$build/accessibility.png"
"$app/kestrivel" --export "$work/export.txt" >/dev/null || fail "the memos could not be exported"
grep -q '^2030-04-05|0|Pay rent' "$work/export.txt" || fail "the memo typed is not in Memos.dat"
echo "$name: passed"
