#!/usr/bin/env bash
# The Qt Serial Port driver against the termios driver, on Linux where both run, each against
# vadrelon-pedal-sim on a pseudo-terminal: knob change to the pedal's receipt and the status
# request's round trip with the whole editor (bench_knob_over_pty), `vadrelon status` from
# start to end, and a 52376-byte firmware upgrade with verify at the real line rate
# (`vadrelon --yes upgrade`). Reported as the Qt driver's figure over the termios driver's. Run
# after scripts/build.sh.
#
# A pseudo-terminal has no FTDI latency timer, so what the termios driver's low-latency mode
# saves on a real bridge (up to 16 ms for each bootloader answer) does not show here.
set -euo pipefail
cd "$(dirname "$0")/.."
changes=${1:-200}
runs=${2:-2}
size=52376
work=$(mktemp -d); trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export HOME="$work" XDG_RUNTIME_DIR="$work/run" VADRELON_VIRTUAL_PEDALS_DIR="$work/announce"
mkdir -m 700 "$XDG_RUNTIME_DIR"

image="$work/FIRMWARE_11.bin"
{ printf '\x00\x50\x00\x20\x31\x01\x00\x08'; head -c $((size - 8)) /dev/urandom; } > "$image"

start_pedal() {
  coproc PEDAL { exec build/bin/vadrelon-pedal-sim --announce-dir "$VADRELON_VIRTUAL_PEDALS_DIR" "$@"; }
  read -r -t 10 _ <&"${PEDAL[0]}"
}
stop_pedal() { kill "$PEDAL_PID"; wait "$PEDAL_PID" 2>/dev/null || true; }
ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
# The driver's name for VADRELON_SERIAL_DRIVER: empty is the termios driver.
with() { if [ "$1" = qt ]; then VADRELON_SERIAL_DRIVER=qt "${@:2}"; else env -u VADRELON_SERIAL_DRIVER "${@:2}"; fi; }

declare -A knob status upgrade
for driver in termios qt; do
  start_pedal --log "$work/$driver.log"
  knob[$driver]=$(with "$driver" build/bin/bench_knob_over_pty "$changes" "$work/$driver.log")
  stop_pedal
done
# The drivers take turns, so that a slow moment of the machine falls on both.
status[termios]=0; status[qt]=0
start_pedal
for _ in $(seq 20); do
  for driver in termios qt; do
    t=$(date +%s%N); with "$driver" build/bin/vadrelon status >/dev/null
    status[$driver]=$(( status[$driver] + $(ms "$t") ))
  done
done
stop_pedal
status[termios]=$(( status[termios] / 20 )); status[qt]=$(( status[qt] / 20 ))
upgrade[termios]=0; upgrade[qt]=0
for _ in $(seq "$runs"); do
  for driver in termios qt; do
    start_pedal --bootloader --line-rate
    t=$(date +%s%N); with "$driver" build/bin/vadrelon --yes upgrade "$image" >/dev/null
    upgrade[$driver]=$(( upgrade[$driver] + $(ms "$t") ))
    stop_pedal
  done
done

for driver in termios qt; do
  read -r n got mean p95 worst rtt rtt95 <<<"${knob[$driver]}"
  printf '%-8s knob to pedal (%d changes, %d messages): mean %s ms, 95th percentile %s ms, worst %s ms\n' \
    "$driver" "$n" "$got" "$mean" "$p95" "$worst"
  printf '%-8s status request to its whole reply in the editor (50 times): median %s µs, 95th percentile %s µs\n' \
    "$driver" "$rtt" "$rtt95"
  printf '%-8s vadrelon status: %d ms (mean of 20); upgrade with verify: %d ms (mean of %d)\n' \
    "$driver" "${status[$driver]}" $(( upgrade[$driver] / runs )) "$runs"
done
read -r _ _ tmean tp95 _ trtt _ <<<"${knob[termios]}"
read -r _ _ qmean qp95 _ qrtt _ <<<"${knob[qt]}"
awk -v tm="$tmean" -v qm="$qmean" -v tp="$tp95" -v qp="$qp95" -v tr="$trtt" -v qr="$qrtt" \
    -v ts="${status[termios]}" -v qs="${status[qt]}" -v tu="${upgrade[termios]}" -v qu="${upgrade[qt]}" 'BEGIN {
  printf "Qt / termios: knob mean %.2f, knob 95th percentile %.2f, status round trip %.2f, vadrelon status %.2f, upgrade %.2f\n",
         qm / tm, qp / tp, qr / tr, qs / ts, qu / tu }'
