#!/usr/bin/env bash
# Times `korvane run --machine` on a 4 GiB dynamic VHD whose Windows 98 SE installation
# (the example machine) has a few thousand more files in its system directory, as an
# old machine with many programs installed has. Prints the image size and the best of
# five runs. Usage: bench/disk-image-speed.sh [BUILD_DIR] [FILES]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native} files=${2:-3000}
scratch=$(mktemp -d); trap 'rm -rf "$scratch"' EXIT
"$root/scripts/make-installation.sh" "$root/examples/win98se" "$scratch/w98"
system="$scratch/w98/WINDOWS/SYSTEM"
for i in $(seq -w 1 "$files"); do head -c $((1024 + 10#$i)) /dev/zero > "$system/lib$i.dll"; done
"$root/scripts/make-disk-image.sh" "$scratch/w98" "$scratch/w98.vhd" vhd 4096
echo "image: $(du -h --apparent-size "$scratch/w98.vhd" | cut -f1) on the host, 4 GiB disk, $(ls "$system" | wc -l) files in C:\\WINDOWS\\SYSTEM"
best=
for _ in 1 2 3 4 5; do
  start=$(date +%s.%N)
  "$build/korvane" run --machine "$scratch/w98.vhd" > /dev/null
  t=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
  if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
done
printf 'korvane run --machine w98.vhd: best of 5: %.3f s\n' "$best"
