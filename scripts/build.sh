#!/usr/bin/env bash
# Configures and builds everything into build/ (programs in build/bin/).
set -euo pipefail
cd "$(dirname "$0")/.."
# WERROR=1 (as the tests and CI build) turns every warning into an error.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" \
  -DCMAKE_COMPILE_WARNING_AS_ERROR="$([ "${WERROR:-0}" = 1 ] && echo ON || echo OFF)" > /dev/null
cmake --build build -j"$(nproc)"
