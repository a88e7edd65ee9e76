#!/usr/bin/env bash
# A day's memos are told once however the clock moves: on a virtual X screen with a session bus of its
# own, scripts/notification-server.py records every notification while the calendar runs under
# libfaketime, whose clock is read from a timestamp file that the script rewrites. The clock starts on
# Thursday 14 March 2030 (a Single memo), goes to the 15th (a Yearly memo), then back and forth over
# that midnight five times: two notifications in all. Then the 19th (a Weekly memo) brings a third,
# and still no more have come. Exits 77 (skipped) where a tool is missing.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
name=reminder-clock-test
source "$root/scripts/x-session.sh"
x_need Xvfb openbox gdbus
library=$(find /usr/lib -name 'libfaketime.so.1' -path '*faketime*' 2>/dev/null | head -1)
[ -n "$library" ] || { echo "$name: libfaketime missing, skipped"; exit 77; }
/usr/bin/python3 -c 'from gi.repository import Gio' 2>/dev/null || { echo "$name: python3-gi missing, skipped"; exit 77; }
x_own_bus "$@"
x_session 210
app="$work/app"
record="$work/notices.jsonl"
clock="$work/clock"
export LC_ALL=C.UTF-8
printf '[Options]\nAutorun=0\nAutoUpdate=0\nRemind=1\n' >"$app/Settings.ini"
printf '2030-03-14|0|Dentist\r\n1990-03-15|3|Birthday\r\n2030-03-12|1|Swim\r\n' >"$work/memos.txt"
"$app/kestrivel" --import "$work/memos.txt" >/dev/null || fail "the memos were not imported"

/usr/bin/python3 "$root/scripts/notification-server.py" "$record" & pids+=($!)
served() {
    gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.GetNameOwner org.freedesktop.Notifications
}
wait_for served || fail "the notification service did not start"

# The clock stands still at the time the file gives, read anew at every call.
set_clock() { echo "$1" >"$clock"; }
set_clock "2030-03-14 12:00:00"
LD_PRELOAD="$library" FAKETIME_TIMESTAMP_FILE="$clock" FAKETIME_NO_CACHE=1 FAKETIME_DONT_FAKE_MONOTONIC=1 \
    QT_QPA_PLATFORM=xcb "$app/kestrivel" >"$work/app.log" 2>&1 & pids+=($!)
notices() { [ -f "$record" ] && [ "$(wc -l <"$record")" -ge "$1" ]; }
body() { /usr/bin/python3 -c 'import json, sys; print(json.loads(open(sys.argv[1]).read().splitlines()[int(sys.argv[2]) - 1])["body"])' "$record" "$1"; }
wait_for notices 1 || fail "no notification at start"
[ "$(body 1)" = Dentist ] || fail "the first notification holds $(body 1)"
set_clock "2030-03-15 00:00:05"
wait_for notices 2 || fail "no notification for the new day"
[ "$(body 2)" = Birthday ] || fail "the second notification holds $(body 2)"
# The calendar looks at the clock every second, and a day already told shows nothing to wait for:
# each setting stays a second and a half, so that every crossing of midnight is seen.
for _ in 1 2 3 4 5; do
    set_clock "2030-03-14 23:59:55"
    sleep 1.5
    set_clock "2030-03-15 00:00:05"
    sleep 1.5
done
set_clock "2030-03-19 09:00:00"
wait_for notices 3 || fail "no notification for the 19th"
[ "$(body 3)" = Swim ] || fail "the clock set back and forth told a day again: $(cat "$record")"
[ "$(wc -l <"$record")" -eq 3 ] || fail "more notifications than days: $(cat "$record")"
echo "$name: passed"
