#!/usr/bin/env bash
# Starts the real program on a virtual X screen (through run-calendar.sh) and checks the
# screenshot: the calendar must show something, and none of the key colour may reach the screen.
# The program runs from a copy in a folder of its own, with scratch home and configuration folders,
# so the build folder's Settings.ini, Memos.dat and sync files are never read or written.
# Exits 77 (skipped) where there is no Xvfb or ImageMagick.
set -euo pipefail
build=${1:?build folder}
root=$(cd "$(dirname "$0")/.." && pwd)
for tool in Xvfb xwininfo import convert; do
    command -v "$tool" >/dev/null 2>&1 || { echo "smoke-test: $tool missing, skipped"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/copy/bin" "$work/home" "$work/config"
# The program, its modules, language files and shipped schemes: what an installed calendar has.
cp "$build/bin/kestrivel" "$build/bin"/kestrivel-*.so "$build/bin"/*.lang "$work/copy/bin/"
[ ! -d "$build/bin/schemes" ] || cp -r "$build/bin/schemes" "$work/copy/bin/"
shot="$work/copy/screenshot.png"
env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
    bash "$root/scripts/run-calendar.sh" "$work/copy" >/dev/null
[ -s "$shot" ] || { echo "smoke-test: no screenshot" >&2; exit 1; }
# The screen of the server the script started, not another one that answered in its place.
size=$(identify -format '%wx%h' "$shot")
[ "$size" = 1024x768 ] || { echo "smoke-test: the screenshot is ${size}, not the 1024x768 of its own screen" >&2; exit 1; }

# Share of pixels that differ from the desktop colour, and count of key-coloured pixels.
shown=$(convert "$shot" -alpha off -fill white +opaque '#3a6ea5' -fill black -opaque '#3a6ea5' \
        -format '%[fx:mean]' info:)
key=$(convert "$shot" -alpha off -fill white -opaque '#ff00ff' -fill black +opaque '#ff00ff' \
      -format '%[fx:mean*w*h]' info:)
echo "smoke-test: calendar covers ${shown} of the screen, ${key} key-coloured pixels"
awk -v s="$shown" 'BEGIN { exit !(s > 0.0005 && s < 0.2) }' || {
    echo "smoke-test: the screen does not show a calendar" >&2; exit 1; }
[ "${key%.*}" = "0" ] || { echo "smoke-test: key colour visible on the screen" >&2; exit 1; }
