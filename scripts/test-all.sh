#!/usr/bin/env bash
# Builds every configuration and runs every test: the native and sanitizer suites,
# and the two Windows cross builds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

jobs=$(nproc)
step() { printf '\n==== %s\n' "$*"; }

step "native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

step "sanitizer build and tests"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

for preset in win32 win64; do
  step "$preset cross build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

step "differentials against the Windows API under wine64"
tests/wine/differential/run-differentials.sh build/native build/win64

step "fuzz smoke runs"
scripts/fuzz-smoke.sh "${KORVANE_FUZZ_SECONDS:-60}"
