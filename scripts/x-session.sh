# Sourced by the scripts that run the real program on a virtual X screen. Set `name` (for messages)
# and `build` (the build folder) first. x_session gives a scratch HOME, runtime and configuration
# folder, a copy of the program folder in $work/app, an X server with a desktop colour, openbox and,
# when asked, a tray host; everything it starts is stopped and removed when the script exits. A script
# that calls x_own_bus first runs under a session bus of its own; the others run with none, so
# nothing they start reaches the user's desktop.

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
# Runs the calling script again under a session bus of its own (dbus-run-session), which x_session
# keeps; call it with the script's arguments before x_session.
x_own_bus() {
    if [ -z "${X_OWN_BUS:-}" ]; then
        x_need dbus-run-session dbus-update-activation-environment
        X_OWN_BUS=1 exec dbus-run-session -- bash "$0" "$@"
    fi
}
# x_xvfb [Xvfb options...]: a virtual X server on a display number it picks itself (-displayfd: the
# first it can take, whatever another server holds with or without a lock file), started when it says
# so and checked to be alive and answering before DISPLAY names it. Its pid goes into pids (and
# xvfb_pid), so it is stopped by that id alone. The size is 1024x768 unless the options give one.
x_xvfb() {
    local numfile num=""
    numfile=$(mktemp)
    local screen=(-screen 0 1024x768x24)
    [[ " $* " == *" -screen "* ]] && screen=()
    Xvfb -displayfd 3 "${screen[@]}" -nolisten tcp -noreset "$@" 3>"$numfile" >/dev/null 2>&1 &
    xvfb_pid=$!
    pids+=("$xvfb_pid")
    for _ in $(seq 1 100); do
        # The number is written with its line end once the server takes clients.
        [ "$(wc -l <"$numfile")" -ge 1 ] && { num=$(head -n 1 "$numfile"); break; }
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$numfile"
    [[ "$num" =~ ^[0-9]+$ ]] || fail "the virtual X server did not start"
    kill -0 "$xvfb_pid" 2>/dev/null || fail "the virtual X server ended at once"
    export DISPLAY=":$num"
    xwininfo -root >/dev/null 2>&1 || fail "the virtual X server on $DISPLAY does not answer"
}
# x_copy_program FROM TO: the program of the folder FROM (programs, modules, language files, shipped
# schemes) copied into TO, without the data files a user's calendar keeps there (Settings.ini,
# Memos.dat, Schemes.dat, the sync's files, damaged copies), which are never read.
x_copy_program() {
    mkdir -p "$2"
    local f
    for f in "$1"/*; do
        case $f in
        *.lang | *.so) ;;
        *) [ -d "$f" ] || [ -x "$f" ] || continue ;;
        esac
        cp -r "$f" "$2/"
    done
}
# x_wm_ready: returns once the window manager on $DISPLAY manages new windows. Openbox names itself
# on the root window before it handles map requests, and a window mapped in that gap stays unmapped
# for good, so a probe window is mapped until the manager shows one.
x_wm_ready() {
    wait_for xprop -root _NET_SUPPORTING_WM_CHECK || return 1
    local attempt probe shown=1
    for attempt in 1 2 3 4 5 6 7 8 9 10; do
        xev -name kestrivel-wm-probe -geometry 1x1+0+0 >/dev/null 2>&1 &
        probe=$!
        for _ in $(seq 1 20); do
            # Viewable and given a state by the manager: mapped by it, not before it took over.
            xwininfo -name kestrivel-wm-probe 2>/dev/null | grep -q IsViewable &&
                xprop -name kestrivel-wm-probe WM_STATE 2>/dev/null | grep -q Normal && { shown=0; break; }
            sleep 0.05
        done
        kill "$probe" 2>/dev/null
        wait "$probe" 2>/dev/null
        [ "$shown" = 0 ] && return 0
    done
    return 1
}
x_cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work" "${runtime:-}"
}
# x_session [FIRST-DISPLAY-NUMBER] [tray]: the number is no longer used; the server picks its own.
x_session() {
    work=$(mktemp -d)
    pids=()
    trap x_cleanup EXIT
    # The runtime folder lives in memory where it can, as a login session's /run/user/UID does.
    runtime=$(mktemp -d -p /dev/shm 2>/dev/null) || runtime="$work/run"
    x_xvfb
    export XDG_RUNTIME_DIR="$runtime" XDG_CONFIG_HOME="$work/config" HOME="$work/home"
    mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$HOME"
    chmod 700 "$XDG_RUNTIME_DIR"
    unset WAYLAND_DISPLAY
    if [ -n "${X_OWN_BUS:-}" ]; then
        # Services the bus starts on demand (a panel's settings store) take the scratch folders and
        # the virtual screen; no accessibility bus or settings service outlives the session.
        export NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory
        dbus-update-activation-environment DISPLAY HOME XDG_CONFIG_HOME XDG_RUNTIME_DIR NO_AT_BRIDGE \
            GSETTINGS_BACKEND ||
            fail "the session bus did not take the session's environment"
    else
        unset DBUS_SESSION_BUS_ADDRESS
    fi
    # A copy of the program folder, so its files start fresh and the run leaves the build alone.
    x_copy_program "$build/bin" "$work/app"

    xsetroot -solid '#3a6ea5' 2>/dev/null || true
    openbox >/dev/null 2>&1 & pids+=($!)
    x_wm_ready || fail "openbox did not start"
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
# Xfce's panel along the bottom edge with its status tray alone, which hosts StatusNotifierItems (and
# XEmbed icons); needs x_own_bus. Returns once the tray is registered as a host with the watcher.
x_status_tray() {
    local channel="$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
    mkdir -p "$channel"
    cat >"$channel/xfce4-panel.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=10;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="26"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
EOF
    # The panel's settings store runs as a child of the script, not started by the bus, so that it
    # has written its files and ended before the scratch folders are removed.
    local store
    store=$(sed -n 's/^Exec=//p' /usr/share/dbus-1/services/org.xfce.Xfconf.service 2>/dev/null || true)
    [ -x "$store" ] || { echo "$name: no Xfconf settings store, skipped"; exit 77; }
    "$store" >"$work/xfconfd.log" 2>&1 & pids+=($!)
    wait_for gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.GetNameOwner org.xfce.Xfconf || fail "the Xfconf settings store did not start"
    xfce4-panel --disable-wm-check >"$work/panel.log" 2>&1 & pids+=($!)
    # A busy machine may take longer than one wait to start the panel and its plugin.
    wait_for x_status_host || wait_for x_status_host || fail "no StatusNotifierItem host registered"
}
x_status_host() {
    gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher \
        -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher IsStatusNotifierHostRegistered |
        grep -q true
}
# The calendar's menu is shown (an override-redirect window of the program).
x_popup_menu() {
    for id in $(xdotool search --onlyvisible --classname '^kestrivel$' 2>/dev/null); do
        xwininfo -id "$id" | grep -q 'Override Redirect State: yes' && return 0
    done
    return 1
}
x_menu_closed() { ! x_popup_menu; }
# The menu key on the calendar ($calendar), once it has the keyboard. The window manager makes a window
# active before the X server gives it the focus, so a key sent at once can go nowhere: the key is
# sent again while no menu shows, up to three times.
x_calendar_menu_key() {
    for _ in 1 2 3; do
        xdotool windowactivate --sync "$calendar" 2>/dev/null || xdotool windowfocus --sync "$calendar"
        xdotool key Menu
        wait_for x_popup_menu && return 0
    done
    return 1
}
# The configuration dialog's window (441 pixels wide, captioned "Kestrivel").
x_config_dialog() {
    for id in $(xdotool search --onlyvisible --name '^Kestrivel$' 2>/dev/null); do
        [ "$id" != "$calendar" ] && xwininfo -id "$id" | grep -q 'Width: 441' && { echo "$id"; return 0; }
    done
    return 1
}
# "Configure..." from the menu key on the focused calendar ($calendar): two steps up from the bottom
# ("Close"), whichever items the day under the pointer enables (a build without an update server,
# as the tests build, shows no "Look for updates"). Sets $dialog.
x_open_configure() {
    x_calendar_menu_key || fail "the menu key did not open the calendar's menu"
    xdotool key Up Up Return
    wait_for x_config_dialog || fail "\"Configure...\" did not open the dialog"
    dialog=$(x_config_dialog)
}
