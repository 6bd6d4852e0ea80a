#!/usr/bin/env bash
# Times `korvane codecs --machine` on the XP-like described machine with FILTERS more
# DirectShow filters (each an Instance key with FilterData and a class with InprocServer32;
# a third name a library that is not there, the others share the example's libraries, as
# codec packs share theirs) and a tenth as many DMOs, against the same machine as it is.
# Prints the best of seven runs of each, and the same for `korvane check` of a Cinepak and
# an MP3 file, which reads every registration to name each stream's DirectShow decoders.
# Usage: bench/codecs-speed.sh [BUILD_DIR] [FILTERS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native} filters=${2:-400}
scratch=$(mktemp -d); trap '[ -n "${KEEP:-}" ] || rm -rf "$scratch"' EXIT

described() {  # described DIR: the XP-like machine
  mkdir -p "$1/c/WINDOWS/system32"
  cp -a "$root/examples/win98se/c/WINDOWS/SYSTEM/." "$1/c/WINDOWS/system32/"
  cp "$root/examples/win98se/c/WINDOWS/SYSTEM.INI" "$1/c/WINDOWS/system.ini"
  cp "$root/tests/disks/winxp-like.ini" "$1/machine.ini"
  cp "$root/tests/disks/winxp-like.reg" "$1/registry.reg"
}
described "$scratch/plain"
described "$scratch/large"
# A decoder's FilterData: video of the FourCC in bytes 100-103 in, any video out.
awk -v n="$filters" 'BEGIN {
  legacy = "{083863F1-70DE-11D0-BD40-00A0C911CE86}"
  head = "02,00,00,00,00,00,60,00,02,00,00,00,00,00,00,00,30,70,69,33,00,00,00,00,01,00,00,00,01,00,00,00,00,00,00,00,00,00,00,00,30,74,79,33,00,00,00,00,60,00,00,00,70,00,00,00,31,70,69,33,08,00,00,00,01,00,00,00,01,00,00,00,00,00,00,00,00,00,00,00,30,74,79,33,00,00,00,00,60,00,00,00,80,00,00,00,76,69,64,73,00,00,10,00,80,00,00,aa,00,38,9b,71,"
  tail = ",00,00,10,00,80,00,00,aa,00,38,9b,71,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00"
  for (i = 0; i < n; i++) {
    clsid = sprintf("{%08X-4B6F-7276-616E-650000000001}", i)
    printf "\r\n[HKEY_CLASSES_ROOT\\CLSID\\%s\\Instance\\%s]\r\n", legacy, clsid
    printf "\"FriendlyName\"=\"Bench Decoder %d\"\r\n\"CLSID\"=\"%s\"\r\n", i, clsid
    printf "\"FilterData\"=hex:%s%02x,%02x,%02x,%02x%s\r\n", head, i % 256, int(i / 256), 66, 66, tail
    library = i % 3 == 0 ? sprintf("C:\\\\Program Files\\\\Bench\\\\lost%d.ax", i) : "quartz.dll"
    printf "\r\n[HKEY_CLASSES_ROOT\\CLSID\\%s\\InprocServer32]\r\n@=\"%s\"\r\n", clsid, library
  }
  for (i = 0; i < n / 10; i++) {
    clsid = sprintf("{%08X-4B6F-7276-616E-650000000002}", i)
    printf "\r\n[HKEY_CLASSES_ROOT\\DirectShow\\MediaObjects\\%s]\r\n@=\"Bench DMO %d\"\r\n", clsid, i
    printf "\"InputTypes\"=hex:76,69,64,73,00,00,10,00,80,00,00,aa,00,38,9b,71,%02x,%02x,44,44,00,00,10,00,80,00,00,aa,00,38,9b,71\r\n", i % 256, int(i / 256)
    printf "\r\n[HKEY_CLASSES_ROOT\\DirectShow\\MediaObjects\\Categories\\{4A69B442-28BE-4991-969C-B500ADF5D8A8}\\%s]\r\n", clsid
    printf "\r\n[HKEY_CLASSES_ROOT\\CLSID\\%s\\InprocServer32]\r\n@=\"wmvdmod.dll\"\r\n", clsid
  }
}' >> "$scratch/large/registry.reg"

# Two small files for check: a decoder the machine has, and one only a filter may have.
ffmpeg -v error -f lavfi -i testsrc=size=64x48:rate=10 -t 1 -c:v cinepak "$scratch/cinepak.avi"
ffmpeg -v error -f lavfi -i sine=duration=1 -c:a libmp3lame "$scratch/mp3.avi"

# The best of seven runs by processor time (user and system), with its wall-clock time: on
# a busy machine the wall clock mostly measures the wait for a processor.
python3 - "$build/korvane" "$scratch" "$filters" <<'PY'
import json, resource, subprocess, sys, time
korvane, scratch, filters = sys.argv[1], sys.argv[2], int(sys.argv[3])
def best_of_seven(machine, command=("codecs",)):
    best = None
    for _ in range(7):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.monotonic()
        done = subprocess.run([korvane, command[0], "--json", "--machine", machine,
                               *command[1:]], capture_output=True, text=True)
        wall = time.monotonic() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        if done.returncode not in (0, 1) or not done.stdout:
            sys.exit(done.stderr)
        cpu = after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime
        if best is None or cpu < best[1]:
            best = (wall, cpu, json.loads(done.stdout))
    return best
plain = best_of_seven(scratch + "/plain")
large = best_of_seven(scratch + "/large")
print("korvane codecs --machine (XP-like), best of 7 by processor time:")
print("  as it is: %.3f s wall, %.3f s processor" % plain[:2])
print("  with %d more filters and %d more DMOs: %.3f s wall, %.3f s processor "
      "(%d DirectShow items, %d DMOs listed)" % (filters, filters // 10, large[0], large[1],
                                                 len(large[2]["directshow"]), len(large[2]["dmo"])))
files = ("check", scratch + "/cinepak.avi", scratch + "/mp3.avi")
plain = best_of_seven(scratch + "/plain", files)
large = best_of_seven(scratch + "/large", files)
print("korvane check --machine (XP-like) on a Cinepak and an MP3 file:")
print("  as it is: %.3f s wall, %.3f s processor" % plain[:2])
print("  with %d more filters: %.3f s wall, %.3f s processor" % (filters, large[0], large[1]))
PY
