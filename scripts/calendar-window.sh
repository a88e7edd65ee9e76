#!/usr/bin/env bash
# Prints the X11 id of the calendar window (WM_CLASS "kestrivel", role "calendar") on $DISPLAY;
# exits 1 when there is none. The calendar has no caption of its own, so it is found by its role.
for id in $(xdotool search --classname '^kestrivel$' 2>/dev/null); do
    if xprop -id "$id" WM_WINDOW_ROLE 2>/dev/null | grep -q '"calendar"'; then
        echo "$id"
        exit 0
    fi
done
exit 1
