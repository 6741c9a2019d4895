#!/usr/bin/env bash
# Processor share while waiting on a silent pedal and while linked and idle. Run after
# scripts/build.sh. Goal: each under 1 % of one core.
set -euo pipefail
cd "$(dirname "$0")/.."
build/bin/bench_wait_cpu "${1:-5}"
