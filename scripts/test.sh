#!/usr/bin/env bash
# Installs what is needed, builds with warnings as errors, and runs every test: the tables,
# the windows offscreen against the in-process virtual pedal, and the built programs over a
# pseudo-terminal (the latter under a virtual X display), those that go through the serial
# driver once on each driver (termios, and Qt Serial Port as the tests named qt:...).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
WERROR=1 scripts/build.sh
cd build
# Each run gets its own folders so that no user settings or announced pedals leak in.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
xvfb-run -a -s '-screen 0 1280x1024x24 -noreset' ctest --output-on-failure --timeout 300 -j"$(nproc)"
