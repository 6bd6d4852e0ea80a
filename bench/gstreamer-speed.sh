#!/usr/bin/env bash
# What asking the host's GStreamer costs, and that only asking it does: which of korvane's
# commands map libgstreamer (LD_DEBUG=files, which sees dlopen too), then the wall time of
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

# How many times the command's process mapped libgstreamer-1.0.
gstreamer_loads() {
  LD_DEBUG=files "$@" 2>&1 >/dev/null | grep -c 'file=libgstreamer-1\.0\.so' || true
}
echo "libgstreamer-1.0 loaded by:"
while read -r name command; do
  read -ra words <<<"$command"
  printf '  %-44s %s\n' "$name" "$(gstreamer_loads "${words[@]}")"
done <<EOF2
korvane_dump $build/korvane dump $avi
korvane_run_--machine_win98se $build/korvane run --machine $root/examples/win98se
korvane_check_--machine_win98se $build/korvane check --machine $root/examples/win98se $avi
gstreamer-ask_64_video:H264 $build/gstreamer-ask 64 video:H264
EOF2

# The median wall time in milliseconds of RUNS runs of a command; PREPARE runs before each.
median_ms() {
  local prepare=$1; shift
  local i start end
  for ((i = 0; i < runs; i++)); do
    eval "$prepare"
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
  done | sort -n | awk '{ t[NR] = $1 } END { printf "%.2f", t[int((NR + 1) / 2)] / 1000 }'
}

registry=$scratch/registry.bin
"$build/gstreamer-ask" 64 demuxer >/dev/null  # the user's registry brought up to date
echo "wall time, median of $runs runs, milliseconds:"
printf '  %-58s %s\n' "gstreamer-ask 64 (nothing asked, GStreamer not loaded)" \
  "$(median_ms : "$build/gstreamer-ask" 64)"
printf '  %-58s %s\n' "gstreamer-ask 64 video:H264, the user's registry" \
  "$(median_ms : "$build/gstreamer-ask" 64 video:H264)"
printf '  %-58s %s\n' "gstreamer-ask 64 demuxer video:H264 audio:0x55 video:MJPG" \
  "$(median_ms : "$build/gstreamer-ask" 64 demuxer video:H264 audio:0x55 video:MJPG)"
export GST_REGISTRY_1_0=$registry
cold_runs=$(( runs < 5 ? runs : 5 ))
runs=$cold_runs
printf '  %-58s %s\n' "gstreamer-ask 64 video:H264, no registry yet ($cold_runs runs)" \
  "$(median_ms "rm -f '$registry'" "$build/gstreamer-ask" 64 video:H264)"
printf '  %-58s %s\n' "  GStreamer plugins scanned" \
  "$(find "$(pkg-config --variable=pluginsdir gstreamer-1.0)" -name '*.so' | wc -l)"
