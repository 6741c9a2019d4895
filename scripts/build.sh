#!/usr/bin/env bash
# Configures and builds everything into build/ (programs in build/bin/).
set -euo pipefail
cd "$(dirname "$0")/.."
# WERROR=1 (as the tests and CI build) turns every warning into an error; it stays so in
# build/ until WERROR=0 is given, so that switching between the two commands rebuilds nothing.
options=()
[ -n "${WERROR:-}" ] && options+=("-DCMAKE_COMPILE_WARNING_AS_ERROR=$([ "$WERROR" = 1 ] && echo ON || echo OFF)")
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "${options[@]}" > /dev/null
cmake --build build -j"$(nproc)"
