# Sourced by the scripts that run the real program on a virtual X screen. Set `name` (for messages)
# and `build` (the build folder) first. x_session gives a scratch HOME, runtime and configuration
# folder, a copy of the program folder in $work/app, an X server with a desktop colour, openbox and,
# when asked, a tray host; everything it starts is stopped and removed when the script exits.

fail() { echo "$name: $*" >&2; exit 1; }
wait_for() { # command... : retried for 10 s
    for _ in $(seq 1 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
# Exits 77 (skipped) when a tool is missing.
x_need() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || { echo "$name: $tool missing, skipped"; exit 77; }
    done
}
x_cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work" "${runtime:-}"
}
# x_session FIRST-DISPLAY-NUMBER [tray]
x_session() {
    work=$(mktemp -d)
    pids=()
    trap x_cleanup EXIT
    local num=$1
    while [ -e "/tmp/.X${num}-lock" ] || [ -e "/tmp/.X11-unix/X${num}" ]; do num=$((num + 1)); done
    # The runtime folder lives in memory where it can, as a login session's /run/user/UID does.
    runtime=$(mktemp -d -p /dev/shm 2>/dev/null) || runtime="$work/run"
    export DISPLAY=":$num" XDG_RUNTIME_DIR="$runtime" XDG_CONFIG_HOME="$work/config" HOME="$work/home"
    mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$HOME"
    chmod 700 "$XDG_RUNTIME_DIR"
    unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
    # A copy of the program folder, so its files start fresh and the run leaves the build alone.
    cp -r "$build/bin" "$work/app"
    rm -f "$work/app/Settings.ini" "$work/app/Memos.dat" "$work/app/Schemes.dat"

    Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 & pids+=($!)
    wait_for xwininfo -root || fail "no X server"
    xsetroot -solid '#3a6ea5' 2>/dev/null || true
    openbox >/dev/null 2>&1 & pids+=($!)
    wait_for xprop -root _NET_SUPPORTING_WM_CHECK || fail "openbox did not start"
    if [ "${2:-}" = tray ]; then
        x_tray
    fi
}
# A tray host in the bottom right corner.
x_tray() {
    trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 --SetDockType true \
        --transparent false --tint 0x202020 >/dev/null 2>&1 & pids+=($!)
    wait_for bash -c 'xwininfo -root -tree | grep -q "panel"' || fail "trayer did not start"
}
