#!/usr/bin/env bash
# Builds the packages of one build folder and checks them as a user would meet them.
#   check-packages.sh deb build/native [WIN32_BUILD WIN64_BUILD]   korvane_<version>_amd64.deb,
#       with the korvane-cli.exe of the two Windows builds (default build/win32 and
#       build/win64, which must be built first): lintian without an error or a warning,
#       unpacked into a scratch root, its korvane run from there on examples/win98se and
#       with its disk-image module, its GStreamer module in place, its Windows CLIs trying
#       a Cinepak file in a scratch 64-bit Wine prefix and, with the 32-bit Wine of
#       scripts/setup-wine32.sh ($KORVANE_WINE32, else build/wine32), in a 32-bit one, its
#       manual page rendered without a warning
#   check-packages.sh zip build/win64    korvane-<version>-win64.zip (win32 the same): the
#       files it holds, README.txt and LICENSE.txt with CR LF, the help file the build made
# The zip under Wine (korvane.exe and its Help button) is tests/wine/run-package-help.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:?usage: check-packages.sh deb|zip BUILD_DIR}
build=$(cd "${2:?usage: check-packages.sh deb|zip BUILD_DIR}" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "check-packages: no project version in $build/CMakeCache.txt"; exit 1; }
scratch=$(mktemp -d /tmp/korvane-packages.XXXXXX)
cleanup() {
  local prefix
  for prefix in "$scratch"/prefix*; do
    if [ -d "$prefix" ]; then WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; fi
  done
  rm -rf "$scratch"
}
trap cleanup EXIT

# shellcheck source-path=SCRIPTDIR/.. source=tests/wine/wine-env.sh
. "$root/tests/wine/wine-env.sh"
# shellcheck source-path=SCRIPTDIR/.. source=scripts/ffmpeg-avi.sh
. "$root/scripts/ffmpeg-avi.sh"

if [ "$kind" = deb ]; then
  # The .deb carries the Windows CLIs of these builds; naming others reconfigures the
  # native build's install rules only, so nothing is compiled again.
  win32=$(cd "${3:-$root/build/win32}" && pwd) || exit 1
  win64=$(cd "${4:-$root/build/win64}" && pwd) || exit 1
  cached() { sed -n "s/^$1:PATH=//p" "$build/CMakeCache.txt"; }
  if [ "$(cached KORVANE_WIN32_BUILD_DIR)" != "$win32" ] ||
     [ "$(cached KORVANE_WIN64_BUILD_DIR)" != "$win64" ]; then
    cmake -DKORVANE_WIN32_BUILD_DIR="$win32" -DKORVANE_WIN64_BUILD_DIR="$win64" "$build" \
      >"$scratch/configure.log" 2>&1 ||
      { cat "$scratch/configure.log"; echo "check-packages: naming the Windows builds failed"; exit 1; }
  fi
fi

cmake --build "$build" --target package >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; echo "check-packages: building the package failed"; exit 1; }

# tried_line LABEL LOG COMMAND...: passes when COMMAND (a korvane check --try of the
# Cinepak file) prints the try line of a decoded Cinepak file; shows all it said if not.
tried_line() {
  local label=$1 log=$2 line
  shift 2
  env -u KORVANE_CLI_WIN64 -u KORVANE_CLI_WIN32 "$@" >"$log" 2>&1 || true
  line=$(grep '^    try: ' "$log" || true)
  if [ "$line" = "    try: decodes: 10 frames, 64x48, 24-bit" ]; then
    pass "$label"
  else
    fail "$label:"; sed 's/^/       /' "$log"
  fi
}

# try_from_package: the unpacked Windows CLIs are the builds' own, and the unpacked
# korvane finds and runs them with no variable naming them: a Cinepak file, which Wine's
# own iccvid.dll decodes, tried in a scratch prefix of each view.
try_from_package() {
  local share=$scratch/root/usr/share/korvane machine build cli field
  for machine in i686 x86_64; do
    cli=$share/korvane-cli-$machine.exe
    case $machine in i686) build=$win32 field=014c ;; *) build=$win64 field=8664 ;; esac
    check "/usr/share/korvane/korvane-cli-$machine.exe is $build/korvane-cli.exe" \
      cmp -s "$cli" "$build/korvane-cli.exe"
    check "korvane-cli-$machine.exe is a PE file for $machine, installed as data (mode 644)" \
      test "$(pe_machine "$cli"):$(stat -c %a "$cli")" = "$field:644"
  done
  avi_video "$scratch/cinepak.avi" 64x48 10 12 cinepak
  WINE=$(command -v wine64 || echo /usr/lib/wine/wine64) WINE_BITS=64 \
    WINEPREFIX=$scratch/prefix64 make_prefix >"$scratch/wineboot64.log" 2>&1 ||
    { fail "a scratch 64-bit Wine prefix"; sed 's/^/       /' "$scratch/wineboot64.log"; return; }
  tried_line "the unpacked korvane tries the 64-bit view with the packaged x86_64 CLI" \
    "$scratch/try64.txt" "$bin" check --try --view 64 --machine "$scratch/prefix64" \
    "$scratch/cinepak.avi"
  local wine32=${KORVANE_WINE32:-$root/build/wine32/bin/wine}
  if [ ! -x "$wine32" ]; then
    skip "the 32-bit view: no 32-bit Wine (scripts/setup-wine32.sh makes one, or set KORVANE_WINE32)"
    return
  fi
  WINE=$wine32 WINE_BITS=32 WINEPREFIX=$scratch/prefix32 make_prefix >"$scratch/wineboot32.log" 2>&1 ||
    { fail "a scratch 32-bit Wine prefix"; sed 's/^/       /' "$scratch/wineboot32.log"; return; }
  # Under the emulated 32-bit Wine a child takes seconds to start, hence the longer limit.
  tried_line "the unpacked korvane tries the 32-bit view with the packaged i686 CLI" \
    "$scratch/try32.txt" env KORVANE_WINE32="$wine32" "$bin" check --try --try-timeout 15 \
    --view 32 --machine "$scratch/prefix32" "$scratch/cinepak.avi"
}

crlf_only() { [ -s "$1" ] && ! tr -d '\r' <"$1" | cmp -s - "$1" && [ "$(grep -c $'[^\r]$\|^$' "$1")" = 0 ]; }

case $kind in
  deb)
    deb=$build/korvane_${version}_amd64.deb
    [ -f "$deb" ] || { echo "check-packages: $deb was not built"; exit 1; }
    printf -- '-- %s\n' "$(basename "$deb")"
    # lintian's own verdict; an override needs a written reason in the package.
    if lintian --fail-on error,warning "$deb" >"$scratch/lintian.txt" 2>&1; then
      pass "lintian finds no error and no warning"
    else
      fail "lintian finds no error and no warning:"; sed 's/^/       /' "$scratch/lintian.txt"
    fi
    depends=$(dpkg-deb -f "$deb" Depends)
    check "Depends names the C and C++ runtimes ($depends)" \
      grep -q 'libc6 (>=.*libstdc++6 (>=' <<<"$depends"
    dpkg-deb -x "$deb" "$scratch/root"
    bin=$scratch/root/usr/bin/korvane
    check "korvane --version shows $version" test "$("$bin" --version)" = "korvane $version"
    "$build/korvane" run --machine "$root/examples/win98se" >"$scratch/expected.txt"
    if "$bin" run --machine "$root/examples/win98se" >"$scratch/actual.txt"; then
      check "the unpacked korvane runs on examples/win98se as the build does" \
        cmp -s "$scratch/expected.txt" "$scratch/actual.txt"
    else
      fail "the unpacked korvane runs on examples/win98se (exit status $?)"
    fi
    check "the report opens with the version line" \
      grep -q '^GetVersionEx() reports: ver. 4.10' "$scratch/actual.txt"
    # The disk-image reader is a module korvane loads from the package's library folder:
    # only the reader itself refuses a file too small to be an image for that.
    head -c 12 /dev/zero >"$scratch/small.img"
    check "the unpacked korvane loads its disk-image module" \
      bash -c "'$bin' run --machine '$scratch/small.img' 2>&1 | grep -q 'not a disk image (12 bytes'"
    # The module that asks the host's GStreamer, beside the disk-image reader, with every
    # library it needs found on this machine.
    module_dir=$(dirname "$(find "$scratch/root/usr/lib" -name korvane-disk-images.so)")
    gst_module=$module_dir/korvane-gstreamer.so
    check "the GStreamer module is in korvane's library folder (${module_dir#"$scratch/root"})" \
      test -f "$gst_module"
    check "the GStreamer module's libraries are all found" \
      bash -c "ldd '$gst_module' | grep -q libgstriff && ! ldd '$gst_module' | grep -q 'not found'"
    check "Depends names GStreamer's libraries ($depends)" \
      grep -q 'libgstreamer1.0-0.*libgstreamer-plugins-base1.0-0\|libgstreamer-plugins-base1.0-0.*libgstreamer1.0-0' <<<"$depends"
    try_from_package
    man=$scratch/root/usr/share/man/man1/korvane.1.gz
    check "the manual page is installed" test -f "$man"
    check "the installed manual page renders without a warning and names $version" \
      bash -c "zcat '$man' | grep -q 'Korvane $version' && [ -z \"\$(zcat '$man' | groff -man -ww -z 2>&1)\" ]"
    for doc in copyright changelog.gz README.md; do
      check "/usr/share/doc/korvane/$doc" test -f "$scratch/root/usr/share/doc/korvane/$doc"
    done
    ;;
  zip)
    archiver=$(sed -n 's/^CMAKE_AR:[A-Z]*=//p' "$build/CMakeCache.txt")
    case $archiver in
      *i686-w64-mingw32*) suffix=win32 ;;
      *x86_64-w64-mingw32*) suffix=win64 ;;
      *) echo "check-packages: $build is not a Windows build ($archiver)"; exit 1 ;;
    esac
    zip=$build/korvane-$version-$suffix.zip
    [ -f "$zip" ] || { echo "check-packages: $zip was not built"; exit 1; }
    printf -- '-- %s\n' "$(basename "$zip")"
    top=korvane-$version-$suffix
    printf '%s\n' "$top/Korvane.cnt" "$top/Korvane.hlp" "$top/LICENSE.txt" "$top/README.txt" \
      "$top/korvane-cli.exe" "$top/korvane.exe" >"$scratch/expected-files.txt"
    unzip -Z1 "$zip" | grep -v '/$' | LC_ALL=C sort >"$scratch/files.txt"
    check "the zip holds exactly korvane.exe, korvane-cli.exe, the help file, README.txt, LICENSE.txt" \
      cmp -s "$scratch/expected-files.txt" "$scratch/files.txt"
    unzip -q "$zip" -d "$scratch"
    for text in README.txt LICENSE.txt; do
      check "$text ends every line with CR LF" crlf_only "$scratch/$top/$text"
    done
    check "README.txt is the README" cmp -s <(tr -d '\r' <"$scratch/$top/README.txt") "$root/README.md"
    check "Korvane.hlp is the one the build wrote" cmp -s "$scratch/$top/Korvane.hlp" "$build/Korvane.hlp"
    file_type=$(file -b "$scratch/$top/korvane.exe")
    case $suffix in
      win32) check "korvane.exe is for i686 ($file_type)" grep -q 'Intel 80386' <<<"$file_type" ;;
      win64) check "korvane.exe is for x86-64 ($file_type)" grep -q 'x86-64' <<<"$file_type" ;;
    esac
    ;;
  *) echo "usage: check-packages.sh deb|zip BUILD_DIR"; exit 2 ;;
esac

end_checks check-packages
