#!/usr/bin/env bash
# Makes COUNT small AVI files for the dump benchmark: a handful of one-frame clips made
# with ffmpeg (one per codec, FourCC in upper and lower case, one cut short), copied round
# robin to avi-00000.avi ... so that every file is its own inode, as a real folder is.
# Usage: make-avis.sh OUTDIR COUNT
set -euo pipefail
out=${1:?usage: make-avis.sh OUTDIR COUNT}
count=${2:?usage: make-avis.sh OUTDIR COUNT}
seeds=$out/seeds
mkdir -p "$out" "$seeds"

seed() {  # seed NAME ENCODER TAG [extra ffmpeg options]
  local name=$1 encoder=$2 tag=$3
  shift 3
  [ -s "$seeds/$name.avi" ] && return
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=32x32:rate=1 -frames:v 1 \
    -c:v "$encoder" -vtag "$tag" "$@" "$seeds/$name.tmp.avi"
  mv "$seeds/$name.tmp.avi" "$seeds/$name.avi"
}

seed cvid cinepak CVID
seed cvid-lower cinepak cvid
seed mjpg mjpeg MJPG -pix_fmt yuvj420p
seed mp42 msmpeg4v2 MP42
seed mp43 msmpeg4 MP43
seed div3 msmpeg4 DIV3
seed xvid mpeg4 XVID
if [ ! -s "$seeds/mp43-cut.avi" ]; then  # a file cut short of what its header declares
  head -c 300 "$seeds/mp43.avi" >"$seeds/mp43-cut.avi"
fi

# Already made with this count: nothing to do.
marker=$out/.count
[ -f "$marker" ] && [ "$(cat "$marker")" = "$count" ] && exit 0
rm -f "$out"/avi-*.avi "$marker"

# One tee per seed writes all of that seed's copies: a few processes, not one per file.
seedFiles=("$seeds"/*.avi)
n=${#seedFiles[@]}
for ((s = 0; s < n; s++)); do
  names=()
  for ((i = s; i < count; i += n)); do names+=("$(printf '%s/avi-%05d.avi' "$out" "$i")"); done
  [ ${#names[@]} -eq 0 ] && continue
  printf '%s\0' "${names[@]}" | xargs -0 -n 1000 sh -c 'tee "$@" >/dev/null <"$0"' "${seedFiles[s]}"
done
echo "$count" >"$marker"
