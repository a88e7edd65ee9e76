#!/usr/bin/env bash
# Renders the pictures in this folder from icons/kestrivel.svg (run after changing the drawing):
# the hicolor PNGs, the 16-pixel tray icon (raw RGBA) and the About tab's 77-pixel progressive JPEG. The
# drawing sits on a 16-unit grid, so every size here is a whole multiple and stays sharp.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
svg="$here/icons/kestrivel.svg"
for size in 16 32 48 128; do
    rsvg-convert -w "$size" -h "$size" "$svg" -o "$here/icons/kestrivel-$size.png"
done
# The tray icon as raw RGBA rows at 16, 32 and 48 pixels: the program shows it without decoding a PNG
# (see TrayIconImages), and a tray on a scaled screen takes the larger sizes instead of blowing up 16.
convert "$here/icons/kestrivel-16.png" -depth 8 RGBA:"$here/Tray_Icon.rgba"
for size in 32 48; do
    convert "$here/icons/kestrivel-$size.png" -depth 8 RGBA:"$here/Tray_Icon-$size.rgba"
done
tmp=$(mktemp --suffix=.png)
trap 'rm -f "$tmp"' EXIT
rsvg-convert -w 64 -h 64 "$svg" -o "$tmp"
# The picture has no transparency: the icon on a soft panel-like gradient, 6 pixels in.
convert -size 77x77 gradient:'#f6f8fb-#dde4ec' "$tmp" -geometry +6+6 -composite -strip \
    -sampling-factor 1x1 -quality 93 -interlace JPEG "$here/about.jpg"
