#!/usr/bin/env bash
# The real program on a virtual X screen under openbox, with a session bus of its own and Xfce's
# panel as the StatusNotifierItem host: the calendar registers its icon as an item that offers the
# calendar's menu; the host's activation (the item's Activate) hides the focused calendar and shows
# it again. Then "always on top" is switched on in the configuration dialog and applied, and the
# calendar hidden and shown through the icon once more: it still lists in no taskbar or pager, keeps
# its role and stays on top. Screenshots go to <build>/sni-*.png. Exits 77 (skipped) where a tool is
# missing.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
name=sni-tray-test
source "$here/x-session.sh"
x_need Xvfb openbox xfce4-panel gdbus xdotool xwininfo xprop import
x_own_bus "$@"
x_session 160
x_status_tray
app="$work/app"
say() { echo "sni-tray-test: $*"; }
printf '[Options]\nAutorun=0\nAutoUpdate=0\nAlwaysOnTop=0\n[Settings]\nLeft=60\nTop=60\n' >"$app/Settings.ini"

QT_QPA_PLATFORM=xcb "$app/kestrivel" >"$work/app.log" 2>&1 & program=$!; pids+=($program)
calendar_id() { bash "$here/calendar-window.sh"; }
wait_for calendar_id || fail "no calendar window"
calendar=$(calendar_id)
read -r width height < <(xwininfo -id "$calendar" | awk '/Width:/ {w=$NF} /Height:/ {h=$NF} END {print w, h}')

# The watcher lists the item as "service/path" or as its service alone.
watcher() {
    gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher \
        -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher "$1"
}
item_registered() { watcher RegisteredStatusNotifierItems | grep -q "'[^']"; }
wait_for item_registered || fail "the calendar's icon was not registered as a StatusNotifierItem"
entry=$(watcher RegisteredStatusNotifierItems | grep -o "'[^']*'" | head -n 1 | tr -d "'")
service=${entry%%/*}
path=/${entry#*/}
[ "$path" != "/$entry" ] || path=/StatusNotifierItem
say "item $service $path"
item() { gdbus call --session -d "$service" -o "$path" "$@"; }

# The item's menu is the calendar's: its layout holds the calendar's commands.
menu=$(item -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem Menu | grep -o "'/[^']*'" | tr -d "'")
[ -n "$menu" ] && [ "$menu" != / ] || fail "the item offers no menu"
layout=$(gdbus call --session -d "$service" -o "$menu" -m com.canonical.dbusmenu.GetLayout -- 0 -1 '@as []')
for label in Display/Hide Configure... Close; do
    grep -qF "<'$label'>" <<<"$layout" || fail "the item's menu has no \"$label\""
done
import -window root "$build/sni-start.png"

# The calendar window shown at the calendar's size, whichever native window it has now.
shown_calendar() {
    for id in $(xdotool search --onlyvisible --classname '^kestrivel$' 2>/dev/null); do
        xwininfo -id "$id" | grep -q "Width: $width\$" && xwininfo -id "$id" | grep -q "Height: $height\$" &&
            xwininfo -id "$id" | grep -q "Override Redirect State: no" && { echo "$id"; return 0; }
    done
    return 1
}
hidden() { ! shown_calendar; }
# The host's activation: the focused calendar hides, the hidden one shows.
toggle_through_icon() { # step name for messages
    xdotool windowactivate --sync "$(shown_calendar)" 2>/dev/null || true
    item -m org.kde.StatusNotifierItem.Activate 0 0 >/dev/null
    wait_for hidden || fail "$1: activating the icon did not hide the calendar"
    import -window root "$build/sni-hidden.png"
    item -m org.kde.StatusNotifierItem.Activate 0 0 >/dev/null
    wait_for shown_calendar || fail "$1: activating the icon again did not show the calendar"
    calendar=$(shown_calendar)
}
toggle_through_icon "plain"
say "the icon's activation hid and showed the calendar"

# A window manager lists the calendar nowhere, and scripts find it by its role.
state_has() { xprop -id "$calendar" _NET_WM_STATE | grep -q "$1"; }
check_marks() { # step name for messages
    for state in _NET_WM_STATE_SKIP_TASKBAR _NET_WM_STATE_SKIP_PAGER; do
        wait_for state_has "$state" || fail "$1: the calendar lost $state ($(xprop -id "$calendar" _NET_WM_STATE))"
    done
    xprop -id "$calendar" WM_WINDOW_ROLE | grep -q '"calendar"' || fail "$1: the calendar lost its role"
}
check_marks "plain"

# "Configure..."; "Calendar is always on top." is the third box of the first tab; Apply, then Ok.
x_open_configure
read -r dx dy dh < <(xwininfo -id "$dialog" |
    awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} /Height/ {h=$NF} END {print x, y, h}')
xdotool mousemove $((dx + 25)) $((dy + 104)) click 1
# The buttons' row sits 33 pixels above the client area's bottom, below the Sync group; aim at its
# middle.
buttons=$((dy + dh - 33 + 12))
xdotool mousemove $((dx + 392)) "$buttons" click 1
wait_for state_has _NET_WM_STATE_ABOVE || fail "Apply did not put the calendar on top"
import -window root "$build/sni-on-top.png"
xdotool mousemove $((dx + 216)) "$buttons" click 1
wait_for bash -c "! xwininfo -id $dialog 2>/dev/null | grep -q IsViewable" || fail "Ok did not close the dialog"
check_marks "on top"

# Qt gives the calendar a new native window when it maps it after the stay-on-top switch.
before=$calendar
toggle_through_icon "on top"
say "on top: calendar window $before, after hiding and showing $calendar"
check_marks "on top, hidden and shown"
state_has _NET_WM_STATE_ABOVE || fail "the calendar no longer stays on top"
import -window root "$build/sni-end.png"
grep -q '^AlwaysOnTop=1' "$app/Settings.ini" || fail "Settings.ini does not hold the stay-on-top option"
say "passed"
