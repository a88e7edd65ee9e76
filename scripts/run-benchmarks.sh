#!/usr/bin/env bash
# Runs every benchmark program; each prints its results as `figure: NAME VALUE UNIT` lines.
set -euo pipefail
build=${1:-build}
status=0
found=0
for b in "$build"/bin/bench_*; do
    [ -x "$b" ] || continue
    found=1
    echo "== $(basename "$b")"
    "$b" --benchmark_min_time=0.2 || status=1
done
[ "$found" = 1 ] || echo "no benchmark programs in $build/bin"
echo "== start-up against a bare Qt program"
bash "$(dirname "$0")/bench-startup.sh" "$build" || status=1
echo "== sync with a private CalDAV server (skipped without radicale and python3-caldav)"
if [ -x /usr/bin/python3 ]; then
    code=0
    /usr/bin/python3 "$(dirname "$0")/../bench/sync-bench.py" "$build" || code=$?
    [ "$code" = 0 ] || [ "$code" = 77 ] || status=1
fi
exit $status
