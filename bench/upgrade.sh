#!/usr/bin/env bash
# A firmware upgrade with verify against the virtual pedal at its real line rate (115200 baud,
# 11 bits a byte at even parity): the editor's own `vadrelon upgrade`, stm32flash's write and
# verify on the same kind of port, and the time the bytes of the editor's exchange need on the
# wire. Run after scripts/build.sh. Goal: no slower than stm32flash, and within 1.15 times the
# wire's limit.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-52376}
work=$(mktemp -d); trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export HOME="$work" VADRELON_VIRTUAL_PEDALS_DIR="$work/announce"

# A synthetic image: a vector table (stack 0x20005000, reset 0x08000131), then filler.
image="$work/FIRMWARE_11.bin"
{ printf '\x00\x50\x00\x20\x31\x01\x00\x08'; head -c $((size - 8)) /dev/urandom; } > "$image"

start_pedal() {
  coproc PEDAL { exec build/bin/vadrelon-pedal-sim --bootloader --line-rate --announce-dir "$work/announce"; }
  read -r -t 10 port <&"${PEDAL[0]}"
}
ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }

start_pedal
t=$(date +%s%N)
build/bin/vadrelon --yes upgrade "$image" >/dev/null
editor=$(ms "$t")
kill "$PEDAL_PID"; wait "$PEDAL_PID" 2>/dev/null || true

start_pedal
t=$(date +%s%N)
stm32flash -m 8n1 -b 115200 -w "$image" -v "$port" >/dev/null
tool=$(ms "$t")
kill "$PEDAL_PID"; wait "$PEDAL_PID" 2>/dev/null || true

# The bytes of the editor's exchange, both ways: erase; per block the write (command, address,
# N, data, checksum and three answers) and the read back (command, address, count, three
# answers and the data); then the version record and Go.
blocks=$(( (size + 255) / 256 ))
bytes=$(( 1 + 1 + 2 + 1 + 2 + 1 ))                       # greeting, erase command, global erase
bytes=$(( bytes + blocks * (2 + 1 + 5 + 1 + 2 + 1) + size ))  # write
bytes=$(( bytes + blocks * (2 + 1 + 5 + 1 + 2 + 1) + size ))  # read back
bytes=$(( bytes + (2 + 1 + 5 + 1 + 10 + 1) + (2 + 1 + 5 + 1) ))
wire=$(( bytes * 11 * 1000 / 115200 ))

echo "image: $size bytes, $blocks blocks"
echo "vadrelon upgrade (write and verify): $editor ms"
echo "stm32flash -w -v:                    $tool ms"
echo "wire limit of the editor's bytes:    $wire ms ($bytes bytes at 11 bits, 115200 baud)"
awk -v e="$editor" -v w="$wire" 'BEGIN { printf "editor / wire limit: %.2f\n", e / w }'
