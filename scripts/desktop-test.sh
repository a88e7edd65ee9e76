#!/usr/bin/env bash
# The real program on a virtual X screen with a real window manager (openbox) and a real tray host
# (trayer): the tray icon appears (also where the tray host starts after the calendar, as it may at
# login), a double click on it hides and shows the calendar, a second start
# ends at once without a second icon, the calendar lists in no taskbar, and "Close" from the icon's
# menu ends the program and frees the instance lock. Screenshots go to <build>/desktop-*.png.
# Exits 77 (skipped) where a tool is missing.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
name=desktop-test
source "$(dirname "$0")/x-session.sh"
x_need Xvfb openbox trayer xdotool xwininfo xprop import
x_session 120
program="$work/app/kestrivel"

QT_QPA_PLATFORM=xcb "$program" >"$work/first.log" 2>&1 & app=$!; pids+=($app)
calendar_id() { bash "$(dirname "$0")/calendar-window.sh"; }
wait_for calendar_id || fail "no calendar window"
calendar=$(calendar_id)
x_tray
# trayer's panel, and the calendar's icon docked in it: a window of the program inside the panel,
# shown (Qt maps it once the tray has embedded it) and lying within the panel.
panel_id() { xdotool search --name '^panel$' 2>/dev/null | head -n 1 | grep .; }
wait_for panel_id || fail "no trayer panel"
panel=$(panel_id)
place() { # id : absolute-x absolute-y width height
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
docked_icon() { # id width height absolute-x absolute-y of the calendar's icon once it is docked
    local id x y w h px py pw ph
    id=$(xwininfo -id "$panel" -tree | awk '/\("kestrivel" / {print $1; exit}')
    [ -n "$id" ] && xwininfo -id "$id" | grep -q IsViewable || return 1
    read -r x y w h < <(place "$id")
    read -r px py pw ph < <(place "$panel")
    [ "$x" -ge "$px" ] && [ "$y" -ge "$py" ] && [ $((x + w)) -le $((px + pw)) ] && [ $((y + h)) -le $((py + ph)) ] ||
        return 1
    echo "$id $w $h $x $y"
}
wait_for docked_icon || fail "the tray did not dock the calendar's icon"
read -r icon WIDTH HEIGHT X Y < <(docked_icon)
icon_x=$((X + WIDTH / 2)); icon_y=$((Y + HEIGHT / 2))
echo "desktop-test: tray icon $icon at $icon_x,$icon_y"
import -window root "$build/desktop-start.png"

state=$(xprop -id "$calendar" _NET_WM_STATE)
echo "desktop-test: window state: $state"
case "$state" in *SKIP_TASKBAR*) ;; *) fail "the calendar is listed in the taskbar" ;; esac
case "$state" in *SKIP_PAGER*) ;; *) fail "the calendar is listed in the pager" ;; esac

icons() { # id width height absolute-x absolute-y of every icon-sized window in the panel
    xwininfo -id "$panel" -tree | while read -r id rest; do
        [[ "$rest" =~ ([0-9]+)x([0-9]+)\+-?[0-9]+\+-?[0-9]+\ +\+(-?[0-9]+)\+(-?[0-9]+) ]] || continue
        w=${BASH_REMATCH[1]} h=${BASH_REMATCH[2]}
        if [ "$w" -ge 12 ] && [ "$w" -le 32 ] && [ "$h" -ge 12 ] && [ "$h" -le 32 ]; then
            echo "$id $w $h ${BASH_REMATCH[3]} ${BASH_REMATCH[4]}"
        fi
    done
}
children=$(icons | wc -l)

# A second start ends at once and adds no icon.
start=$(date +%s%N)
QT_QPA_PLATFORM=xcb timeout 10 "$program" >"$work/second.log" 2>&1 || fail "the second start did not end by itself"
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
echo "desktop-test: second start ended after ${elapsed} ms"
sleep 0.5
[ "$(icons | wc -l)" = "$children" ] || fail "a second icon appeared"
kill -0 "$app" || fail "the first instance ended"

# Double click on the icon: the focused calendar hides; again: it shows.
xdotool windowactivate --sync "$calendar" 2>/dev/null || true
xdotool mousemove "$icon_x" "$icon_y" click --repeat 2 --delay 80 1
wait_for bash -c "xwininfo -id $calendar | grep -q IsUnMapped" || fail "double click did not hide the calendar"
import -window root "$build/desktop-hidden.png"
xdotool mousemove "$icon_x" "$icon_y" click --repeat 2 --delay 80 1
wait_for bash -c "xwininfo -id $calendar | grep -q IsViewable" || fail "double click did not show the calendar"

# "Close" from the icon's menu: the last item.
popup_menu() { # a shown window of the program that the window manager leaves alone, taller than a hint
    for id in $(xdotool search --onlyvisible --classname '^kestrivel$' 2>/dev/null); do
        xwininfo -id "$id" | awk '/Override Redirect State: yes/ {o=1} /Height:/ {h=$NF} END {exit !(o && h >= 60)}' &&
            return 0
    done
    return 1
}
xdotool mousemove "$icon_x" "$icon_y" click 3
wait_for popup_menu || fail "no menu on the icon"
import -window root "$build/desktop-menu.png"
xdotool key Up Return
for _ in $(seq 1 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "\"Close\" did not end the program"
wait "$app" || true
ls "$XDG_RUNTIME_DIR"/Kestrivel-*.lock >/dev/null 2>&1 && fail "the instance lock was not freed"
ls "$XDG_RUNTIME_DIR"/Kestrivel-*.socket >/dev/null 2>&1 && fail "the instance socket was not removed"
echo "desktop-test: passed"
