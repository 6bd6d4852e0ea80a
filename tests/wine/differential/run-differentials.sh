#!/usr/bin/env bash
# The differentials against the real Windows API under wine64, in one scratch Wine prefix
# made for this run: the formatter (korvane::FormatArgs against wvsprintfA) and the whole
# report (`korvane-cli.exe run` on the live API against the native `korvane run --machine`
# reading the same prefix from disk).
#
# Usage: tests/wine/differential/run-differentials.sh [NATIVE_BUILD] [WIN64_BUILD]
#        (defaults build/native and build/win64; both must be built)
# Exit status 0 when every comparison agrees or differs only where its test lists why.
set -uo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
native=$(cd "${1:-$root/build/native}" && pwd)
win64=$(cd "${2:-$root/build/win64}" && pwd)
here=$root/tests/wine/differential
for built in "$native/format-differential" "$win64/wsprintf-probe.exe" "$win64/korvane-probe.dll"; do
  if [ ! -f "$built" ]; then
    echo "run-differentials.sh: $built is missing: configure that build with" \
      "-DKORVANE_DIFFERENTIALS=ON and build it" >&2
    exit 1
  fi
done

WINE=${WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
work=$(mktemp -d /tmp/korvane-differential.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEARCH
cleanup() {
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null
  if [ "${KORVANE_KEEP_DIFFERENTIAL:-}" = 1 ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# A host path as Wine's Z: drive shows it.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

status=0
printf -- '-- making a scratch Wine prefix\n'
if ! "$WINE" wineboot -i >"$work/wineboot.log" 2>&1; then
  cat "$work/wineboot.log"; exit 1
fi
wineserver -w 2>/dev/null

printf -- '-- formatter: korvane::FormatArgs against wvsprintfA\n'
"$native/format-differential" generate "$work/format-cases.txt" || exit 1
if "$WINE" "$win64/wsprintf-probe.exe" "$(winpath "$work/format-cases.txt")" \
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

"$here/prefix-differential.sh" "$native" "$win64" "$work" || status=1

[ $status -eq 0 ] && echo "differentials: passed" || echo "differentials: FAILED"
exit $status
