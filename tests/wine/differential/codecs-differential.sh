#!/usr/bin/env bash
# The playback registrations differential: `korvane codecs --json` read offline from the
# Wine prefix (the native build, --view of the prefix's bits) against the same command run
# live by korvane-cli.exe inside it, and both against what DirectShow itself enumerates
# there (directshow-probe.exe: the legacy filter category, EnumMatchingFilters, DMOEnum).
# The repository's test DirectShow filters are registered first with regsvr32, so that a
# filter of a known FourCC and merit is among them.
# Called by run-differentials.sh with the prefix it made (WINEPREFIX, WINE and WINE_BITS
# set).
#
# Usage: codecs-differential.sh NATIVE_BUILD WINDOWS_BUILD WORK_DIR
set -uo pipefail
native=$1 windows=$2 work=$3
WINE=${WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
WINE_BITS=${WINE_BITS:-64}
here=$(cd "$(dirname "$0")" && pwd)
out=$work/codecs
mkdir -p "$out"

printf -- '-- codecs: korvane-cli.exe codecs (live), korvane codecs --machine and DirectShow\n'
status=0
# The test filters in the prefix's own system folder, registered as their installer would.
sys32=$WINEPREFIX/drive_c/windows/system32
for kind in none crash hang; do
  cp "$windows/kvds$kind.dll" "$sys32/" &&
    "$WINE" regsvr32 /s "C:\\windows\\system32\\kvds$kind.dll" >>"$out/regsvr32.log" 2>&1 ||
    { echo "FAIL: setup: regsvr32 kvds$kind.dll"; status=1; }
done
wineserver -w

# The live program under the name the offline reader follows Wine's settings for.
mkdir -p "$work/codecs-bin"
cp "$windows/korvane-cli.exe" "$work/codecs-bin/korvane.exe"
# A crash would wait for a debugger: the timeout ends it as a failure.
timeout -k 10 120 "$WINE" "$windows/directshow-probe.exe" 'C:\windows\temp\directshow.txt' \
  >"$out/probe.err" 2>&1 || { echo "FAIL: directshow-probe.exe did not run"; status=1; }
cp "$WINEPREFIX/drive_c/windows/temp/directshow.txt" "$out/probe.txt" 2>/dev/null
timeout -k 10 120 "$WINE" "$work/codecs-bin/korvane.exe" codecs --json 2>"$out/live.err" |
  tr -d '\r' >"$out/live.json"
wineserver -w
"$native/korvane" codecs --machine "$WINEPREFIX" --view "$WINE_BITS" --json \
  >"$out/offline.json" 2>"$out/offline.err"
for side in probe.txt live.json offline.json; do
  if [ ! -s "$out/$side" ]; then
    echo "FAIL: $side is empty"; cat "$out/probe.err" "$out/live.err" "$out/offline.err"
    exit 1
  fi
done

python3 "$here/compare-codecs.py" "$out/probe.txt" "$out/live.json" "$out/offline.json" ||
  status=1
exit $status
