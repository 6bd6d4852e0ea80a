#!/usr/bin/env bash
# Builds every configuration and runs every test: the native and sanitizer suites,
# the two Windows cross builds with the i686 import check, the Wine end-to-end tests of
# both builds (the i686 one under the 32-bit Wine of scripts/setup-wine32.sh), the
# differentials, the packages and the decoder tries under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

jobs=$(nproc)
step() { printf '\n==== %s  [%s]\n' "$*" "$(date -u +%H:%M:%S)"; }

step "C++ sources are clang-formatted"
scripts/check-format.sh

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
  # Both builds also make the Windows probes of the differentials below.
  cmake --preset "$preset" -DKORVANE_DIFFERENTIALS=ON >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  case $preset in
    win32)
      step "i686 korvane.exe imports (old 32-bit Windows)"
      scripts/check-imports.sh build/win32/korvane.exe res/korvane-i686.imports
      step "i686 korvane.exe under 32-bit Wine (qemu-i386): end-to-end tests"
      scripts/setup-wine32.sh
      tests/wine/run-e2e.sh build/win32
      step "the win32 zip"
      scripts/check-packages.sh zip build/win32
      ;;
    win64)
      step "korvane.exe under Wine: end-to-end tests"
      tests/wine/run-e2e.sh build/win64
      step "the win64 zip, and its korvane.exe opening the packaged help under Wine"
      scripts/check-packages.sh zip build/win64
      tests/wine/run-package-help.sh build/win64
      ;;
  esac
done

# After both cross builds: the .deb carries their korvane-cli.exe, and its check tries a
# prefix of each view with them (the 32-bit one under the Wine setup-wine32.sh made above).
step "the Debian package: lintian, unpacked, run on the example machine and trying Wine prefixes"
scripts/check-packages.sh deb build/native build/win32 build/win64

step "resource pictures match their generator"
scripts/check-artwork.sh

step "differentials against the Windows API under wine64"
tests/wine/differential/run-differentials.sh build/native build/win64

step "differentials against the 32-bit Windows API (i686 build, 32-bit Wine under qemu-i386)"
tests/wine/differential/run-differentials.sh build/native build/win32

step "korvane check --try against Wine's own decoders and the test decoders"
tests/wine/try/run-try.sh build/native build/win64 build/win32

step "fuzz smoke runs"
scripts/fuzz-smoke.sh "${KORVANE_FUZZ_SECONDS:-60}"
step "done"
