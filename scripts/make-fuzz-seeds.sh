#!/usr/bin/env bash
# Makes the seed corpora of the fuzz targets: one folder per target under OUTDIR.
# Usage: make-fuzz-seeds.sh OUTDIR
set -euo pipefail
out=${1:?usage: make-fuzz-seeds.sh OUTDIR}
here=$(cd "$(dirname "$0")" && pwd)

mkdir -p "$out/fuzz_format" "$out/fuzz_avi_dump"
mkdir -p "$out/fuzz_riff_walk"

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

# Wine registry files: every value form, escapes, continuation lines and metadata.
mkdir -p "$out/fuzz_wine_registry"
cat > "$out/fuzz_wine_registry/system.reg" <<'REG'
WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win64

[Software\\Classes\\AVIFile] 1700000000
#time=1d9a0b0c0d0e0f0
@="AVI File"
"EditFlags"=hex:00,00,01,00
"Multi"=str(7):"a\0b\0"
"Expand"=str(2):"%SystemRoot%\\system32"
"Typed"=hex(1):41,00,e9,00,00,00
"Long"=hex:01,02,\
  03,04
"Dword"=dword:0000010a
"Esc"="\x00e9\101\t\"q\""

[Software\\Wow6432Node\\Classes] 1700000000
#link
"SymbolicLinkValue"=hex(6):5c,00,52,00
REG
printf 'WINE REGISTRY Version 2\n[K]\n"v"=hex:01,\\\n' > "$out/fuzz_wine_registry/cut-continuation"
printf 'WINE REGISTRY Version 2\n[K\\\\\xc3\xa9] 1\n"\xff"="\xf0\x9f\x98\x80"\n' > "$out/fuzz_wine_registry/bytes"

# The example machine's registry, machine facts, system.ini and libraries.
example="$here/../examples/win98se"
mkdir -p "$out/fuzz_reg_file" "$out/fuzz_machine_ini" "$out/fuzz_pe_image"
cp "$example/registry.reg" "$out/fuzz_reg_file/"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n"S"=hex(2):41,00,00,00\r\n' \
  > "$out/fuzz_reg_file/version5"
cp "$example/machine.ini" "$out/fuzz_machine_ini/"
cp "$example/c/WINDOWS/SYSTEM.INI" "$out/fuzz_machine_ini/system.ini"
printf '[capture]\n0=Capture|1.0\n[machine]\nBuild=0x893\n' > "$out/fuzz_machine_ini/capture"
cp "$example/c/WINDOWS/SYSTEM/tvcap32.drv" "$example/c/WINDOWS/SYSTEM/x264vfw.dll" \
   "$example/c/WINDOWS/SYSTEM/iccvid.dll" "$out/fuzz_pe_image/"
# The RIFF walk: files with several streams and formats, and cut ones.
"$here/make-codec-avis.sh" "$out/codec-avis" >/dev/null
for name in v-cinepak v-msvideo1 a-mp3 a-pcm-extensible; do
  [ -f "$out/codec-avis/$name.avi" ] && cp "$out/codec-avis/$name.avi" "$out/fuzz_riff_walk/"
done
[ -f "$out/codec-avis/a-adpcm-ms.avi" ] && head -c 300 "$out/codec-avis/a-adpcm-ms.avi" > "$out/fuzz_riff_walk/cut300"
printf 'RIFF\x00\x00\x00\x00AVI LIST\x04\x00\x00\x00hdrl' > "$out/fuzz_riff_walk/unfinished"
rm -rf "$out/codec-avis"
