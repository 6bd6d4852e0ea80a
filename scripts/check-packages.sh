#!/usr/bin/env bash
# Builds the packages of one build folder and checks them as a user would meet them.
#   check-packages.sh deb build/native   korvane_<version>_amd64.deb: lintian without an
#       error or a warning, unpacked into a scratch root, its korvane run from there on
#       examples/win98se and with its disk-image module, its GStreamer module in place,
#       its manual page rendered without a warning
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
trap 'rm -rf "$scratch"' EXIT

# shellcheck source=tests/lib.sh
. "$root/tests/lib.sh"

cmake --build "$build" --target package >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; echo "check-packages: building the package failed"; exit 1; }

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

[ "$failures" = 0 ] || { echo "check-packages: $failures failed"; exit 1; }
