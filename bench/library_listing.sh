#!/usr/bin/env bash
# The preset library window opened on 1000 presets with notes, offscreen: the time from the
# menu entry to the list shown. Run after scripts/build.sh. Goal: under 200 ms.
set -euo pipefail
cd "$(dirname "$0")/.."
build/bin/bench_library_listing "${1:-1000}" "${2:-10}"
