#!/usr/bin/env bash
# The program's commands with no display at all (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM unset),
# run from a scratch copy of the program folder, which keeps its files beside the program since it
# is writable. Each step of the table checks the exit code, the output and the error output.
set -uo pipefail
build=${1:?build folder}
version=${2:?version}
name=cli
fail() { echo "$name: $*" >&2; exit 1; }
[ -x "$build/bin/kestrivel" ] || fail "$build/bin/kestrivel not built"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
app="$work/app"
mkdir -p "$app" "$work/home" "$work/config"
cp "$build/bin/kestrivel" "$build/bin"/kestrivel-*.so "$build/bin/KestriFr.lang" "$app/" || fail "no program to copy"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_RUNTIME_DIR DBUS_SESSION_BUS_ADDRESS
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" LC_ALL=C LANG=C

# step NAME CODE OUT ERR ARGS...: OUT and ERR are "" for no output, "=FILE" for exactly that file's
# contents, or an extended regular expression some line must match.
step() {
    local what=$1 code=$2 out=$3 err=$4
    shift 4
    LC_ALL=${step_locale:-$LC_ALL} "$app/kestrivel" "$@" >"$work/out" 2>"$work/err"
    local got=$?
    [ "$got" = "$code" ] || fail "$what: exit code $got, not $code"$'\n'"$(cat "$work/err")"
    check "$what" output "$work/out" "$out"
    check "$what" "error output" "$work/err" "$err"
    echo "$name: $what: ok"
}
check() { # NAME WHICH FILE WANTED
    case $4 in
    "") [ ! -s "$3" ] || fail "$1: unexpected $2:"$'\n'"$(cat "$3")" ;;
    =*) diff -u "${4#=}" "$3" >&2 || fail "$1: $2 differs" ;;
    *) grep -Eq -- "$4" "$3" || fail "$1: $2 does not match '$4':"$'\n'"$(cat "$3")" ;;
    esac
}
expect() { cat >"$work/$1"; }

expect february <<'TEXT'
February 2026
 M   T   W   T   F   S   S
                         1
 2   3   4   5   6   7   8
 9  10  11  12  13  14  15
16  17  18  19  20  21  22
23  24  25  26  27  28
TEXT
expect february-marked <<'TEXT'
February 2026
 M   T   W   T   F   S   S
                         1
 2   3*  4*  5   6   7   8
 9  10  11* 12  13  14  15
16  17  18* 19  20* 21  22
23  24  25* 26  27  28
TEXT
expect february-french <<'TEXT'
February 2026
     D   L   M   M   J   V   S
 6   1   2   3*  4*  5   6   7
 7   8   9  10  11* 12  13  14
 8  15  16  17  18* 19  20* 21
 9  22  23  24  25* 26  27  28
TEXT
printf 'Kestrivel %s\n' "$version" >"$work/version"
# One plain event, one weekly from Wednesday 11 February, one daily (approximated: a Single memo).
event() { printf 'BEGIN:VEVENT\r\nUID:%s@cli\r\nDTSTAMP:20260101T000000Z\r\nDTSTART;VALUE=DATE:%s\r\n%sSUMMARY:%s\r\nEND:VEVENT\r\n' "$@"; }
{
    printf 'BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kestrivel//cli test//EN\r\n'
    event a 20260203 '' Dentist
    event b 20260211 $'RRULE:FREQ=WEEKLY\r\n' Choir
    event c 20260220 $'RRULE:FREQ=DAILY\r\n' Daily
    printf 'END:VCALENDAR\r\n'
} >"$work/in.ics"
printf '2026-02-03|0|Dentist\r\n2026-02-11|1|Choir\r\n2026-02-20|0|Daily\r\n' >"$work/exported.dat"
printf '2026-03-05|0|Fine\r\nnot a memo\r\n' >"$work/broken.dat"
today=$(date +%Y-%m-%d)
printf '%s|0|Call;home\r\n' "$today" >"$work/today.dat"

step "help" 0 '^Usage: kestrivel \[OPTION\]' "" --help
step "version" 0 "=$work/version" "" --version
# A wrong line is one line of error and a pointer to the help, never the usage nor an abort.
two_lines() { [ "$(wc -l <"$work/err")" = 2 ] || fail "$1: not two lines of error output:"$'\n'"$(cat "$work/err")"; }
step "unknown option" 2 "" "^kestrivel: unknown option '--bogus'\$" --bogus
two_lines "unknown option"
step "help after an unknown option" 2 "" "^Try 'kestrivel --help' for more information\\.\$" --bogus
step "unknown single-dash option" 2 "" "^kestrivel: unknown option '-x'\$" -x
two_lines "unknown single-dash option"
step "window system option without its value" 2 "" "^kestrivel: -platform needs a value\$" -platform
# The calendar itself: with no display it says so in one line and ends with 1.
step "calendar without a display" 1 "" "^kestrivel: cannot start the calendar: no display"
[ "$(wc -l <"$work/err")" = 1 ] || fail "no display: more than one line:"$'\n'"$(cat "$work/err")"
DISPLAY=:7391 step "calendar on a display that is not there" 1 "" \
    "^kestrivel: cannot start the calendar: the display cannot be opened .*:7391" -reverse
[ "$(wc -l <"$work/err")" = 1 ] || fail "display not there: more than one line:"$'\n'"$(cat "$work/err")"
# What Qt reports names the cause: a platform plugin that is not installed, the display of -display.
step "calendar with a platform that is not installed" 1 "" \
    "^kestrivel: cannot start the calendar: the window-system plugin \"bogus\" is not installed \(installed: .*xcb" \
    -platform bogus
QT_QPA_PLATFORM=wayland-nowhere step "calendar with a platform variable that names no plugin" 1 "" \
    "^kestrivel: cannot start the calendar: the window-system plugin \"wayland-nowhere\" is not installed"
step "calendar on a display given by -display" 1 "" \
    "^kestrivel: cannot start the calendar: the display cannot be opened .*:7392" -display :7392
[ "$(wc -l <"$work/err")" = 1 ] || fail "-display: more than one line:"$'\n'"$(cat "$work/err")"
step "month" 0 "=$work/february" "" --month 2026-02
step "month thirteen" 2 "" "^kestrivel: '2026-13' is not a month" --month 2026-13
[ ! -e "$app/Memos.dat" ] || fail "printing a month wrote Memos.dat"
step "import of a missing file" 1 "" "cannot read .*missing.ics" --import "$work/missing.ics"
step "iCalendar import" 0 '^2 / 1 / 0 \(added / approximated / skipped\)$' "" --import "$work/in.ics"
[ -s "$app/Memos.dat" ] || fail "the import wrote no Memos.dat beside the program"
step "the same import again" 0 '^0 / 0 / 3 ' "" --import "$work/in.ics"
step "marked days" 0 "=$work/february-marked" "" --month=2026-02
step "export" 0 '^3 exported$' "" --export "$work/out.dat"
cmp "$work/exported.dat" "$work/out.dat" || fail "the exchange file differs"
step "iCalendar export" 0 '^3 exported$' "" --export "$work/out.ics"
[ "$(grep -c '^BEGIN:VEVENT' "$work/out.ics")" = 3 ] || fail "the iCalendar file does not hold 3 events"
grep -q '^SUMMARY:Dentist' "$work/out.ics" || fail "the iCalendar file lacks the memo text"
step "export into a missing folder" 1 "" "cannot write .*/none/out.dat" --export "$work/none/out.dat"
mkfifo "$work/pipe"
step "export onto a named pipe" 1 "" "^kestrivel: cannot write .*/pipe: it is not a regular file\$" --export "$work/pipe"
[ -p "$work/pipe" ] || fail "the export replaced the named pipe"
ln -s "$work/out.dat" "$work/link.dat"
step "export through a symbolic link" 0 '^3 exported$' "" --export "$work/link.dat"
[ -L "$work/link.dat" ] && cmp -s "$work/exported.dat" "$work/out.dat" || fail "the export did not write where the link points"
[ "$(stat -c %a "$app/Memos.dat")" = 600 ] || fail "Memos.dat is not private: $(stat -c %a "$app/Memos.dat")"
step "exchange import with a bad line" 1 "" "line 2 is not a memo .*; nothing was added\$" --import "$work/broken.dat"
step "the same exchange file again" 0 '^0 added, 3 already there$' "" --import "$work/exported.dat"
# Written where the month comes first, read where the day does: the same dates, so nothing new.
step_locale=en_US.UTF-8 step "export with month-first dates" 0 '^3 exported$' "" --export "$work/us.dat"
grep -q '^2/20/2026|0|Daily' "$work/us.dat" || fail "the export did not write the locale's dates"
step_locale=de_DE.UTF-8 step "import of month-first dates where the day comes first" 0 \
    '^0 added, 3 already there; dates read as mm-dd-yyyy$' "" --import "$work/us.dat"
printf '2026-03-01|9|nine\r\n' >"$work/nine.dat"
step "unknown memo type" 1 "" "line 1 has the memo type 9; the types are 0 to 3; nothing was added" --import "$work/nine.dat"
printf '2026-03-02|0|%s\r\n' "$(head -c 400 /dev/zero | tr '\0' x)" >"$work/long.dat"
step "a long text" 0 '^1 added, 1 cut to 255 characters \(line 1\)$' "" --import "$work/long.dat"
step "export to the standard output" 0 '^2026-02-03\|0\|Dentist' "" --export -
[ ! -e - ] || fail "the export wrote a file named -"
printf '2026-03-03|0|piped\r\n' >"$work/piped.dat"
step "import from the standard input" 0 '^1 added$' "" --import - <"$work/piped.dat"
truncate -s 65M "$work/big.dat"
step "an exchange file over the size cap" 1 "" \
    "^kestrivel: .*/big\.dat is larger than 64 MiB, more than any memo file; nothing was added\$" --import "$work/big.dat"
step "a bad line on the standard input" 1 "" "^kestrivel: the standard input: line 2 is not a memo" \
    --import - <"$work/broken.dat"
cp "$app/Memos.dat" "$work/memos-before"
settings_before=$(cat "$app/Settings.ini" 2>&1)
step "export onto Memos.dat" 1 "" "^kestrivel: cannot write .*/Memos\.dat: it is one of the calendar's own files\$" \
    --export "$app/Memos.dat"
step "export onto Settings.ini" 1 "" "it is one of the calendar's own files" --export "$app/Settings.ini"
cmp -s "$work/memos-before" "$app/Memos.dat" || fail "an export replaced Memos.dat"
[ "$(cat "$app/Settings.ini" 2>&1)" = "$settings_before" ] || fail "an export wrote Settings.ini"
step "export under a read-only folder" 1 "" "^kestrivel: cannot write /proc/x\.dat: .+" --export /proc/x.dat
if [ "$(id -u)" = 0 ]; then
    # Another user's link in a shared folder: the file it points to stays as it is.
    mkdir -m 1777 "$work/shared"
    echo theirs >"$work/theirs"
    ln -s "$work/theirs" "$work/shared/planted.dat"
    chown -h nobody "$work/shared/planted.dat"
    step "export through another user's link" 1 "" "a link another user put into a folder others may write into" \
        --export "$work/shared/planted.dat"
    [ "$(cat "$work/theirs")" = theirs ] || fail "the export followed another user's link"
    # A Memos.dat its user may not read: the root of this run reads anything, so a copy runs as nobody.
    perm="$work/perm"
    mkdir "$perm"
    cp "$app/kestrivel" "$app"/kestrivel-*.so "$app/Memos.dat" "$work/today.dat" "$perm/"
    chmod 000 "$perm/Memos.dat"
    chown -R nobody "$perm"
    chmod 711 "$work"
    setpriv --reuid=nobody --regid=nogroup --clear-groups "$perm/kestrivel" --import "$perm/today.dat" \
        >"$work/out" 2>"$work/err"
    code=$?
    chmod 700 "$work"
    [ "$code" = 1 ] || fail "unreadable Memos.dat: exit code $code, not 1"
    grep -q "^kestrivel: cannot read .*/Memos\.dat: Permission denied; it is left as it is\$" "$work/err" ||
        fail "unreadable Memos.dat: $(cat "$work/err")"
    [ "$(ls "$perm" | grep -c Memos)" = 1 ] && [ "$(stat -c %a "$perm/Memos.dat")" = 0 ] ||
        fail "the unreadable Memos.dat was moved or replaced: $(ls "$perm")"
    echo "$name: unreadable Memos.dat: ok"
fi

printf '[Options]\nShowWeekNumbers=1\nStartOfWeek=7\nLanguageFile=KestriFr.lang\n' >"$app/Settings.ini"
step "weeks, Sunday first, French initials" 0 "=$work/february-french" "" --month 2026-02

printf '[Options]\nShowTodaysMemo=1\n' >"$app/Settings.ini"
step "exchange import" 0 '^1 added$' "" --import "$work/today.dat"
step "this month with today's memo" 0 "^$(date +'%B %Y')\$" "" --month
tail -n 3 "$work/out" | diff -u <(printf '\nCall\nhome\n') - >&2 || fail "today's memo is not at the end"
grep -Eq "(^| )$(date +%-d)\\*( |$)" "$work/out" || fail "today is not marked"

# An import started while another writer holds the folder's lock reads the memos once it has the
# lock: a memo that writer saved on the import's date (a sync bringing a phone's event) stays.
ics_of() { # UID SUMMARY: one event on 1 May
    printf 'BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kestrivel//cli test//EN\r\n'
    event "$1" 20260501 '' "$2"
    printf 'END:VCALENDAR\r\n'
}
ics_of phone 'From the phone' >"$work/phone.ics"
ics_of mine 'From the import' >"$work/mine.ics"
mkdir "$work/phone"
cp "$app/kestrivel" "$app"/kestrivel-*.so "$app/Memos.dat" "$work/phone/"
"$work/phone/kestrivel" --import "$work/phone.ics" >/dev/null || fail "no memo file with the phone's memo"
exec {held}>"$app/.Kestrivel.lock"
flock -x "$held"
"$app/kestrivel" --import "$work/mine.ics" >"$work/out" 2>"$work/err" {held}>&- &
importer=$!
until ls -l "/proc/$importer/fd" 2>/dev/null | grep -q '\.Kestrivel\.lock$'; do
    kill -0 "$importer" 2>/dev/null || break
    sleep 0.01
done
cp "$work/phone/Memos.dat" "$app/Memos.new" && mv "$app/Memos.new" "$app/Memos.dat"
exec {held}>&-
wait "$importer" || fail "the import beside a writer failed:"$'\n'"$(cat "$work/err")"
grep -q '^0 / 0 / 1 ' "$work/out" || fail "the import did not skip the taken date: $(cat "$work/out")"
cmp -s "$work/phone/Memos.dat" "$app/Memos.dat" || fail "the import changed the phone's memo"
echo "$name: import beside a writer holding the lock: ok"

# Sync: without a server nothing is asked and nothing is written; a server that is down fails the
# sync and leaves the memos as they were. No password leaves the variable for a secret store.
settings_re="${app//./\\.}/Settings\\.ini"
step "sync without a server" 1 "" "^kestrivel: no calendar server is set \\(\\[Sync\\] Server in $settings_re\\)\$" --sync
step "sync with a value" 2 "" "^kestrivel: --sync takes no value" --sync=http://127.0.0.1/
printf '[Options]\nShowTodaysMemo=1\n[Sync]\nServer=\nUser=anna\n' >"$app/Settings.ini"
step "sync with an empty server" 1 "" "no calendar server is set" --sync
cp "$app/Memos.dat" "$work/memos-before"
printf '[Sync]\nServer=http://127.0.0.1:9/anna/calendar/\nUser=anna\n' >"$app/Settings.ini"
KESTRIVEL_SYNC_PASSWORD=secret step "sync with the server down" 1 "" \
    "^kestrivel: sync failed: cannot reach http://127\\.0\\.0\\.1:9/anna/calendar/: .+" --sync
cmp "$work/memos-before" "$app/Memos.dat" || fail "a failed sync changed Memos.dat"
! grep -q secret "$app/Settings.ini" || fail "the password reached Settings.ini"
step "sync without a password anywhere" 1 "" "^kestrivel: sync failed: no secret store .*KESTRIVEL_SYNC_PASSWORD" --sync
# A list with room for one memo more: an import that does not fit whole adds nothing, of either kind.
full="$work/full"
mkdir "$full"
cp "$app/kestrivel" "$app"/kestrivel-*.so "$full/"
python3 -c '
import struct, sys
n = 65534
records = b"".join(struct.pack("<dBi", 200000 + i, 0, 0) for i in range(n))
open(sys.argv[1], "wb").write(struct.pack("<i", 13) + b"CalendarMemos" + struct.pack("<HH", 100, n) + records)
' "$full/Memos.dat" || fail "no full Memos.dat"
cp "$full/Memos.dat" "$work/full-before"
"$full/kestrivel" --import "$work/in.ics" >"$work/out" 2>"$work/err"
[ $? = 1 ] && grep -q "^kestrivel: 2 events do not fit: the memo list is full .*; nothing was added\$" "$work/err" ||
    fail "iCalendar import into a full list: $(cat "$work/err")"
"$full/kestrivel" --import "$work/exported.dat" >"$work/out" 2>"$work/err"
[ $? = 1 ] && grep -q "^kestrivel: .*exported.dat: line 2 does not fit: the memo list is full" "$work/err" ||
    fail "exchange import into a full list: $(cat "$work/err")"
cmp -s "$work/full-before" "$full/Memos.dat" || fail "an import that did not fit changed Memos.dat"
echo "$name: imports into a full list: ok"
# An installed copy keeps its files in a folder of the user's own.
rm -rf "$work/config/Kestrivel"
mkdir -p "$work/installed/bin" "$work/installed/share/kestrivel"
cp "$app/kestrivel" "$app"/kestrivel-*.so "$work/installed/bin/"
"$work/installed/bin/kestrivel" --month 2026-02 >/dev/null || fail "the installed copy did not run"
[ "$(stat -c %a "$work/config/Kestrivel")" = 700 ] || fail "the configuration folder is not private"
echo "$name: all steps passed"
