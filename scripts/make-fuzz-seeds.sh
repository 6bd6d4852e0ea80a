#!/usr/bin/env bash
# Makes the seed corpora of the fuzz targets: one folder per target under OUTDIR.
# Usage: make-fuzz-seeds.sh OUTDIR
set -euo pipefail
out=${1:?usage: make-fuzz-seeds.sh OUTDIR}
here=$(cd "$(dirname "$0")" && pwd)

mkdir -p "$out/fuzz_format" "$out/fuzz_avi_dump"

# Formats the program uses, each after an argument-kind byte (bit n: argument n is text).
i=0
while IFS= read -r fmt; do
  printf '\x01%s\0%s' "$fmt" "some text and bytes 0123456789abcdef" > "$out/fuzz_format/seed$i"
  i=$((i + 1))
done <<'FORMATS'
%s - size 0x%08X (%d)
%s 0x%X %d-%02d-%02d %d Loaded Ok
GetVersionEx() reports: ver. %d.%d, build 0x%lX (%d), platform %d (%s), "%s"
%02X %02X %02X %02X |%c%c%c%c
%-20s|%#x|%05d|%.3s|%I64X|%%|%q
FORMATS

# AVI files from a real muxer, and edge files.
"$here/make-sample-avis.sh" "$out/avis" >/dev/null
cp "$out"/avis/cinepak-upper.avi "$out"/avis/mjpeg-lower.avi "$out/fuzz_avi_dump/"
: > "$out/fuzz_avi_dump/empty"
printf 'RIFX\xff\xff\xff\x7fAVI ' > "$out/fuzz_avi_dump/rifx"
head -c 191 "$out/avis/msmpeg4v2-upper.avi" > "$out/fuzz_avi_dump/cut191"
rm -rf "$out/avis"
