#!/usr/bin/env bash
# The win64 zip as a user meets it: unpacked into a scratch Wine prefix (made for the run
# and removed afterwards), korvane-cli.exe --version, and korvane.exe started from the
# unpacked folder, whose Help button must open the packaged Korvane.hlp in the help
# engine. The test driver comes from the build, not from the package.
#
# Usage: tests/wine/run-package-help.sh [BUILD_DIR]   (default build/win64; run
#        `cmake --build --preset win64 --target package` first)
# A screenshot of the help window goes to build/screenshots/package-help.png.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
zip=$build/korvane-$version-win64.zip
[ -f "$zip" ] || { echo "run-package-help: $zip is missing (build the package target)"; exit 1; }
[ -f "$build/korvane-wine-driver.exe" ] || { echo "run-package-help: no test driver in $build"; exit 1; }
mkdir -p "$root/build/screenshots"

WINE=${WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
# shellcheck source-path=SCRIPTDIR/../.. source=tests/wine/wine-env.sh
. "$root/tests/wine/wine-env.sh"
scratch_prefix package
start_xvfb 141 190 || { echo "run-package-help: cannot start Xvfb"; exit 1; }

note "$(basename "$zip") in a scratch Wine prefix"
"$WINE" wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
c=$WINEPREFIX/drive_c
cp /usr/share/wine/fonts/*.ttf "$c/windows/Fonts/" 2>/dev/null
unzip -q "$zip" -d "$c" || { echo "run-package-help: cannot unzip $zip"; exit 1; }
folder=korvane-$version-win64
mkdir -p "$c/driver" && cp "$build/korvane-wine-driver.exe" "$c/driver/"
driver_at 'C:\driver\korvane-wine-driver.exe'

copies=$(find "$c" -iname korvane.hlp | wc -l)
[ "$copies" = 1 ] && pass "the prefix holds one Korvane.hlp, the packaged one" ||
  fail "the prefix holds one Korvane.hlp ($copies)"
shown=$(cd "$c/$folder" && "$WINE" "C:\\$folder\\korvane-cli.exe" --version | tr -d '\r')
[ "$shown" = "korvane $version" ] && pass "korvane-cli.exe --version shows $version" ||
  fail "korvane-cli.exe --version shows $version: [$shown]"

help_title=$(tr -d '\r' <"$c/$folder/Korvane.cnt" | sed -n 's/^:Title //p')
cd "$c/$folder" || exit 1
"$WINE" "C:\\$folder\\korvane.exe" >"$work/program.log" 2>&1 &
program_pid=$!
if drv wait-window 60; then
  drv post-click 9
  if drv help-wait "$help_title" 60 >/dev/null; then
    pass "Help opens the packaged help file on \"$help_title\""
    [ "$(drv help-text "$help_title" | head -n1)" = "$help_title" ] &&
      pass "the help engine shows the contents page" || fail "the help engine shows the contents page"
    import -window root -crop "$(drv help-rect "$help_title")" +repage \
      "$root/build/screenshots/package-help.png" 2>/dev/null
    drv help-close "$help_title" || fail "the help window closes"
  else
    fail "Help opens the packaged help file on \"$help_title\""
  fi
  drv close esc
  for _ in $(seq 300); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
  wait "$program_pid" && pass "korvane.exe ends with exit code 0" || fail "korvane.exe ends with exit code 0"
  program_pid=
else
  fail "the packaged korvane.exe shows its main window"
fi
cd "$root" || exit 1

end_checks run-package-help
