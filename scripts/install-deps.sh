#!/usr/bin/env bash
# Installs, from Debian's packages, what the machine does not have yet for one job:
#
#   install-deps.sh run      build and start the calendar (`make run`); without a display also the
#                            virtual X server and the tools that take the screenshot
#   install-deps.sh package  the above plus what builds the .deb (`make package`)
#   install-deps.sh test     everything: the above plus test and benchmark libraries, the desktop
#                            test peers, clang for the fuzz targets and lintian (`make test`)
#
# Safe to run again: it asks apt only for missing packages. `--list` prints the packages of the
# job instead of installing them.
set -euo pipefail

job=test
list_only=""
for arg in "$@"; do
    case "$arg" in
        run|package|test) job=$arg ;;
        --list) list_only=yes ;;
        *) echo "usage: install-deps.sh [run|package|test] [--list]" >&2; exit 2 ;;
    esac
done

# Compiling the program, its two modules and the language files.
build_packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-private-dev libjpeg62-turbo-dev libxcb1-dev libical-dev libexpat1-dev
    qtkeychain-qt6-dev
)
# At run time: the fonts the shipped schemes name ("Arial" is served by Liberation Sans) and Qt's
# own translations, so standard buttons and dialogs speak the language file's language.
run_packages=(fonts-liberation2 qt6-translations-l10n)
# `make run` with no display: a virtual X server, xwininfo/xprop, xsetroot, xdotool (finds the
# calendar window) and ImageMagick's `import` (the screenshot).
headless_packages=(xvfb xauth x11-utils x11-xserver-utils xdotool imagemagick)
# The .deb: dpkg-shlibdeps computes its dependencies, `file` tells CPack which files are programs.
package_packages=(dpkg-dev file)
# Tests, benchmarks and fuzzing.
test_packages=(
    libgtest-dev libgmock-dev libbenchmark-dev
    clang-14 libclang-rt-14-dev
    python3 python3-icalendar python3-dateutil radicale python3-caldav
    openbox trayer xcompmgr dbus
    dbus-daemon dbus-bin libglib2.0-bin xfce4-panel
    desktop-file-utils appstream librsvg2-bin lintian
    at-spi2-core python3-pyatspi python3-gi faketime
)

packages=("${build_packages[@]}" "${run_packages[@]}")
case "$job" in
    run)
        if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
            packages+=("${headless_packages[@]}")
        fi
        ;;
    package)
        packages+=("${package_packages[@]}")
        ;;
    test)
        packages+=("${headless_packages[@]}" "${package_packages[@]}" "${test_packages[@]}")
        ;;
esac

if [ -n "$list_only" ]; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        sudo_cmd=(sudo)
    else
        echo "install-deps: missing packages (${missing[*]}) and not root, no sudo available." >&2
        echo "install-deps: install them by hand: apt-get install ${missing[*]}" >&2
        exit 1
    fi
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! "${sudo_cmd[@]}" apt-get update -qq; then
    echo "install-deps: apt-get update failed" >&2
    exit 1
fi
if ! "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    echo "install-deps: could not install: ${missing[*]}" >&2
    exit 1
fi
