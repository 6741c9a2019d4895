#!/usr/bin/env bash
# Builds the editor and starts it beside a virtual pedal (vadrelon-pedal-sim on a
# pseudo-terminal). Choose Connection → Link in the editor to talk to the pedal.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "There is no display to show the editor on. On a machine without one, run:" >&2
  echo "  xvfb-run -a scripts/run-editor.sh" >&2
  exit 1
fi
scripts/install-deps.sh
scripts/build.sh

log=$(mktemp -t vadrelon-pedal-XXXX.log)
coproc PEDAL { exec build/bin/vadrelon-pedal-sim --log "$log"; }
pedal_pid=$PEDAL_PID
trap 'kill "$pedal_pid" 2>/dev/null || true; wait "$pedal_pid" 2>/dev/null || true' EXIT
trap 'exit 130' INT TERM
read -r -t 10 port <&"${PEDAL[0]}" || { echo "The virtual pedal did not start." >&2; exit 1; }
echo "Virtual pedal on $port; the messages it receives are logged in $log"
build/bin/vadrelon-editor
