#!/usr/bin/env bash
# Today's memos as a desktop notification, with a real bus: on a virtual X screen with a session bus
# of its own, scripts/notification-server.py owns org.freedesktop.Notifications and records every
# Notify. The calendar starts on a first start (no Settings.ini: the reminder is on) with a faked clock
# (faketime) ten seconds before midnight of Thursday 14 March 2030, a day with a Single, a Weekly and a
# Monthly memo: one notification lists them. When its clock passes midnight, the next day's Yearly
# memo follows in a second one, and no more come. Exits 77 (skipped) where a tool is missing.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
name=notification-test
source "$root/scripts/x-session.sh"
x_need Xvfb openbox gdbus faketime
/usr/bin/python3 -c 'from gi.repository import Gio' 2>/dev/null || { echo "$name: python3-gi missing, skipped"; exit 77; }
x_own_bus "$@"
x_session 190
app="$work/app"
record="$work/notices.jsonl"
export LC_ALL=C.UTF-8
printf '2030-03-14|0|Dentist;10:00\r\n2030-03-07|1|Swim\r\n2030-01-14|2|Rent\r\n1990-03-15|3|Birthday\r\n' \
    >"$work/memos.txt"
"$app/kestrivel" --import "$work/memos.txt" >/dev/null || fail "the memos were not imported"
[ ! -e "$app/Settings.ini" ] || fail "the import wrote Settings.ini"

/usr/bin/python3 "$root/scripts/notification-server.py" "$record" & pids+=($!)
served() {
    gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.GetNameOwner org.freedesktop.Notifications
}
wait_for served || fail "the notification service did not start"

FAKETIME_DONT_FAKE_MONOTONIC=1 QT_QPA_PLATFORM=xcb faketime -f "@2030-03-14 23:59:50" "$app/kestrivel" \
    >"$work/app.log" 2>&1 & pids+=($!)
notices() { [ -f "$record" ] && [ "$(wc -l <"$record")" -ge "$1" ]; }
# Notice number $1 (from 1) holds these fields.
check() {
    /usr/bin/python3 - "$record" "$@" <<'PY' || fail "notice $2 is not as expected"
import json, sys
notice = json.loads(open(sys.argv[1], encoding="utf-8").read().splitlines()[int(sys.argv[2]) - 1])
expected = {"app_name": "Kestrivel", "app_icon": "kestrivel", "summary": "Today's memos", "body": sys.argv[3]}
wrong = {k: notice[k] for k in expected if notice[k] != expected[k]}
if wrong:
    print("notification-test: notice", sys.argv[2], "has", wrong, file=sys.stderr)
    sys.exit(1)
PY
}
wait_for notices 1 || fail "no notification at start"
check 1 $'Dentist\n10:00\nSwim\nRent'
# Midnight comes within ten seconds of the start; the new day is found within a second after it.
wait_for notices 2 || wait_for notices 2 || fail "no notification for the new day"
check 2 'Birthday'
[ "$(wc -l <"$record")" -eq 2 ] || fail "more notifications than days: $(cat "$record")"
grep -q '^Remind=1' "$app/Settings.ini" 2>/dev/null || [ ! -e "$app/Settings.ini" ] ||
    fail "Settings.ini turned the reminder off"
echo "$name: passed"
