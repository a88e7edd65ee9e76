#!/usr/bin/env bash
# Start-up time (exec to the calendar window mapped) and resident memory 3 s later, of the calendar
# and of a bare Qt program with one shaped window and a tray icon (also as the same program drawing one
# line of text), side by side on one virtual X screen with a window manager and a tray host, several
# rounds, medians. Prints `figure:` lines. Start-up times vary by tens of milliseconds from one start to
# the next on a shared machine, so QUICK more rounds (default 10) time the start alone, without the
# idle measurements, and the start-up medians are taken over all rounds.
# Also the calendar's CPU time over 5 idle seconds (its one-second timer must not redraw).
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
rounds=${ROUNDS:-5}
quick=${QUICK:-10}
for tool in Xvfb openbox trayer; do
    command -v "$tool" >/dev/null 2>&1 || { echo "bench-startup: $tool missing, skipped"; exit 0; }
done
name=bench-startup
source "$(dirname "$0")/x-session.sh"
x_session 140 tray

# One run: prints "milliseconds-to-map rss-kib cpu-ticks-idle". start_probe starts the program and
# watches the X server for its mapped calendar window.
run() {
    local ms pid rss t0 t1
    read -r ms pid < <(QT_QPA_PLATFORM=xcb "$work/app/start_probe" "$@" 2>/dev/null) || true
    [ -n "${pid:-}" ] || { echo "-1 0 0"; return; }
    sleep 3
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
    t0=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    sleep 5
    t1=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    kill "$pid"; while kill -0 "$pid" 2>/dev/null; do sleep 0.05; done
    echo "$ms $rss $((t1 - t0))"
}
# The same for the start alone: prints "milliseconds-to-map".
run_start() {
    local ms pid
    read -r ms pid < <(QT_QPA_PLATFORM=xcb "$work/app/start_probe" "$@" 2>/dev/null) || true
    [ -n "${pid:-}" ] || { echo "-1"; return; }
    kill "$pid"; while kill -0 "$pid" 2>/dev/null; do sleep 0.05; done
    echo "$ms"
}
# EVENTS=N starts the calendar with N events cached beside its memos (every tenth repeating), which it
# reads after its first paint.
if [ "${EVENTS:-0}" -gt 0 ]; then
    python3 - "$work/app/Events.dat" "$EVENTS" <<'PY'
import sys
path, count = sys.argv[1], int(sys.argv[2])
parts = []
for i in range(count):
    rule = "RRULE:FREQ=WEEKLY;BYDAY=MO,TH;COUNT=50\r\n" if i % 10 == 0 else ""
    data = ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Bench//EN\r\nBEGIN:VEVENT\r\nUID:e%d\r\n"
            "DTSTART;TZID=Europe/Berlin:%04d%02d%02dT120000\r\n%sSUMMARY:Event %d\r\nEND:VEVENT\r\n"
            "END:VCALENDAR\r\n" % (i, 2016 + i % 20, 1 + i % 12, 1 + i % 28, rule, i)).encode()
    href = ("https://h/c/e%d.ics" % i).encode()
    parts.append(b"0 %d 0 %d\n" % (len(href), len(data)) + href + data + b"\n")
with open(path, "wb") as f:
    f.write(b"KestrivelEvents 1 %d\n" % count + b"".join(parts))
PY
fi
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
: >"$work/cal"; : >"$work/bare"; : >"$work/text"
for _ in $(seq 1 "$rounds"); do
    run "$work/app/kestrivel" >>"$work/cal"
    run "$work/app/bare_calendar" >>"$work/bare"
    run "$work/app/bare_calendar" --text >>"$work/text"
done
for _ in $(seq 1 "$quick"); do
    run_start "$work/app/kestrivel" >>"$work/cal"
    run_start "$work/app/bare_calendar" >>"$work/bare"
    run_start "$work/app/bare_calendar" --text >>"$work/text"
done
cal_ms=$(cut -d' ' -f1 "$work/cal" | median); bare_ms=$(cut -d' ' -f1 "$work/bare" | median)
# The idle figures come from the full rounds alone (their lines have three fields).
idle() { awk -v f="$2" 'NF == 3 {print $f}' "$1" | median; }
cal_rss=$(idle "$work/cal" 2); bare_rss=$(idle "$work/bare" 2)
text_ms=$(cut -d' ' -f1 "$work/text" | median); text_rss=$(idle "$work/text" 2)
cal_cpu=$(idle "$work/cal" 3)
echo "figure: startup_calendar_ms $cal_ms ms"
echo "figure: startup_bare_qt_ms $bare_ms ms"
echo "figure: startup_bare_qt_with_text_ms $text_ms ms"
echo "figure: idle_rss_calendar_kib $cal_rss KiB"
echo "figure: idle_rss_bare_qt_kib $bare_rss KiB"
echo "figure: idle_rss_bare_qt_with_text_kib $text_rss KiB"
ratio() { awk -v a="$2" -v b="$3" -v n="$1" 'BEGIN { printf "figure: %s %.2f x\n", n, a / b }'; }
ratio startup_ratio_vs_bare_qt "$cal_ms" "$bare_ms"
ratio idle_rss_ratio_vs_bare_qt "$cal_rss" "$bare_rss"
ratio startup_ratio_vs_bare_qt_with_text "$cal_ms" "$text_ms"
ratio idle_rss_ratio_vs_bare_qt_with_text "$cal_rss" "$text_rss"
echo "figure: idle_cpu_ticks_per_5s $cal_cpu ticks"
