#!/usr/bin/env bash
# The real program on a virtual X screen with a real window manager (openbox) and a real tray host
# (trayer): the tray icon appears, a double click on it hides and shows the calendar, a second start
# ends at once without a second icon, the calendar lists in no taskbar, and "Close" from the icon's
# menu ends the program and frees the instance lock. Screenshots go to <build>/desktop-*.png.
# Exits 77 (skipped) where a tool is missing.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
program="$build/bin/kestrivel"
for tool in Xvfb openbox trayer xdotool xwininfo xprop import; do
    command -v "$tool" >/dev/null 2>&1 || { echo "desktop-test: $tool missing, skipped"; exit 77; }
done

work=$(mktemp -d)
num=120
while [ -e "/tmp/.X${num}-lock" ] || [ -e "/tmp/.X11-unix/X${num}" ]; do num=$((num + 1)); done
export DISPLAY=":$num" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" HOME="$work/home"
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
# A copy of the program folder, so its files start fresh and the test leaves the build alone.
cp -r "$build/bin" "$work/app"
rm -f "$work/app/Settings.ini" "$work/app/Memos.dat" "$work/app/Schemes.dat"
program="$work/app/kestrivel"

pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "desktop-test: $*" >&2; exit 1; }
wait_for() { # command... : retried for 10 s
    for _ in $(seq 1 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}

Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 & pids+=($!)
wait_for xwininfo -root || fail "no X server"
xsetroot -solid '#3a6ea5' 2>/dev/null || true
openbox >/dev/null 2>&1 & pids+=($!)
wait_for xprop -root _NET_SUPPORTING_WM_CHECK || fail "openbox did not start"
trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 --SetDockType true \
    --transparent false --tint 0x202020 >/dev/null 2>&1 & pids+=($!)
wait_for bash -c 'xwininfo -root -tree | grep -q "panel"' || fail "trayer did not start"

QT_QPA_PLATFORM=xcb "$program" >"$work/first.log" 2>&1 & app=$!; pids+=($app)
calendar_id() { bash "$(dirname "$0")/calendar-window.sh"; }
wait_for calendar_id || fail "no calendar window"
calendar=$(calendar_id)
# The icon is a window docked into trayer's panel.
sleep 1
import -window root "$build/desktop-start.png"

state=$(xprop -id "$calendar" _NET_WM_STATE)
echo "desktop-test: window state: $state"
case "$state" in *SKIP_TASKBAR*) ;; *) fail "the calendar is listed in the taskbar" ;; esac
case "$state" in *SKIP_PAGER*) ;; *) fail "the calendar is listed in the pager" ;; esac

# The icon is a small window docked somewhere inside trayer's panel.
panel=$(xdotool search --name '^panel$' 2>/dev/null | head -n 1 || true)
[ -n "$panel" ] || fail "no trayer panel"
icons() { # id width height absolute-x absolute-y of every icon-sized window in the panel
    xwininfo -id "$panel" -tree | while read -r id rest; do
        [[ "$rest" =~ ([0-9]+)x([0-9]+)\+-?[0-9]+\+-?[0-9]+\ +\+(-?[0-9]+)\+(-?[0-9]+) ]] || continue
        w=${BASH_REMATCH[1]} h=${BASH_REMATCH[2]}
        if [ "$w" -ge 12 ] && [ "$w" -le 32 ] && [ "$h" -ge 12 ] && [ "$h" -le 32 ]; then
            echo "$id $w $h ${BASH_REMATCH[3]} ${BASH_REMATCH[4]}"
        fi
    done
}
wait_for bash -c "xwininfo -id $panel -tree | grep -q -E ' (1[2-9]|2[0-9]|3[0-2])x(1[2-9]|2[0-9]|3[0-2])\\+'" || fail "no icon in the tray"
children=$(icons | wc -l)
read -r icon WIDTH HEIGHT X Y < <(icons | tail -n 1)
icon_x=$((X + WIDTH / 2)); icon_y=$((Y + HEIGHT / 2))
echo "desktop-test: tray icon $icon at $icon_x,$icon_y"

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
xdotool mousemove "$icon_x" "$icon_y" click 3
sleep 0.7
import -window root "$build/desktop-menu.png"
xdotool key Up Return
for _ in $(seq 1 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "\"Close\" did not end the program"
wait "$app" || true
ls "$XDG_RUNTIME_DIR"/Kestrivel.lock >/dev/null 2>&1 && fail "the instance lock was not freed"
echo "desktop-test: passed"
