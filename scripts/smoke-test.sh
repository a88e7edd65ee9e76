#!/usr/bin/env bash
# Starts the real program on a virtual X screen (through run-calendar.sh) and checks the
# screenshot: the calendar must show something, and none of the key colour may reach the screen.
# Exits 77 (skipped) where there is no Xvfb or ImageMagick.
set -euo pipefail
build=${1:?build folder}
root=$(cd "$(dirname "$0")/.." && pwd)
for tool in Xvfb xwininfo import convert; do
    command -v "$tool" >/dev/null 2>&1 || { echo "smoke-test: $tool missing, skipped"; exit 77; }
done

shot="$build/screenshot.png"
rm -f "$shot"
env -u DISPLAY -u WAYLAND_DISPLAY bash "$root/scripts/run-calendar.sh" "$build" >/dev/null
[ -s "$shot" ] || { echo "smoke-test: no screenshot" >&2; exit 1; }

# Share of pixels that differ from the desktop colour, and count of key-coloured pixels.
shown=$(convert "$shot" -alpha off -fill white +opaque '#3a6ea5' -fill black -opaque '#3a6ea5' \
        -format '%[fx:mean]' info:)
key=$(convert "$shot" -alpha off -fill white -opaque '#ff00ff' -fill black +opaque '#ff00ff' \
      -format '%[fx:mean*w*h]' info:)
echo "smoke-test: calendar covers ${shown} of the screen, ${key} key-coloured pixels"
awk -v s="$shown" 'BEGIN { exit !(s > 0.0005 && s < 0.2) }' || {
    echo "smoke-test: the screen does not show a calendar" >&2; exit 1; }
[ "${key%.*}" = "0" ] || { echo "smoke-test: key colour visible on the screen" >&2; exit 1; }
