#!/usr/bin/env bash
# `make run`: starts the calendar from the build folder given as $1 (default "build").
# With a display it simply runs the program. Without one it starts the program on a virtual X
# screen with a plain desktop colour, waits for the calendar window, saves a screenshot of the
# whole screen to <build>/screenshot.png, prints its path and stops the program again. With
# KESTRIVEL_MAPPED_STAMP set to a file name, the time the window was mapped (seconds since the epoch)
# is written there.
set -euo pipefail

build="${1:-build}"
program="$build/bin/kestrivel"
if [ ! -x "$program" ]; then
    echo "run-calendar: $program not found; build first" >&2
    exit 1
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$program"
fi

for tool in Xvfb xwininfo xdotool xprop import; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "run-calendar: no display and $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 1
    fi
done

name=run-calendar
# shellcheck source=x-session.sh
. "$(dirname "$0")/x-session.sh"
pids=()
xvfb_pid=""
app_pid=""
own_runtime=""
cleanup() {
    if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then
        kill "$app_pid" 2>/dev/null || true
        wait "$app_pid" 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    if [ -n "$own_runtime" ]; then
        rm -rf "$own_runtime"
    fi
}
trap cleanup EXIT

# The server picks a free display itself and is stopped by its own id.
x_xvfb

# A desktop-like background, so the shape of the calendar shows.
if command -v xsetroot >/dev/null 2>&1; then
    xsetroot -solid '#3a6ea5'
fi

if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    own_runtime=$XDG_RUNTIME_DIR
    export XDG_RUNTIME_DIR
fi
QT_QPA_PLATFORM=xcb "$program" &
app_pid=$!

mapped=""
for _ in $(seq 1 100); do
    if ! kill -0 "$app_pid" 2>/dev/null; then
        echo "run-calendar: the program ended before its window appeared" >&2
        exit 1
    fi
    window=$(bash "$(dirname "$0")/calendar-window.sh" || true)
    if [ -n "$window" ] && [[ "$(xwininfo -id "$window" 2>/dev/null)" == *"Map State: IsViewable"* ]]; then
        mapped=yes
        break
    fi
    sleep 0.1
done
if [ -z "$mapped" ]; then
    echo "run-calendar: no calendar window after 10 seconds" >&2
    exit 1
fi
# scripts/first-run-time.sh asks for the moment the window appeared.
if [ -n "${KESTRIVEL_MAPPED_STAMP:-}" ]; then
    date +%s.%N >"$KESTRIVEL_MAPPED_STAMP"
fi
sleep 1 # let the first paint reach the screen

shot="$build/screenshot.png"
import -window root "$shot"
echo "$(cd "$(dirname "$shot")" && pwd)/$(basename "$shot")"
