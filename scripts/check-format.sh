#!/usr/bin/env bash
# Checks that every C++ source in the repository is laid out as .clang-format says.
# Usage: scripts/check-format.sh [--fix]   (--fix rewrites the files that differ)
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files '*.cc' '*.h' '*.c')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${sources[@]}"
else
  clang-format --dry-run -Werror "${sources[@]}"
fi
