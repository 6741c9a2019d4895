#!/usr/bin/env bash
# Builds the unit and window tests with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ and runs them: a memory error, a leak of our own or undefined behaviour fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
# Warnings are not errors here: the normal build holds them to that, and with the sanitizers'
# instrumentation GCC 12 warns of array bounds on paths that cannot run (a read of a vector
# table that is guarded by a size check).
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" > /dev/null
cmake --build build-asan --target unit_tests window_tests -j"$(nproc)"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
build-asan/bin/unit_tests --gtest_brief=1
build-asan/bin/window_tests --gtest_brief=1
