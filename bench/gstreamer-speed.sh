#!/usr/bin/env bash
# What asking the host's GStreamer costs, and that only asking it does: which of korvane's
# commands map libgstreamer (LD_DEBUG=files, which sees dlopen too), then the time of
# gstreamer-ask (tests/gstreamer_ask.cc) with nothing asked, and with one question after
# GStreamer starts on the registry it already has and on an empty one (a first run after
# plugins were installed: GStreamer scans every plugin). Median of RUNS (default 21).
# Usage: bench/gstreamer-speed.sh [BUILD_DIR] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/native}" && pwd)
runs=${2:-21}
for exe in korvane gstreamer-ask korvane-gstreamer.so; do
  [ -e "$build/$exe" ] || { echo "gstreamer-speed.sh: $build/$exe is missing" >&2; exit 1; }
done
scratch=$(mktemp -d /tmp/korvane-gst-bench.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
"$root/bench/make-avis.sh" "$scratch/avis" 1 >/dev/null
avi=$scratch/avis/avi-00000.avi

# Whether the command's process mapped libgstreamer-1.0 at any time, dlopen included.
loads_gstreamer() {
  local mapped
  mapped=$(LD_DEBUG=files "$@" 2>&1 >/dev/null | grep -c 'file=libgstreamer-1\.0\.so' || true)
  if [ "$mapped" -gt 0 ]; then echo yes; else echo no; fi
}
echo "libgstreamer-1.0 loaded by:"
printf '  %-58s %s\n' "korvane dump one.avi" "$(loads_gstreamer "$build/korvane" dump "$avi")"
printf '  %-58s %s\n' "korvane run --machine examples/win98se" \
  "$(loads_gstreamer "$build/korvane" run --machine "$root/examples/win98se")"
printf '  %-58s %s\n' "korvane check --machine examples/win98se one.avi" \
  "$(loads_gstreamer "$build/korvane" check --machine "$root/examples/win98se" "$avi")"
printf '  %-58s %s\n' "gstreamer-ask 64 video:H264" \
  "$(loads_gstreamer "$build/gstreamer-ask" 64 video:H264)"

# The medians in milliseconds of RUNS runs of a command, wall and processor (user and
# system, the plugin scanner's included): PREPARE runs before each.
medians_ms() {
  local prepare=$1; shift
  local i start end cpu TIMEFORMAT='%3U %3S'
  for ((i = 0; i < runs; i++)); do
    eval "$prepare"
    start=$(date +%s%N)
    cpu=$({ time "$@" >/dev/null 2>&1; } 2>&1)
    end=$(date +%s%N)
    echo "$(((end - start) / 1000)) $cpu"
  done >"$scratch/times"
  printf '%9s %9s' "$(median 1)" "$(median 2)"
}

# The median of one column of $scratch/times (microseconds, seconds), in milliseconds.
median() {
  awk -v c="$1" '{ print (c == 1 ? $1 / 1000 : ($2 + $3) * 1000) }' "$scratch/times" | sort -n |
    awk '{ t[NR] = $1 } END { printf "%.2f", t[int((NR + 1) / 2)] }'
}

registry=$scratch/registry.bin
"$build/gstreamer-ask" 64 demuxer >/dev/null  # the user's registry brought up to date
printf '%-60s %9s %9s\n' "median of $runs runs, milliseconds:" wall processor
printf '  %-58s %s\n' "gstreamer-ask 64 (nothing asked, GStreamer not loaded)" \
  "$(medians_ms : "$build/gstreamer-ask" 64)"
printf '  %-58s %s\n' "gstreamer-ask 64 video:H264, the user's registry" \
  "$(medians_ms : "$build/gstreamer-ask" 64 video:H264)"
printf '  %-58s %s\n' "gstreamer-ask 64 demuxer video:H264 audio:0x55 video:MJPG" \
  "$(medians_ms : "$build/gstreamer-ask" 64 demuxer video:H264 audio:0x55 video:MJPG)"
export GST_REGISTRY_1_0=$registry
cold_runs=$(( runs < 5 ? runs : 5 ))
runs=$cold_runs
printf '  %-58s %s\n' "gstreamer-ask 64 video:H264, no registry yet ($cold_runs runs)" \
  "$(medians_ms "rm -f '$registry'" "$build/gstreamer-ask" 64 video:H264)"
echo "plugins GStreamer scans: $(find "$(pkg-config --variable=pluginsdir gstreamer-1.0)" -name '*.so' | wc -l)"
