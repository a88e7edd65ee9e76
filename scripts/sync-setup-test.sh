#!/usr/bin/env bash
# Sync set up on a desktop without a secret store: the real program on a virtual X screen under
# openbox, with no session bus at all (no `bus` argument) or with a bus that has no secret service
# (`bus`). The Sync group's address, user and password are typed and Ok pressed: Settings.ini takes
# the address, user and interval but never the password, no box appears, nothing tries to start a
# bus of its own, and the program goes on. Exits 77 (skipped) where a tool is missing.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
mode=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
name="sync-setup-test${mode:+ ($mode)}"
source "$here/x-session.sh"
x_need Xvfb openbox xdotool xwininfo xprop
[ -x "$build/bin/kestrivel" ] || fail "$build/bin/kestrivel not built"
if [ "$mode" = bus ]; then
    x_own_bus "$@"
fi
x_session 170

app="$work/app"
printf '[Options]\nAutorun=0\nAutoUpdate=0\n[Settings]\nLeft=40\nTop=40\n' >"$app/Settings.ini"
QT_QPA_PLATFORM=xcb "$app/kestrivel" >"$work/app.log" 2>&1 & program=$!; pids+=($program)
calendar_id() { bash "$here/calendar-window.sh"; }
wait_for calendar_id || fail "no calendar window"
calendar=$(calendar_id)
x_open_configure

# The server field, as the dialog lays it out: the Sync group below the General tab's options.
xdotool mousemove --window "$dialog" 250 231 click 1
xdotool type --delay 5 'https://dav.example.org/anna/'
xdotool key Tab
xdotool type --delay 5 'anna'
xdotool key Tab
xdotool type --delay 5 's3cret'
xdotool key Return
wait_for bash -c "! xwininfo -id $dialog 2>/dev/null | grep -q IsViewable" || fail "Ok did not close the dialog"

settings=$(cat "$app/Settings.ini")
grep -qx 'Server=https://dav.example.org/anna/' <<<"$settings" || fail "the address was not saved: $settings"
grep -qx 'User=anna' <<<"$settings" || fail "the user was not saved: $settings"
grep -qx 'Interval=15' <<<"$settings" || fail "the interval was not saved: $settings"
! grep -q s3cret "$app/Settings.ini" || fail "the password reached Settings.ini"
# No box (a store's refusal, captioned "Error") stands open, nor the dialog, and no bus was started
# for the store.
if xdotool search --onlyvisible --name '^(Kestrivel|Error)$' >/dev/null 2>&1; then
    fail "a window captioned Kestrivel or Error is open"
fi
! grep -q 'dbus-launch' "$work/app.log" || fail "something tried to start a bus: $(cat "$work/app.log")"
kill -0 "$program" 2>/dev/null || fail "the program ended"
echo "$name: passed"
