#!/usr/bin/env bash
# The real program under openbox and a compositing manager that draws shadows (xcompmgr -c): the
# calendar's window has an alpha channel and asks compton and picom for no shadow (_COMPTON_SHADOW 0),
# and each time it is mapped, no shadow shows, neither in the ring of pixels just outside the window nor
# under its see-through pixels: they keep the desktop's colour. Screenshots go to
# <build>/compositor-*.png. Exits 77 (skipped) where a tool is missing.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
name=compositor-test
here=$(cd "$(dirname "$0")" && pwd)
source "$here/x-session.sh"
x_need Xvfb openbox xcompmgr xdotool xwininfo xprop import convert python3
x_session 140
# The built-in look, which paints no background: without shipped schemes a first start keeps it.
rm -rf "$work/app/schemes"
printf '[Settings]\r\nLeft=100\r\nTop=60\r\nAutoUpdate=0\r\nAutorun=0\r\n' >"$work/app/Settings.ini"

# The compositor owns its selection before the calendar maps, as at a login where it starts first.
compositing() {
    python3 - <<'EOF'
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.restype = x.XGetSelectionOwner.restype = ctypes.c_ulong
display = ctypes.c_void_p(x.XOpenDisplay(None))
atom = x.XInternAtom(display, b"_NET_WM_CM_S0", 0)
sys.exit(0 if display and x.XGetSelectionOwner(display, ctypes.c_ulong(atom)) else 1)
EOF
}
xcompmgr -c >"$work/xcompmgr.log" 2>&1 & pids+=($!)
wait_for compositing || fail "xcompmgr did not start"

QT_QPA_PLATFORM=xcb "$work/app/kestrivel" >"$work/app.log" 2>&1 & pids+=($!)
calendar_id() { bash "$here/calendar-window.sh"; }
wait_for calendar_id || fail "no calendar window"
calendar=$(calendar_id)
xwininfo -id "$calendar" | grep -q 'Depth: 32' || fail "the calendar's window has no alpha channel"
xprop -id "$calendar" _COMPTON_SHADOW | grep -q '= 0$' || fail "the calendar does not ask for no shadow"

# Prints the findings and fails unless the calendar shows and the ring of pixels up to 40 outside its
# window is all the desktop's colour (the compositor's, in the screen's corner), and most of the window
# is too: the plain look paints only its texts.
shadow_free() { # shot
    import -window root "$1"
    read -r x y w h < <(xwininfo -id "$calendar" | awk '/Absolute upper-left X/ {x=$NF}
        /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
    python3 - "$1" "$x" "$y" "$w" "$h" <<'EOF'
import subprocess, sys
path, x, y, w, h = sys.argv[1], *map(int, sys.argv[2:])
ppm = subprocess.run(["convert", path, "-alpha", "off", "ppm:-"], check=True, capture_output=True).stdout
fields = ppm.split(maxsplit=4)
width, height, data = int(fields[1]), int(fields[2]), fields[4]
at = lambda px, py: data[(py * width + px) * 3:(py * width + px) * 3 + 3]
desktop = at(0, 0)
reach = 40
ring = [(px, py) for px in range(max(0, x - reach), min(width, x + w + reach))
        for py in range(max(0, y - reach), min(height, y + h + reach))
        if not (x <= px < x + w and y <= py < y + h)]
dark = [p for p in ring if at(*p) != desktop]
inside = [(px, py) for px in range(x, x + w) for py in range(y, y + h)]
clear = sum(at(*p) == desktop for p in inside) / len(inside)
print(f"calendar {w}x{h}+{x}+{y}: {len(dark)} of {len(ring)} pixels around it and "
      f"{100 - 100 * clear:.0f}% of it differ from the desktop {desktop.hex()}")
# Painted (its texts show, so the compositor has drawn it and any shadow with it) and without shadow.
sys.exit(0 if not dark and 0.5 < clear < 0.98 else 1)
EOF
}
check_round() { # label
    local shot="$build/compositor-$1.png"
    wait_for shadow_free "$shot" || { shadow_free "$shot" || true; fail "a shadow shows around the calendar ($1)"; }
    shadow_free "$shot"
}
check_round start
# Every map gets a new frame from the window manager, and with it a new chance of a shadow.
for round in 1 2; do
    xdotool windowunmap --sync "$calendar"
    xdotool windowmap --sync "$calendar"
    check_round "map$round"
done
echo "$name: no shadow around the calendar"
