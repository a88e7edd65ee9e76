#!/usr/bin/env bash
# What a user waits on a first `make run`: clones the repository into a scratch folder, runs
# `make run` there with no display (so it takes the screenshot path) and prints the time from the
# start of `make run` to the calendar window being mapped on the virtual screen:
#
#   figure: first_run_seconds N
#
# Usage: first-run-time.sh [SOURCE [SCRATCH]]. SOURCE is a repository or worktree (default: this
# one; its committed state is what gets cloned); SCRATCH is an empty or missing folder to clone
# into (default: a temporary folder, removed afterwards). Also says how many of the packages
# `make run` needs were missing before it started, since installing them is part of the wait.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_repo=${1:-$(cd "$here/.." && pwd)}
scratch=${2:-}
keep=yes
if [ -z "$scratch" ]; then
    scratch=$(mktemp -d)
    keep=""
fi
cleanup() { [ -n "$keep" ] || rm -rf "$scratch"; }
trap cleanup EXIT
mkdir -p "$scratch"
[ -z "$(ls -A "$scratch")" ] || { echo "first-run-time: $scratch is not empty" >&2; exit 1; }

clone="$scratch/kestrivel"
git clone --quiet "$source_repo" "$clone"

missing=0
while read -r p; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing=$((missing + 1))
done < <(env -u DISPLAY -u WAYLAND_DISPLAY bash "$clone/scripts/install-deps.sh" run --list)

stamp="$scratch/mapped"
log="$scratch/make-run.log"
start=$(date +%s.%N)
if ! env -u DISPLAY -u WAYLAND_DISPLAY KESTRIVEL_MAPPED_STAMP="$stamp" make --no-print-directory -C "$clone" run >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "first-run-time: make run failed (log: $log)" >&2
    keep=yes
    exit 1
fi
end=$(date +%s.%N)
[ -s "$stamp" ] || { echo "first-run-time: the calendar window was never mapped" >&2; exit 1; }
mapped=$(cat "$stamp")

seconds=$(awk -v a="$start" -v b="$mapped" 'BEGIN { printf "%.0f", b - a }')
total=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.0f", b - a }')
echo "first-run-time: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)," \
     "$missing package(s) missing before the run; make run took ${total} s in all"
echo "first-run-time: screenshot $(tail -n 1 "$log")"
echo "figure: first_run_seconds $seconds"
