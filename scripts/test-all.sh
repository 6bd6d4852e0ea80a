#!/usr/bin/env bash
# Builds every configuration and runs every test: the native and sanitizer suites,
# the two Windows cross builds with the i686 import check and the Wine end-to-end tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

jobs=$(nproc)
step() { printf '\n==== %s\n' "$*"; }

step "native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

step "the same machines as described machines, installations and disk images"
tests/disks/differential.sh build/native

step "sanitizer build and tests"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"
step "the machine-kinds differential under the sanitizers"
LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan-suppressions.txt:print_suppressions=0" \
  tests/disks/differential.sh build/asan

for preset in win32 win64; do
  step "$preset cross build"
  # win64 also builds the Windows probes of the differentials below.
  cmake --preset "$preset" -DKORVANE_DIFFERENTIALS="$([ "$preset" = win64 ] && echo ON || echo OFF)" \
    >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  case $preset in
    win32)
      step "i686 korvane.exe imports (old 32-bit Windows)"
      scripts/check-imports.sh build/win32/korvane.exe res/korvane-i686.imports
      ;;
    win64)
      step "korvane.exe under Wine: end-to-end tests"
      tests/wine/run-e2e.sh build/win64
      ;;
  esac
done

step "resource pictures match their generator"
scripts/check-artwork.sh

step "differentials against the Windows API under wine64"
tests/wine/differential/run-differentials.sh build/native build/win64

step "fuzz smoke runs"
scripts/fuzz-smoke.sh "${KORVANE_FUZZ_SECONDS:-60}"
