#!/usr/bin/env bash
# The editor linked and idle, then knob change to the pedal's receipt over many changes,
# offscreen against the in-process virtual pedal. Run after scripts/build.sh.
# Goals: under 1 % of one core idle; 95 % of the changes within 105 ms (the 100 ms pacing).
set -euo pipefail
cd "$(dirname "$0")/.."
build/bin/bench_knob_latency "${1:-300}"
