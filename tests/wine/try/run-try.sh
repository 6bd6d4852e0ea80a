#!/usr/bin/env bash
# korvane check --try against Wine's own decoders, in one scratch 64-bit Wine prefix made
# for this run: ffmpeg-made files of each codec and the repository's two misbehaving test
# decoders (one crashes, one hangs), tried through the native `korvane check --try` and
# through `korvane-cli.exe check --try` under wine64; both must find what
# expected-tries.txt says, in text and JSON, with the crash and the hang told within the
# time limit while the other files of the same call are still tried. Each file's DirectShow
# try (its graph built and run by Wine's DirectShow, which decodes through the host's
# GStreamer) must say what expected-graphs.txt says, and agree with an independent probe
# that calls IGraphBuilder::RenderFile on the same files. Last, the test filters that crash
# and hang are registered as AVI splitters too, which Wine's graph builder does make: their
# DirectShow tries must be told as crashed and hung, with the file after them still tried.
#
# Usage: tests/wine/try/run-try.sh [NATIVE_BUILD] [WIN64_BUILD] [WIN32_BUILD]
#        (defaults build/native, build/win64, build/win32; the first two must be built)
# A 32-bit prefix is tried too when a 32-bit Wine is at hand ($KORVANE_WINE32, else
# build/wine32/bin/wine of scripts/setup-wine32.sh) and WIN32_BUILD is built.
set -uo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
here=$root/tests/wine/try
native=$(cd "${1:-$root/build/native}" && pwd)
win64=$(cd "${2:-$root/build/win64}" && pwd)
win32=${3:-$root/build/win32}

WINE=${WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
# shellcheck source-path=SCRIPTDIR/../../.. source=tests/wine/wine-env.sh
. "$root/tests/wine/wine-env.sh"
scratch_prefix try KORVANE_KEEP_TRY

for f in "$native/korvane" "$win64/korvane-cli.exe" "$win64/korvane-crash-decoder.dll" \
         "$win64/korvane-hang-decoder.dll" "$win64/korvane-render-probe.exe" \
         "$win64/kvdsnone.dll" "$win64/kvdscrash.dll" "$win64/kvdshang.dll"; do
  [ -f "$f" ] || { echo "run-try: $f is missing (build the native and win64 presets)"; exit 1; }
done

note "making a scratch Wine prefix and the sample files"
"$WINE" wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }
avis=$work/avis
"$here/make-try-avis.sh" "$avis" || { echo "run-try: making the samples failed"; exit 1; }

# The test decoders, registered for their FourCCs as an installer registers a codec.
sys64=$WINEPREFIX/drive_c/windows/system32
cp "$win64/korvane-crash-decoder.dll" "$win64/korvane-hang-decoder.dll" "$sys64/"
drivers32='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Drivers32'
"$WINE" reg add "$drivers32" /v vidc.KVCR /d korvane-crash-decoder.dll /f >/dev/null 2>&1
"$WINE" reg add "$drivers32" /v vidc.KVHG /d korvane-hang-decoder.dll /f >/dev/null 2>&1
# The test DirectShow filters, registered by their own DllRegisterServer as a codec pack's are.
for kind in none crash hang; do
  cp "$win64/kvds$kind.dll" "$sys64/"
  "$WINE" regsvr32 /s "C:\\windows\\system32\\kvds$kind.dll" >/dev/null 2>&1 ||
    fail "regsvr32 kvds$kind.dll"
done
wineserver -w 2>/dev/null

# The call: the crash and the hang first, so that the files after them show the check
# went on.
files=()
while IFS=$'\t' read -r file _; do
  case $file in ''|'#'*) continue ;; esac
  [ "${#files[@]}" -gt 0 ] && [ "${files[-1]}" = "$avis/$file" ] && continue
  files+=("$avis/$file")
done <"$here/expected-tries.txt"
grep -v '^#' "$here/expected-tries.txt" >"$work/expected.txt"
grep -v '^#' "$here/expected-graphs.txt" >"$work/expected-graphs.txt"

# tries_of_text < OUTPUT: FILE TAB STREAM TAB TRY for each try line of korvane check.
tries_of_text() {
  tr -d '\r' | awk -F'\n' '
    /^  stream [0-9]+:/ { split($0, w, /[ :]+/); stream = w[3]; next }
    /^    try: / { sub(/^    try: /, ""); print file "\t" stream "\t" $0; next }
    /^[^ ]/ && !/^machine: / { file = $0; sub(/.*[\\\/]/, "", file) }'
}
# graphs_of_text < OUTPUT: FILE TAB DIRECTSHOW TRY TAB GRAPH for each file's DirectShow try.
graphs_of_text() {
  tr -d '\r' | awk '
    function flush() { if (text != "") print file "\t" text "\t" graph; text = ""; graph = "" }
    /^  try \(DirectShow\): / { sub(/^  try \(DirectShow\): /, ""); text = $0; next }
    /^    graph: / { sub(/^    graph: /, ""); graph = $0; next }
    /^  verdict: / { flush(); next }
    /^[^ ]/ && !/^machine: / { flush(); file = $0; sub(/.*[\\\/]/, "", file) }
    END { flush() }'
}
# tries_of_json FILE: the same from the JSON document.
tries_of_json() {
  python3 - "$1" <<'PY'
import json, re, sys
for f in json.load(open(sys.argv[1], encoding="utf-8"))["files"]:
    name = re.split(r"[\\/]", f["file"])[-1]
    for s in f["streams"]:
        if "try" in s:
            print("%s\t%d\t%s" % (name, s["index"], s["try"]["text"]))
PY
}
# graphs_of_json FILE: graphs_of_text's lines from the JSON document, its arrows as the
# text's.
graphs_of_json() {
  python3 - "$1" <<'PY'
import json, re, sys
for f in json.load(open(sys.argv[1], encoding="utf-8"))["files"]:
    name = re.split(r"[\\/]", f["file"])[-1]
    t = f.get("paths", {}).get("directshow", {}).get("try")
    if t:
        print("%s\t%s\t%s" % (name, t["text"], t["chain"].replace(" \u2192 ", " -> ")))
PY
}

note "korvane check --try --view 64 on the prefix, from Linux"
start=$(date +%s.%N)
"$native/korvane" check --try --try-timeout 2 --view 64 --machine "$WINEPREFIX" "${files[@]}" \
  >"$work/native.txt" 2>"$work/native.err"
status=$?
took=$(echo "$(date +%s.%N) - $start" | bc)
[ $status -eq 1 ] && pass "exit status 1: some files do not play" || fail "exit status $status"
tries_of_text <"$work/native.txt" >"$work/native-tries.txt"
same "each stream's try line" "$work/expected.txt" "$work/native-tries.txt"
graphs_of_text <"$work/native.txt" >"$work/native-graphs.txt"
same "each file's DirectShow try and graph" "$work/expected-graphs.txt" "$work/native-graphs.txt"
printf '     (%s files, %.1f s in all)\n' "${#files[@]}" "$took"

verdict() {  # verdict OUTPUT FILE: that file's verdict line
  awk -v f="$2" '$0 ~ "[\\\\/]" f "$" { on = 1 } on && /^  verdict: / { sub(/^  verdict: /, ""); print; exit }' "$1"
}
check_verdicts() {  # check_verdicts LABEL OUTPUT
  local v
  v=$(verdict "$2" v-cinepak.avi)
  [ "$v" = "playable here in Video for Windows programs and DirectShow players (GStreamer splitter filter)" ] &&
    pass "$1: Cinepak is playable here on both paths" || fail "$1: Cinepak: [$v]"
  v=$(verdict "$2" v-crash.avi)
  case $v in "repair or replace the decoder for unknown codec (KVCR), C:\\windows\\system32\\korvane-crash-decoder.dll: its try crashed (exception 0xC0000005"*)
    pass "$1: the crash decides the verdict" ;; *) fail "$1: crash verdict [$v]" ;; esac
  v=$(verdict "$2" v-hang.avi)
  case $v in "repair or replace the decoder for unknown codec (KVHG)"*"its try hung (no answer within 2 s"*)
    pass "$1: the hang decides the verdict" ;; *) fail "$1: hang verdict [$v]" ;; esac
  v=$(verdict "$2" v-mjpeg.avi)
  [ "$v" = "plays in DirectShow players (GStreamer splitter filter); Video for Windows programs need vidc.MJPG" ] &&
    pass "$1: DirectShow plays MJPEG, and VfW's missing decoder keeps its advice" ||
    fail "$1: MJPEG verdict [$v]"
  v=$(verdict "$2" v-h264.avi)
  # The host's GStreamer has an H.264 decoder, but Wine's graph does not take the stream:
  # the try overrules the registrations.
  case $v in "install a Video for Windows decoder for H.264 (H264): vidc.H264; DirectShow players (GStreamer splitter filter) need a graph that works: their try does not decode: VFW_E_CANNOT_RENDER while connecting"*)
    pass "$1: H.264 plays on neither path, and both are named" ;; *) fail "$1: H.264 verdict [$v]" ;; esac
}
check_verdicts "from Linux" "$work/native.txt"

# The DirectShow tries of v-KVDH.avi, v-KVDC.avi and v-cinepak.avi, called in that order
# with the test splitters registered: the hang and the crash are told, and the file after
# them is still tried.
misbehaving=(v-KVDH.avi v-KVDC.avi v-cinepak.avi)
rendering="while connecting the file's streams to renderers (IFilterGraph2::RenderEx)"
# A graph is given 10 s more than the limit, for DirectShow and what its filters load.
check_misbehaving_graphs() {  # LABEL OUTPUT LIMIT CRASH_CODE CINEPAK_TRY CINEPAK_GRAPH
  printf '%s\t%s\t\n' v-KVDH.avi "hangs: no answer within $(($3 + 10)) s $rendering; the try was stopped" \
    v-KVDC.avi "crashed: exception $4 in kvdscrash.dll $rendering" >"$work/misbehaving.txt"
  printf '%s\t%s\t%s\n' v-cinepak.avi "$5" "$6" >>"$work/misbehaving.txt"
  graphs_of_text <"$2" >"$work/misbehaving-got.txt"
  same "$1: the hang and the crash told, and the file after them tried" \
    "$work/misbehaving.txt" "$work/misbehaving-got.txt"
}

"$native/korvane" check --json --try --try-timeout 2 --view 64 --machine "$WINEPREFIX" \
  "${files[@]}" >"$work/native.json" 2>/dev/null
tries_of_json "$work/native.json" >"$work/json-tries.txt"
same "the JSON try objects say the same" "$work/expected.txt" "$work/json-tries.txt"
graphs_of_json "$work/native.json" >"$work/json-graphs.txt"
same "the JSON DirectShow try objects say the same" "$work/expected-graphs.txt" \
  "$work/json-graphs.txt"
python3 - "$work/native.json" <<'PY' && pass "JSON: outcome and decodes agree with each text" || fail "JSON outcomes"
import json, sys
words = {"decodes": "decodes", "does not decode": "does not decode", "crashed": "crashed",
         "hangs": "hung", "not tried": "not tried"}
ok = True
for f in json.load(open(sys.argv[1], encoding="utf-8"))["files"]:
    for s in f["streams"]:
        t = s["try"]
        want = next(v for k, v in words.items() if t["text"].startswith(k))
        ok &= t["outcome"] == want and t["decodes"] == (want == "decodes")
        if want == "crashed":
            ok &= t["exceptionCode"].startswith("0xC") and t["module"] is not None
    g = f["paths"]["directshow"]["try"]
    want = next(v for k, v in words.items() if g["text"].startswith(k))
    ok &= g["outcome"] == want and (g["frames"] > 0) == (want == "decodes")
    ok &= g["filters"][:1] == ["File Source Filter"] and len(set(g["filters"])) == len(g["filters"])
sys.exit(0 if ok else 1)
PY

note "the DirectShow try against IGraphBuilder::RenderFile on the same files"
# RenderFile's Video Renderer needs a display. Files with sound are left out: Wine's audio
# renderer without a sound device leaves their sound unrendered, which says nothing about
# decoding.
if start_xvfb 140 160; then
  # The prefix's session began without a display; a fresh one starts with this one, or
  # the Video Renderer has no window to open.
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  probed=(v-cinepak.avi v-mjpeg.avi v-mpeg4-xvid.avi v-h264.avi v-KVDN.avi)
  (cd "$avis" && "$WINE" "$win64/korvane-render-probe.exe" "${probed[@]}") 2>/dev/null |
    tr -d '\r' | awk -F'\t' '{ print $1 "\t" ($2 == "renders" ? "decodes" : "fails") }' \
    >"$work/probe.txt"
  for name in "${probed[@]}"; do
    awk -F'\t' -v f="$name" '$1 == f { print $1 "\t" ($2 ~ /^decodes/ ? "decodes" : "fails") }' \
      "$work/native-graphs.txt"
  done >"$work/try-vs-probe.txt"
  same "RenderFile succeeds where the DirectShow try decodes, and fails where it does not" \
    "$work/probe.txt" "$work/try-vs-probe.txt"
else
  fail "no Xvfb display for the RenderFile probe"
fi

note "the crash and the hang alone, against the time limit"
for limit in 1 3; do
  start=$(date +%s.%N)
  "$native/korvane" check --try --try-timeout $limit --view 64 --machine "$WINEPREFIX" \
    "$avis/v-hang.avi" "$avis/v-crash.avi" "$avis/v-cinepak.avi" >"$work/limit.txt" 2>&1
  took=$(echo "$(date +%s.%N) - $start" | bc)
  if grep -q "try: hangs: no answer within $limit s" "$work/limit.txt" &&
     grep -q "try: crashed: exception 0xC0000005" "$work/limit.txt" &&
     grep -q "try: decodes: 10 frames" "$work/limit.txt"; then
    pass "--try-timeout $limit: hang, crash and the file after them told"
  else
    fail "--try-timeout $limit"; sed 's/^/       /' "$work/limit.txt"
  fi
  # The hang is waited for as long as the limit says, and not much longer: the rest is
  # the other tries and the three files' DirectShow graphs, which start GStreamer.
  if [ "$(echo "$took >= $limit && $took < $limit + 45" | bc)" = 1 ]; then
    pass "--try-timeout $limit: the call took $(printf '%.1f' "$took") s"
  else
    fail "--try-timeout $limit: the call took $took s"
  fi
done

note "korvane-cli.exe check --try under wine64, on the live machine"
winfiles=()
for f in "${files[@]}"; do winfiles+=("$(winpath "$f")"); done
"$WINE" "$win64/korvane-cli.exe" check --try --try-timeout 2 "${winfiles[@]}" \
  >"$work/windows.txt" 2>/dev/null
tries_of_text <"$work/windows.txt" >"$work/windows-tries.txt"
same "each stream's try line, on Windows" "$work/expected.txt" "$work/windows-tries.txt"
graphs_of_text <"$work/windows.txt" >"$work/windows-graphs.txt"
same "each file's DirectShow try and graph, on Windows" "$work/expected-graphs.txt" \
  "$work/windows-graphs.txt"
tr -d '\r' <"$work/windows.txt" >"$work/windows-lf.txt"
check_verdicts "on Windows" "$work/windows-lf.txt"

note "the crashing and the hanging filters as AVI splitters, against the time limit"
# Above the GStreamer splitter filter's merit, they are offered every AVI file first: each
# refuses a file without its FourCC, so the graph goes on to the next splitter.
for kind in crash hang; do
  "$WINE" regsvr32 /s /n /i:splitter "C:\\windows\\system32\\kvds$kind.dll" >/dev/null 2>&1 ||
    fail "regsvr32 /n /i:splitter kvds$kind.dll"
done
wineserver -w 2>/dev/null
limit=3
start=$(date +%s.%N)
"$native/korvane" check --try --try-timeout $limit --view 64 --machine "$WINEPREFIX" \
  "${misbehaving[@]/#/$avis/}" >"$work/splitters.txt" 2>&1
took=$(echo "$(date +%s.%N) - $start" | bc)
check_misbehaving_graphs "from Linux" "$work/splitters.txt" $limit \
  "0xC0000005 (access violation)" "decodes: 10 frames, 64x48 AYUV" \
  "File Source Filter -> GStreamer splitter filter -> Null Renderer (counts and discards)"
if [ "$(echo "$took >= $limit + 10 && $took < $limit + 10 + 45" | bc)" = 1 ]; then
  pass "the DirectShow hang is waited for as long as the limit says: $(printf '%.1f' "$took") s"
else
  fail "the call with the DirectShow hang took $took s"
fi
"$native/korvane" check --json --try --try-timeout $limit --view 64 --machine "$WINEPREFIX" \
  "${misbehaving[@]/#/$avis/}" >"$work/splitters.json" 2>/dev/null
python3 - "$work/splitters.json" <<'PY' && pass "JSON: the DirectShow crash and hang, with the exception and its library" || fail "JSON of the DirectShow crash and hang"
import json, sys
tries = {f["file"].replace("\\", "/").split("/")[-1]: f["paths"]["directshow"]["try"]
         for f in json.load(open(sys.argv[1], encoding="utf-8"))["files"]}
hang, crash, cinepak = tries["v-KVDH.avi"], tries["v-KVDC.avi"], tries["v-cinepak.avi"]
ok = hang["outcome"] == "hung" and not hang["decodes"] and hang["filters"] == []
ok &= crash["outcome"] == "crashed" and crash["exceptionCode"] == "0xC0000005"
ok &= crash["module"] == "kvdscrash.dll" and crash["frames"] == 0
ok &= cinepak["outcome"] == "decodes" and cinepak["frames"] == 10
sys.exit(0 if ok else 1)
PY

note "the 32-bit view"
wine32=${KORVANE_WINE32:-$root/build/wine32/bin/wine}
if [ -x "$wine32" ] && [ -f "$win32/korvane-cli.exe" ]; then
  # The 32-bit Wine (scripts/setup-wine32.sh) runs a 32-bit prefix of its own; Debian's
  # i386 Wine needs MinGW's zlib1.dll in it before it starts.
  prefix32=$work/prefix32
  mkdir -p "$prefix32/drive_c/windows/system32"
  cp /usr/i686-w64-mingw32/lib/zlib1.dll "$prefix32/drive_c/windows/system32/"
  WINEPREFIX=$prefix32 WINEARCH=win32 "$wine32" wineboot -i >"$work/wineboot32.log" 2>&1 ||
    { cat "$work/wineboot32.log"; exit 1; }
  cp "$win32/korvane-crash-decoder.dll" "$win32/korvane-hang-decoder.dll" \
    "$win32"/kvds*.dll "$prefix32/drive_c/windows/system32/"
  for kind in none crash hang; do
    WINEPREFIX=$prefix32 "$wine32" regsvr32 /s "C:\\windows\\system32\\kvds$kind.dll" >/dev/null 2>&1 ||
      fail "regsvr32 kvds$kind.dll, 32-bit"
  done
  WINEPREFIX=$prefix32 "$wine32" reg add "$drivers32" /v vidc.KVCR /d korvane-crash-decoder.dll /f >/dev/null 2>&1
  WINEPREFIX=$prefix32 "$wine32" reg add "$drivers32" /v vidc.KVHG /d korvane-hang-decoder.dll /f >/dev/null 2>&1
  WINEPREFIX=$prefix32 wineserver -w 2>/dev/null
  # Under the emulated 32-bit Wine a child takes seconds to start, so the limit is longer.
  # Two exceptions arrive as others under qemu's user-mode emulation of i386: the test
  # decoder's write through a null pointer (a plain store, see its disassembly) as an
  # illegal instruction, and the MP3 decoder's division by zero, which the i386 build does
  # in floating point, as an invalid floating-point operation.
  sed -e 's/within 2 s/within 15 s/' \
    -e 's/0xC0000005 (access violation) in korvane-crash/0xC000001D (illegal instruction) in korvane-crash/' \
    -e 's/0xC0000094 (integer division by zero) in l3codeca/0xC0000090 (invalid floating-point operation) in l3codeca/' \
    "$work/expected.txt" >"$work/expected32.txt"
  KORVANE_WINE32=$wine32 KORVANE_CLI_WIN32=$win32/korvane-cli.exe "$native/korvane" check --try \
    --try-timeout 15 --machine "$prefix32" "${files[@]}" >"$work/native32.txt" 2>"$work/native32.err"
  tries_of_text <"$work/native32.txt" >"$work/native32-tries.txt"
  same "each stream's try line, 32-bit prefix under the 32-bit Wine" "$work/expected32.txt" \
    "$work/native32-tries.txt"
  # The 32-bit Wine has no GStreamer, and Wine 8's AVI splitters are both GStreamer's: its
  # DirectShow takes no AVI file past the source filter, Cinepak included.
  # The decoders registered for a stream that cannot be made are named with their own
  # errors: the test filter that has no class, as in the 64-bit prefix, and Wine's own MP3
  # decoder filter, which is GStreamer's and cannot start without it.
  unrendered="does not decode: VFW_E_CANNOT_RENDER $rendering; nothing takes File Source Filter's pin 'Output'"
  for f in "${files[@]}"; do
    case ${f##*/} in
      v-KVDN.avi) named="; Korvane test filter KVDN (no class) cannot be made: CLASS_E_CLASSNOTAVAILABLE" ;;
      a-mp3*.avi) named="; MPEG Layer-3 Decoder cannot be made: E_FAIL" ;;
      *) named= ;;
    esac
    printf '%s\t%s\t%s\n' "${f##*/}" "$unrendered$named" "File Source Filter"
  done >"$work/expected32-graphs.txt"
  graphs_of_text <"$work/native32.txt" >"$work/native32-graphs.txt"
  same "each file's DirectShow try, 32-bit prefix under the 32-bit Wine" \
    "$work/expected32-graphs.txt" "$work/native32-graphs.txt"
  # The crashing and hanging filters as AVI splitters, as in the 64-bit prefix; without
  # GStreamer nothing takes the file after them, and the crash arrives as qemu gives it.
  for kind in crash hang; do
    WINEPREFIX=$prefix32 "$wine32" regsvr32 /s /n /i:splitter "C:\\windows\\system32\\kvds$kind.dll" \
      >/dev/null 2>&1 || fail "regsvr32 /n /i:splitter kvds$kind.dll, 32-bit"
  done
  WINEPREFIX=$prefix32 wineserver -w 2>/dev/null
  KORVANE_WINE32=$wine32 KORVANE_CLI_WIN32=$win32/korvane-cli.exe "$native/korvane" check --try \
    --try-timeout 15 --machine "$prefix32" "${misbehaving[@]/#/$avis/}" >"$work/splitters32.txt" 2>&1
  check_misbehaving_graphs "32-bit prefix" "$work/splitters32.txt" 15 \
    "0xC000001D (illegal instruction)" "$unrendered" "File Source Filter"
  WINEPREFIX=$prefix32 wineserver -k 2>/dev/null
else
  echo "     (no 32-bit Wine: scripts/setup-wine32.sh makes one in build/wine32, or set KORVANE_WINE32)"
fi
# A 64-bit prefix made by wine64 alone has no 32-bit side, whatever Wine is at hand.
KORVANE_WINE32=/bin/true "$native/korvane" check --try --machine "$WINEPREFIX" "$avis/v-cinepak.avi" \
  >"$work/refused.txt" 2>&1
status=$?
if [ $status -eq 2 ] && grep -q "is a 64-bit prefix without its 32-bit side" "$work/refused.txt"; then
  pass "the 32-bit view of a prefix without its 32-bit side is refused, saying so"
else
  fail "32-bit view of the 64-bit prefix: status $status"; sed 's/^/       /' "$work/refused.txt"
fi

summary
