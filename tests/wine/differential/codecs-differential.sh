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

# korvane check on a file in each test filter's FourCC: offline, the test filter is the
# DirectShow decoder its stream would get, above the AVI Decompressor.
"$here/../try/make-try-avis.sh" "$out/avis" >"$out/avis.log" 2>&1 ||
  { echo "FAIL: setup: make-try-avis.sh"; cat "$out/avis.log"; exit 1; }
for tag in KVDN KVDC KVDH; do
  "$native/korvane" check --machine "$WINEPREFIX" --view "$WINE_BITS" --json \
    "$out/avis/v-$tag.avi" >"$out/check-$tag.json" 2>"$out/check-$tag.err"
  python3 - "$out/check-$tag.json" "$tag" <<'PY' || status=1
import json, sys
path, tag = sys.argv[1], sys.argv[2]
clsid = "{%08X-4B56-4453-8000-6B7664" % int.from_bytes(tag.encode(), "little")
stream = json.load(open(path, encoding="utf-8"))["files"][0]["streams"][0]
decoders = stream.get("directshow", {}).get("decoders", [])
if not decoders or not decoders[0]["clsid"].startswith(clsid):
    print("  FAIL: check picks %r for %s, not the test filter"
          % ([d["name"] for d in decoders[:2]], tag))
    sys.exit(1)
print("  check: %s decoded in DirectShow by %s at merit %#x"
      % (tag, decoders[0]["name"], decoders[0]["merit"]))
PY
done
exit $status
