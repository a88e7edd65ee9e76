#!/usr/bin/env bash
# Builds the .deb from the build folder given as $1, unpacks it into a scratch root and checks it
# as an installed program: the package's dependencies were computed from the binary; the desktop
# entry, AppStream data and icons validate; the four language files are in the installed data
# folder; the program from the scratch root shows a calendar on a virtual X screen and, with a
# scratch HOME, keeps Settings.ini in $XDG_CONFIG_HOME/Kestrivel (written when the calendar moves);
# a first start under a German, French, Spanish or English locale picks that language's file.
# lintian checks the .deb as Debian would: any error (E:) fails the test, warnings are printed.
# Exits 77 (skipped) where a tool is missing.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
for tool in cpack dpkg-deb dpkg-shlibdeps dpkg-architecture lintian desktop-file-validate appstreamcli Xvfb xwininfo xsetroot xdotool import convert; do
    command -v "$tool" >/dev/null 2>&1 || { echo "package-test: $tool missing, skipped"; exit 77; }
done

# shellcheck source=x-session.sh
. "$(dirname "$0")/x-session.sh"
scratch=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    for pid in "$app_pid" "$xvfb_pid"; do
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            kill "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "package-test: $*" >&2; exit 1; }

# --- The package ---
cpack --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$scratch"/pkg/*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no .deb built"
depends=$(dpkg-deb -f "$deb" Depends)
echo "package-test: $(basename "$deb") depends on: $depends"
case "$depends" in *libqt6widgets6*) ;; *) fail "dependencies were not computed from the binary" ;; esac

# Debian's own check. It says "running with root privileges is not recommended" under root.
lintian --tag-display-limit 0 "$deb" >"$scratch/lintian.log" 2>&1 || true
grep -v 'root privileges' "$scratch/lintian.log" | sed 's/^/package-test: lintian: /' || true
if grep -q '^E:' "$scratch/lintian.log"; then
    fail "lintian reports errors"
fi
echo "package-test: lintian: $(grep -c '^E:' "$scratch/lintian.log") errors, $(grep -c '^W:' "$scratch/lintian.log") warnings"
# Nothing to do on install or removal: no maintainer scripts (a module is no public library).
control=$(dpkg-deb -I "$deb")
for script in preinst postinst prerm postrm triggers; do
    case "$control" in *" $script "*) fail "the package has a $script" ;; esac
done

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
share="$root/usr/share"
desktop-file-validate "$share/applications/org.example.kestrivel.desktop" || fail "desktop entry invalid"
appstreamcli validate --no-net --pedantic "$share/metainfo/org.example.kestrivel.metainfo.xml" >/dev/null ||
    fail "AppStream metadata invalid"
gzip -t "$share/man/man1/kestrivel.1.gz" 2>/dev/null || fail "no compressed manual page"
[[ "$(zcat "$share/man/man1/kestrivel.1.gz")" == ".TH KESTRIVEL 1 "* ]] || fail "the manual page has no title line"
[ "$(head -n 1 "$share/doc/kestrivel/copyright" 2>/dev/null)" = \
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] ||
    fail "no machine-readable copyright file"
[[ "$(zcat "$share/doc/kestrivel/changelog.gz" 2>/dev/null)" == "kestrivel ($(dpkg-deb -f "$deb" Version)) "* ]] ||
    fail "the changelog does not start with this version"
[ -s "$share/icons/hicolor/scalable/apps/kestrivel.svg" ] || fail "no scalable icon"
for size in 16 32 48 128; do
    got=$(identify -format '%wx%h' "$share/icons/hicolor/${size}x${size}/apps/kestrivel.png")
    [ "$got" = "${size}x${size}" ] || fail "icon ${size}x${size} is $got"
done

# The modules loaded on first use lie where the program looks for them, and export their entry points.
for module in kestrivel-http:KestrivelCreateHttpClient kestrivel-ical:KestrivelImportICalendar; do
    file="$root/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/kestrivel/${module%%:*}.so"
    [ -f "$file" ] || fail "${module%%:*} not installed"
    # grep reads to the end: quitting at the first match would end nm with SIGPIPE, a failure under pipefail.
    nm -D --defined-only "$file" | grep -w "${module##*:}" >/dev/null || fail "${module%%:*} lacks ${module##*:}"
done
ldd "$root/usr/bin/kestrivel" | grep -qE 'libical|Qt6Network' && fail "the program itself links libical or Qt Network"

# Each installed language file names its own language.
names=""
for lang in KestriEn KestriFr KestriDe KestriEs; do
    [ -f "$share/kestrivel/$lang.lang" ] || fail "$lang.lang not installed"
    "$build/bin/langc" decompile "$share/kestrivel/$lang.lang" "$scratch/$lang.txt" >/dev/null
    names+="$(sed -n 's/^language = //p' "$scratch/$lang.txt");"
done
[ "$names" = "English;Français;Deutsch;Español;" ] || fail "language names: $names"

# --- The installed program on a virtual X screen ---
pids=()
x_xvfb
xsetroot -solid '#3a6ea5' # the calendar is drawn on a transparent key; give it a desktop

home="$scratch/home"
config="$home/.config-scratch"
mkdir -p "$home" "$scratch/runtime"
chmod 700 "$scratch/runtime"
env -u WAYLAND_DISPLAY -u LC_ALL HOME="$home" XDG_CONFIG_HOME="$config" XDG_RUNTIME_DIR="$scratch/runtime" \
    LANG=C.UTF-8 QT_QPA_PLATFORM=xcb "$root/usr/bin/kestrivel" &
app_pid=$!
window=""
for _ in $(seq 1 100); do
    kill -0 "$app_pid" 2>/dev/null || fail "the program ended before its window appeared"
    window=$(bash "$(dirname "$0")/calendar-window.sh" || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "no calendar window after 10 seconds"
sleep 1 # let the first paint reach the screen

shot="${KESTRIVEL_SHOT:-$scratch/shot.png}"
import -window root "$shot"
colours=$(convert "$shot" -format '%k' info:)
[ "$colours" -gt 1 ] || fail "the screen is all one colour"

[ -d "$config/Kestrivel" ] || fail "no folder $config/Kestrivel"
[ ! -e "$root/usr/bin/Settings.ini" ] || fail "the installed program wrote beside itself"
# The calendar saves its position when it is moved while active, as by the user's drag.
xdotool windowfocus --sync "$window"
xdotool windowmove "$window" 123 87
settings="$config/Kestrivel/Settings.ini"
for _ in $(seq 1 50); do
    grep -qi '^Left=123' "$settings" 2>/dev/null && grep -qi '^Top=87' "$settings" && break
    sleep 0.1
done
grep -qi '^Left=123' "$settings" 2>/dev/null && grep -qi '^Top=87' "$settings" ||
    fail "Settings.ini with the moved position not written under \$XDG_CONFIG_HOME/Kestrivel"
[ -z "$(ls "$root/usr/bin")" ] || [ "$(ls "$root/usr/bin")" = kestrivel ] || fail "files written beside the program"
echo "package-test: installed calendar shows ($colours colours), keeps $settings"

# --- A first start speaks the user's language ---
# One fresh HOME per locale. Qt takes the language from the names in LC_ALL/LANG, so the locales
# need not be generated. The choice is read back from Settings.ini, which a plain start does not
# write but the configuration dialog does when it closes: the menu key opens the calendar's menu,
# whose third item from the bottom is "Configure...", and Escape closes the dialog.
kill "$app_pid" && wait "$app_pid" 2>/dev/null || true
app_pid=""
wait_for() { # command... : retried for 10 s
    for _ in $(seq 1 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
two_windows() { [ "$(xdotool search --onlyvisible --classname '^kestrivel$' | wc -l)" -ge 2 ]; }
for pair in de_DE.UTF-8:KestriDe fr_FR.UTF-8:KestriFr es_ES.UTF-8:KestriEs en_US.UTF-8:KestriEn; do
    locale=${pair%%:*}
    expected="${pair##*:}.lang"
    home="$scratch/home-$locale"
    mkdir -p "$home/runtime"
    chmod 700 "$home/runtime"
    env -u WAYLAND_DISPLAY -u LANGUAGE -u LC_MESSAGES HOME="$home" XDG_CONFIG_HOME="$home/config" \
        XDG_RUNTIME_DIR="$home/runtime" LANG="$locale" LC_ALL="$locale" QT_QPA_PLATFORM=xcb \
        "$root/usr/bin/kestrivel" >/dev/null 2>&1 &
    app_pid=$!
    wait_for bash "$(dirname "$0")/calendar-window.sh" || fail "$locale: no calendar window"
    window=$(bash "$(dirname "$0")/calendar-window.sh")
    xdotool windowfocus --sync "$window" key Menu
    wait_for two_windows || fail "$locale: the menu key opened no menu"
    xdotool key Up Up Return
    wait_for xdotool search --onlyvisible --name '^Kestrivel$' || fail "$locale: no configuration dialog"
    sleep 0.3 # let the dialog paint for the screenshot
    import -window root "${shot%.png}-${locale%%.*}.png"
    # Ok applies the options, the language chosen on the first start among them, and writes them.
    xdotool key Return
    settings="$home/config/Kestrivel/Settings.ini"
    wait_for grep -qx "LanguageFile=$expected" "$settings" ||
        fail "$locale: first start chose $(grep -i '^LanguageFile=' "$settings" 2>/dev/null || echo nothing), not $expected"
    kill "$app_pid" && wait "$app_pid" 2>/dev/null || true
    app_pid=""
done
echo "package-test: first starts under de, fr, es and en chose their language files"
