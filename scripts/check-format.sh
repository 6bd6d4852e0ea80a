#!/usr/bin/env bash
# Checks that every C++ source in the repository is laid out as .clang-format says, and
# that every shell script is free of shellcheck's warnings (and errors).
# Usage: scripts/check-format.sh [--fix]   (--fix rewrites the C++ files that differ;
#        what shellcheck finds is left to be mended by hand)
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files '*.cc' '*.h' '*.c')
mapfile -t scripts < <(git ls-files '*.sh')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${sources[@]}"
else
  clang-format --dry-run -Werror "${sources[@]}"
fi
# -x follows the files a script sources, as its "# shellcheck source=" line names them.
shellcheck -x -S warning "${scripts[@]}"
