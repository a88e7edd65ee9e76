#!/usr/bin/env bash
# Another X server already holds the first free display number, with neither lock file nor socket
# file where the scripts could see them (as a server in another mount namespace or container has).
# The desktop scripts start servers of their own beside it: no calendar window and no window manager
# of theirs ever reaches it, and their screenshots have their own server's size.
set -uo pipefail
build=${1:?build folder}
here=$(cd "$(dirname "$0")" && pwd)
name=foreign-display
# shellcheck source=x-session.sh
source "$here/x-session.sh"
x_need Xvfb xwininfo xdotool xprop import convert openbox
work=$(mktemp -d)
pids=()
trap x_cleanup EXIT
unset DISPLAY WAYLAND_DISPLAY

x_xvfb -screen 0 800x600x24
foreign=$DISPLAY
num=${foreign#:}
rm -f "/tmp/.X${num}-lock" "/tmp/.X11-unix/X${num}"
unset DISPLAY
DISPLAY=$foreign xwininfo -root >/dev/null 2>&1 || fail "the foreign server does not answer without its files"

# Watches the foreign server for the calendar's window while the scripts run.
watch_foreign() {
    while :; do
        if DISPLAY=$foreign xdotool search --classname '^kestrivel$' >/dev/null 2>&1; then
            touch "$work/drawn"
        fi
        sleep 0.1
    done
}
watch_foreign &
pids+=($!)

for script in smoke-test.sh session-test.sh; do
    bash "$here/$script" "$build" >"$work/$script.log" 2>&1
    code=$?
    [ "$code" = 0 ] || fail "$script ended with $code:"$'\n'"$(tail -n 5 "$work/$script.log")"
    [ ! -e "$work/drawn" ] || fail "$script showed a calendar on the foreign server $foreign"
    ! DISPLAY=$foreign xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
        fail "$script started a window manager on the foreign server $foreign"
    echo "$name: $script: ok"
done
