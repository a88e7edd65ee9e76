#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time, starting from the
# fixture files. Fails when a target finds a crash, a leak or undefined behaviour. Prints
# `figure: fuzz_inputs_<target> N inputs` for each target.
#
# Usage: run-fuzzers.sh [BUILD_DIR] [SECONDS]    (SECONDS also from FUZZ_SECONDS; default 60)
# FUZZ_ONLY=REGEX runs only the targets whose name matches.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-${FUZZ_SECONDS:-60}}
root=$(cd "$(dirname "$0")/.." && pwd)

cc=$(command -v clang-14 || command -v clang || true)
cxx=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$cc" ] || [ -z "$cxx" ]; then
    echo "run-fuzzers: clang is not installed (scripts/install-deps.sh installs clang-14)" >&2
    exit 1
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRIVEL_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzz_all -j "$(nproc)"

# Each input is written to a file the loaders read, and saves sync what they write: on a disk that
# costs 5 to 20 times the parsing. A folder in memory, as a login session's runtime folder is.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    scratch=$(mktemp -d -p /dev/shm kestrivel-fuzz.XXXXXX)
    trap 'rm -rf "$scratch"' EXIT
    export TMPDIR=$scratch
fi

status=0
for target in "$build"/bin/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    [[ "$name" =~ ${FUZZ_ONLY:-.} ]] || continue
    corpus="$build/corpus/$name"
    mkdir -p "$corpus"
    seeds="$root/tests/fuzz/seeds/${name#fuzz_}"
    [ -d "$seeds" ] && cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true
    log="$build/$name.log"
    options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
             -artifact_prefix="$build/$name-")
    # Calendars get room to nest deeply and to hold long lines: the bounds they are checked against
    # lie far beyond libFuzzer's default of 4 KiB.
    if [ "$name" = fuzz_ICalendar ]; then
        options+=(-max_len=8388608)
    fi
    # WebDAV answers get room for floods of responses, past the reader's cap on how many it keeps.
    if [ "$name" = fuzz_DavXml ]; then
        options+=(-max_len=1048576)
    fi
    if "$target" "$corpus" "${options[@]}" >"$log" 2>&1; then
        runs=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' || echo "?")
        echo "figure: fuzz_inputs_${name#fuzz_} ${runs} inputs"
    else
        echo "run-fuzzers: $name found a problem; log: $log" >&2
        tail -n 40 "$log" >&2
        status=1
    fi
done
exit $status
