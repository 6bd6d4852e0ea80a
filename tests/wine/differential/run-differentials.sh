#!/usr/bin/env bash
# The differentials against the real Windows API under Wine, in one scratch Wine prefix
# made for this run: the formatter (korvane::FormatArgs against wvsprintfA), the whole
# report (`korvane-cli.exe run` on the live API against the native `korvane run --machine`
# reading the same prefix from disk) and the playback registrations (`korvane codecs` live,
# offline and against what DirectShow enumerates). The x86_64 build runs under wine64 in a
# 64-bit prefix, the i686 build under the 32-bit Wine of scripts/setup-wine32.sh in a 32-bit
# one.
#
# Usage: tests/wine/differential/run-differentials.sh [NATIVE_BUILD] [WINDOWS_BUILD]
#        (defaults build/native and build/win64; both must be built)
# Exit status 0 when every comparison agrees or differs only where its test lists why.
set -uo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
native=$(cd "${1:-$root/build/native}" && pwd)
windows=$(cd "${2:-$root/build/win64}" && pwd)
here=$root/tests/wine/differential
for built in "$native/format-differential" "$windows/wsprintf-probe.exe" "$windows/korvane-probe.dll" \
    "$windows/directshow-probe.exe" "$windows/kvdsnone.dll"; do
  if [ ! -f "$built" ]; then
    echo "run-differentials.sh: $built is missing: configure that build with" \
      "-DKORVANE_DIFFERENTIALS=ON and build it" >&2
    exit 1
  fi
done

# shellcheck source-path=SCRIPTDIR/../../.. source=tests/wine/wine-env.sh
. "$root/tests/wine/wine-env.sh"
wine_for_build "$windows" || exit 1
export WINE WINE_BITS
scratch_prefix differential KORVANE_KEEP_DIFFERENTIAL

status=0
note "making a scratch $WINE_BITS-bit Wine prefix"
if ! make_prefix >"$work/wineboot.log" 2>&1; then
  cat "$work/wineboot.log"; exit 1
fi

note "formatter: korvane::FormatArgs against the $WINE_BITS-bit wvsprintfA"
"$native/format-differential" generate "$work/format-cases.txt" || exit 1
if "$WINE" "$windows/wsprintf-probe.exe" "$(winpath "$work/format-cases.txt")" \
    "$(winpath "$work/format-results.txt")"; then
  "$native/format-differential" compare "$work/format-cases.txt" "$work/format-results.txt" \
    >"$work/format-compare.txt"
  result=$?
  grep -A2 '^FAIL ' "$work/format-compare.txt" | cut -c1-300 | head -60
  sed -n '/^[0-9]* cases:/,$p' "$work/format-compare.txt"
  [ $result -eq 0 ] || status=1
else
  echo "FAIL: wsprintf-probe.exe did not run"; status=1
fi

"$here/prefix-differential.sh" "$native" "$windows" "$work" || status=1
# Last, so that the test filters it registers stay out of the reports compared above.
"$here/codecs-differential.sh" "$native" "$windows" "$work" || status=1

[ $status -eq 0 ] && echo "differentials: passed" || echo "differentials: FAILED"
exit $status
