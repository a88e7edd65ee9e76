#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build, tests and `make run` need and
# the machine does not have yet. Safe to run again: it asks apt only for missing packages.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libjpeg62-turbo-dev libxcb1-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    fonts-liberation2 xvfb xauth x11-utils x11-xserver-utils imagemagick
    qt6-base-private-dev xcompmgr openbox xdotool trayer
    dbus-daemon dbus-bin libglib2.0-bin xfce4-panel
    clang-14 libclang-rt-14-dev
    dpkg-dev desktop-file-utils appstream xdotool librsvg2-bin
    libical-dev python3-icalendar
)

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
