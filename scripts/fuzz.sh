#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and UndefinedBehaviorSanitizer) into
# build-fuzz/, runs every kept regression input and seed once, then fuzzes each target for a
# bounded time: FUZZ_SECONDS in all (150 unless given), shared among the targets. A crash,
# hang or sanitizer report fails the script, and its input is kept in
# fuzz/regressions/<target>/ so that every later run tries it again.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVADRELON_FUZZ=ON \
  > /dev/null
cmake --build build-fuzz --target fuzzers -j"$(nproc)"

targets=(status hexCodec preset algorithm firmware announcement settings version eeprom jobs)
budget=${FUZZ_SECONDS:-150}
each=$(( budget / ${#targets[@]} ))
[ "$each" -lt 1 ] && each=1
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for t in "${targets[@]}"; do
  bin=build-fuzz/bin/fuzz_$t
  seeds=fuzz/corpus/$t
  kept=fuzz/regressions/$t
  mkdir -p "$work/$t" "$work/$t-crash"
  inputs=()
  [ -d "$kept" ] && [ -n "$(ls -A "$kept")" ] && inputs+=("$kept"/*)
  [ -d "$seeds" ] && [ -n "$(ls -A "$seeds")" ] && inputs+=("$seeds"/*)
  if [ ${#inputs[@]} -gt 0 ] && ! "$bin" -timeout=10 "${inputs[@]}" > "$work/$t.replay.log" 2>&1; then
    echo "fuzz: $t fails on a kept input or seed:"; tail -30 "$work/$t.replay.log"; failed=1; continue
  fi
  start=$(date +%s)
  if "$bin" "$work/$t" "$seeds" -max_total_time="$each" -timeout=10 -rss_limit_mb=2048 -max_len=20000 \
       -artifact_prefix="$work/$t-crash/" -print_final_stats=1 > "$work/$t.log" 2>&1; then
    echo "fuzz: $t: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/$t.log" | grep -o '[0-9]*$') runs in $(( $(date +%s) - start )) s"
  else
    failed=1
    mkdir -p "$kept"
    for crash in "$work/$t-crash"/*; do
      [ -f "$crash" ] || continue
      cp "$crash" "$kept/"
      echo "fuzz: $t found a failure; its input is kept as $kept/$(basename "$crash")"
    done
    tail -40 "$work/$t.log"
  fi
done
exit $failed
