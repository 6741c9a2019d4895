#!/usr/bin/env bash
# Start-up to the first shown main window, against an empty Qt Widgets window on the same
# machine: median of N runs each. Run after scripts/build.sh; without a display it runs
# itself under xvfb-run. Goal: the editor within 1.2 times the empty window.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s '-screen 0 1280x1024x24' "$0" "$@"
fi
runs=${1:-15}
home=$(mktemp -d); trap 'rm -rf "$home"' EXIT
export HOME="$home"
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
time_runs() {
  for _ in $(seq "$runs"); do
    s=$(date +%s%N); build/bin/bench_startup "$@" >/dev/null 2>&1; e=$(date +%s%N)
    echo $(( (e - s) / 1000000 ))
  done | median
}
build/bin/bench_startup --empty >/dev/null 2>&1 || true # warm the file cache
empty=$(time_runs --empty)
editor=$(time_runs)
echo "empty Qt Widgets window: $empty ms (median of $runs)"
echo "editor main window:      $editor ms (median of $runs)"
awk -v e="$editor" -v b="$empty" 'BEGIN { printf "ratio: %.2f (goal: at most 1.2)\n", e / b }'
