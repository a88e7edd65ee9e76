#!/usr/bin/env bash
# The real program on a virtual X screen under openbox, with "Calendar is always on top." set: the
# configuration dialog, the memo editor and a message box each belong to the calendar
# (WM_TRANSIENT_FOR) and stack above it while open (_NET_CLIENT_LIST_STACKING, bottom to top); the
# calendar stays on top of other windows once they close. Switching the option off and on again
# with Apply while the dialog is open keeps the dialog above. Screenshots go to <build>/stacking-*.png.
# Exits 77 (skipped) where a tool is missing.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
name=stacking-test
source "$here/x-session.sh"
x_need Xvfb openbox xdotool xwininfo xprop import python3
x_session 180
python3 "$here/make-schemes.py" --active Paper "$work/app/Schemes.dat"
printf '[Options]\nAutorun=0\nAutoUpdate=0\nAlwaysOnTop=1\n[Settings]\nLeft=300\nTop=200\n' >"$work/app/Settings.ini"

QT_QPA_PLATFORM=xcb LC_ALL=C "$work/app/kestrivel" >"$work/app.log" 2>&1 & pids+=($!)
calendar_id() { bash "$here/calendar-window.sh"; }
wait_for calendar_id || fail "no calendar window"
calendar=$(calendar_id)
on_top() { xprop -id "$calendar" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE; }
wait_for on_top || fail "the calendar does not stay on top"

# The window's place in the stacking order, bottom first; empty when it is not managed.
stacking_index() {
    xprop -root _NET_CLIENT_LIST_STACKING | tr -d ',' | tr ' ' '\n' | grep -n '^0x' |
        awk -F: -v id="$(printf '0x%x' "$1")" '$2 == id {print $1}'
}
above_calendar() {
    local mine theirs
    mine=$(stacking_index "$1")
    theirs=$(stacking_index "$calendar")
    [ -n "$mine" ] && [ -n "$theirs" ] && [ "$mine" -gt "$theirs" ]
}
transient_for_calendar() {
    xprop -id "$1" WM_TRANSIENT_FOR | grep -qi "$(printf '0x%x' "$calendar")"
}
# check LABEL ID: the window belongs to the calendar and lies above it.
check() {
    wait_for transient_for_calendar "$2" || fail "$1 does not belong to the calendar ($(xprop -id "$2" WM_TRANSIENT_FOR))"
    wait_for above_calendar "$2" || fail "$1 lies below the calendar ($(xprop -root _NET_CLIENT_LIST_STACKING))"
    import -window root "$build/stacking-$1.png"
    echo "$name: $1 above the calendar"
}
window_named() { # caption: a shown window other than the calendar
    for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
        [ "$id" != "$calendar" ] && { echo "$id"; return 0; }
    done
    return 1
}
closed() { ! xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }
close_with() { # key id
    xdotool windowactivate --sync "$2" 2>/dev/null || true
    xdotool key "$1"
    wait_for closed "$2" || fail "$1 did not close window $2"
    on_top || fail "the calendar no longer stays on top after window $2 closed"
}
# The calendar placed over the middle of the screen, where every dialog opens.
read -r x y w h < <(xwininfo -id "$calendar" | awk '/Absolute upper-left X/ {x=$NF}
    /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')

x_open_configure
check config "$dialog"
close_with Escape "$dialog"

xdotool mousemove $((x + w / 2)) $((y + h * 6 / 10)) click --repeat 2 --delay 80 1
wait_for window_named Memo || fail "a double click on a day did not open the memo editor"
memo=$(window_named Memo)
check memo "$memo"
close_with Escape "$memo"

# "Go to month...", three steps up from the bottom of the menu; a date that is none: error 1.
x_calendar_menu_key || fail "the menu key did not open the calendar's menu"
xdotool key Up Up Up Return
wait_for x_menu_closed || fail "\"Go to month...\" did not close the menu"
xdotool type --delay 20 "nonsense"
xdotool key Return
wait_for window_named Error || fail "no message box for a wrong date"
box=$(window_named Error)
check message "$box"
close_with Return "$box"

# The option switched off and on with Apply while the dialog is open: the dialog stays above.
x_open_configure
read -r dx dy dh < <(xwininfo -id "$dialog" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Height:/ {h=$NF} END {print x, y, h}')
# The buttons' row lies 33 pixels above the dialog's bottom edge, 25 high.
buttons=$((dy + dh - 21))
for state in off on; do
    xdotool mousemove $((dx + 25)) $((dy + 104)) click 1
    xdotool mousemove $((dx + 392)) "$buttons" click 1
    if [ $state = off ]; then
        wait_for bash -c "! xprop -id $calendar _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE" ||
            fail "Apply did not take the calendar off the top"
    else
        wait_for on_top || fail "Apply did not put the calendar on top again"
    fi
    check "config-applied-$state" "$dialog"
done
close_with Escape "$dialog"
echo "$name: passed"
