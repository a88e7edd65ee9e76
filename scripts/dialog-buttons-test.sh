#!/usr/bin/env bash
# The real program on a virtual X screen under openbox: the configuration dialog (opened from the
# calendar's menu with the keyboard) and the memo editor (a double click on a day) have a fixed size,
# so the window manager offers to close them but neither to minimise nor to maximise them
# (_NET_WM_ALLOWED_ACTIONS, which openbox derives from what its title bar shows). Screenshots go to
# <build>/dialog-*.png. Exits 77 (skipped) where a tool is missing.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
name=dialog-buttons-test
source "$here/x-session.sh"
x_need Xvfb openbox xdotool xwininfo xprop import python3
x_session 140
python3 "$here/make-schemes.py" --active Paper "$work/app/Schemes.dat"
printf '[Options]\nAutorun=0\nAutoUpdate=0\n[Settings]\nLeft=40\nTop=40\n' >"$work/app/Settings.ini"

QT_QPA_PLATFORM=xcb "$work/app/kestrivel" >"$work/app.log" 2>&1 & pids+=($!)
calendar_id() { bash "$here/calendar-window.sh"; }
wait_for calendar_id || fail "no calendar window"
calendar=$(calendar_id)
wait_for bash -c "xwininfo -id $calendar | grep -q IsViewable" || fail "the calendar is not shown"

dialog_id() { # caption
    for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
        [ "$id" != "$calendar" ] && { echo "$id"; return 0; }
    done
    return 1
}
# Fails unless the dialog may be closed and neither minimised nor maximised; prints what it may do.
close_only() { # label id
    local actions
    actions=$(xprop -id "$2" _NET_WM_ALLOWED_ACTIONS)
    echo "$name: $1: $actions"
    import -window root "$build/dialog-$1.png"
    case "$actions" in *_NET_WM_ACTION_CLOSE*) ;; *) fail "the $1 dialog cannot be closed" ;; esac
    case "$actions" in *MINIMIZE* | *MAXIMIZE*) fail "the $1 dialog may be minimised or maximised" ;; esac
}

# "Configure...", two steps up from the bottom of the calendar's menu.
x_calendar_menu_key || fail "the menu key did not open the calendar's menu"
xdotool key Up Up Return
wait_for dialog_id Kestrivel || fail "\"Configure...\" did not open the dialog"
config=$(dialog_id Kestrivel)
wait_for xprop -id "$config" _NET_WM_ALLOWED_ACTIONS || fail "openbox did not manage the dialog"
close_only config "$config"
xdotool windowactivate --sync "$config" 2>/dev/null || true
xdotool key Escape
wait_for bash -c "! xwininfo -id $config 2>/dev/null | grep -q IsViewable" || fail "Escape did not close the dialog"

# A double click on the middle of the month, always one of its days, opens the memo editor.
read -r x y w h < <(xwininfo -id "$calendar" | awk '/Absolute upper-left X/ {x=$NF}
    /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
xdotool mousemove $((x + w / 2)) $((y + h * 6 / 10)) click --repeat 2 --delay 80 1
wait_for dialog_id Memo || fail "a double click on a day did not open the memo editor"
memo=$(dialog_id Memo)
wait_for xprop -id "$memo" _NET_WM_ALLOWED_ACTIONS || fail "openbox did not manage the memo editor"
close_only memo "$memo"
echo "$name: passed"
