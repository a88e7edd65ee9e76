#!/usr/bin/env bash
# The calendar by keyboard alone with Orca listening: on a virtual X screen under openbox, with a
# session bus and an accessibility bus of its own, the calendar runs with a faked clock on Thursday
# 14 March 2030 and "always on top"; Orca runs with its debug output, where every utterance shows as
# "SPEECH OUTPUT:". Checked: the start takes no keyboard and a second start gives it, with the cursor's
# day spoken; Page Down and Home speak the new day; Up and Down speak one day, not the week; the
# table of the Display tab is used by keyboard, its lists speak their values; the configuration dialog, a message box and the memo
# editor give the keyboard back when they close, with the day spoken again; the dialog is a toolbar
# first (no minimise under openbox) from its first showing. Exits 77 (skipped) where a tool is missing.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
name=keyboard-return-test
launcher=/usr/libexec/at-spi-bus-launcher
source "$root/scripts/x-session.sh"
x_need Xvfb openbox xdotool xprop gdbus faketime orca
[ -x "$launcher" ] || { echo "$name: $launcher missing, skipped"; exit 77; }
x_own_bus "$@"
x_session 200
app="$work/app"
export LC_ALL=C.UTF-8
printf '[Options]\nAutorun=0\nAutoUpdate=0\nRemind=0\nAlwaysOnTop=1\n[Settings]\nLeft=60\nTop=60\n' \
    >"$app/Settings.ini"
printf '2030-03-14|0|Dentist;10:00\r\n2030-03-21|0|Call Ann\r\n' >"$work/memos.txt"
"$app/kestrivel" --import "$work/memos.txt" >/dev/null || fail "the memos were not imported"

"$launcher" --launch-immediately >"$work/a11y.log" 2>&1 & pids+=($!)
a11y_bus() { gdbus call --session -d org.a11y.Bus -o /org/a11y/bus -m org.a11y.Bus.GetAddress; }
wait_for a11y_bus || fail "the accessibility bus did not start"
# Orca's preferences live in the scratch folder. Its speech is off, so no synthesiser is needed: the
# debug output still shows every utterance.
speech="$work/orca.out"
mkdir -p "$work/orca"
cat >"$work/orca/user-settings.conf" <<'EOF'
{"general": {"enableSpeech": false, "enableBraille": false, "profile": ["Default", "default"],
             "startingProfile": ["Default", "default"], "activeProfile": ["Default", "default"]},
 "pronunciations": {}, "keybindings": {},
 "profiles": {"default": {"profile": ["Default", "default"], "enableSpeech": false, "enableBraille": false}}}
EOF
/usr/bin/python3 "$root/scripts/orca-speech.py" "$speech" "$work/orca" >"$work/orca.log" 2>&1 & pids+=($!)
orca_ready() { grep -q "ORCA: Starting registry" "$speech"; }
wait_for orca_ready || wait_for orca_ready || wait_for orca_ready ||
    { tail -20 "$speech" >&2; fail "Orca did not start"; }

run() {
    FAKETIME_DONT_FAKE_MONOTONIC=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb \
        faketime -f "@2030-03-14 12:00:00" "$app/kestrivel" "$@"
}
run >"$work/app.log" 2>&1 & pids+=($!)
calendar_id() { bash "$root/scripts/calendar-window.sh"; }
wait_for calendar_id || fail "no calendar window"
calendar=$(calendar_id)
active() { xprop -root _NET_ACTIVE_WINDOW | grep -q "$(printf '0x%x' "$1")"; }
mapped() { xwininfo -id "$calendar" | grep -q 'IsViewable'; }
wait_for mapped || fail "the calendar was not mapped"
! active "$calendar" || fail "the calendar took the keyboard at its start"

# What Orca said since the mark: the utterances, one a line.
mark() { spoken_from=$(wc -l <"$speech"); }
# An utterance may run over several lines (a day's memos); its first line holds the date.
said() { tail -n +"$((spoken_from + 1))" "$speech" | sed -n "s/^.*SPEECH OUTPUT: '//p"; }
heard() { said | grep -q -- "$1"; }
expect() { # text what: waits until Orca said the text since the mark
    wait_for heard "$1" || { said >&2; fail "$2: Orca did not say \"$1\""; }
}

# A second start gives the calendar the keyboard and the cursor, on today.
mark
run >/dev/null 2>&1 || fail "the second start failed"
wait_for active "$calendar" || fail "a second start did not give the calendar the keyboard"
expect "14 March 2030, today" "a second start"

mark
xdotool key Next
expect "14 April 2030" "Page Down"
mark
xdotool key Home
expect "14 March 2030, today" "Home"
# Down speaks the day below and no other day of its week.
mark
xdotool key Down
expect "21 March 2030" "Down"
for other in "17 March" "18 March" "19 March" "20 March" "22 March" "23 March"; do
    ! heard "$other" || { said >&2; fail "Down read the week (\"$other\")"; }
done

# The configuration dialog: a toolbar first from its first showing, then Escape gives the keyboard back.
# Each window is heard before the next key, as a user listens to it: Orca takes a window that closed
# before it got to its events for no window at all.
mark
x_open_configure
expect "General" "the dialog"
# The Display tab's table by keyboard: a current value at once, the arrows, Enter, Tab to the colour's
# button and Space to the colour dialog; Escape closes that, undoes the edit, then closes the dialog.
mark
xdotool key ctrl+Tab Tab
expect "Zone to modify : Calendar" "a drop-down list with its value"
mark
xdotool key Tab Tab
expect "Back" "the table's first focus"
mark
xdotool key Down
expect "Back colo" "Down in the table"
mark
xdotool key Return Tab
expect "Back colou\?r \.\.\." "the colour's button"
mark
xdotool key space
expect "Select Colo" "the colour dialog"
mark
xdotool key Escape
expect "Back colo" "back from the colour dialog"
mark
xdotool key Escape
expect "Back colo" "the edit undone"
xprop -id "$dialog" _NET_WM_WINDOW_TYPE | grep -q '= _NET_WM_WINDOW_TYPE_TOOLBAR' ||
    fail "the dialog's first showing has the types $(xprop -id "$dialog" _NET_WM_WINDOW_TYPE)"
mark
xdotool key Escape
wait_for active "$calendar" || fail "the keyboard did not come back after the dialog's Escape"
expect "21 March 2030" "back from the dialog"

# The memo editor on the cursor's day: Escape gives the keyboard back.
mark
xdotool key Return
editor_id() { xdotool search --onlyvisible --name '^Memo$' | head -1; }
wait_for editor_id || fail "Enter did not open the memo editor"
expect "Memo" "the memo editor"
# Its text box is described by the day.
expect "21 March 2030. (Max" "the memo editor's text box"
mark
xdotool key Escape
wait_for active "$calendar" || fail "the keyboard did not come back after the editor"
expect "21 March 2030" "back from the editor"

# "Go to month..." with a date that is none: the error box's Ok gives the keyboard back too.
x_calendar_menu_key || fail "the menu key did not open the menu"
xdotool key Down Down Down Return
xdotool type --delay 50 "nonsense"
mark
xdotool key Return
inactive() { ! active "$calendar"; }
wait_for inactive || fail "no error box took the keyboard for a date that is none"
expect "invalid" "the error box"
mark
xdotool key Return
wait_for active "$calendar" || fail "the keyboard did not come back after the error box"
expect "21 March 2030" "back from the error box"

# A calendar minimised (as a window manager may do with a dialog minimised above it) comes back with
# the keyboard at a second start.
xdotool windowminimize "$calendar"
hidden() { ! xwininfo -id "$calendar" | grep -q 'IsViewable'; }
wait_for hidden || fail "the calendar could not be minimised"
run >/dev/null 2>&1 || fail "the second start failed"
wait_for mapped || fail "a second start did not bring a minimised calendar back"
wait_for active "$calendar" || fail "a second start did not give a minimised calendar the keyboard"
echo "$name: passed"
