#!/usr/bin/env bash
# Formats every C++ file of the project with the checked-in .clang-format; with --check it
# changes nothing and fails when a file is not formatted.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
  clang-format --dry-run --Werror "${files[@]}"
  echo "formatting: ${#files[@]} files as .clang-format wants them"
else
  clang-format -i "${files[@]}"
fi
