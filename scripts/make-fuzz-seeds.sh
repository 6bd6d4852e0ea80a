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
mkdir -p "$out/fuzz_ini_sections" "$out/fuzz_cli_args"

# FilterData: each value of the example machine's registry (version 1 and 2, and one cut
# short), as regedit's hex text turned back into bytes.
mkdir -p "$out/fuzz_filter_data"
python3 - "$example/registry.reg" "$out/fuzz_filter_data" <<'PY'
import re, sys
text = open(sys.argv[1], newline="").read().replace("\\\r\n", "").replace("\\\n", "")
for i, hex_text in enumerate(re.findall(r'"FilterData"=hex:([0-9a-fA-F, ]*)', text)):
    data = bytes(int(b, 16) for b in hex_text.replace(" ", "").split(",") if b)
    open("%s/value%d" % (sys.argv[2], i), "wb").write(data)
PY

# system.ini: a byte choosing the operation and header (bit 2: load, bits 0-1: [drivers32],
# [drivers], [boot.description], "["), a byte and a byte for the lengths of the Windows and
# system directories (2n + 3 characters, 0 for none), then the file.
ini='[boot.description]\r\nkeyboard.typ=Standard 101/102-Key\r\n[drivers]\r\nwave=mmsndsys.drv\r\n;old\r\n\r\n[drivers32]\r\nmsacm.imaadpcm=imaadp32.acm\r\nvidc.cvid=C:\\WINDOWS\\SYSTEM\\iccvid.dll\r\nwavemapper=*.drv\r\nk= = x.dll ; old\r\nnovalue\r\n[Drivers32]\r\nhidden=1\r\n'
printf "\x00\x03\x08$ini" > "$out/fuzz_ini_sections/list"
printf "\x04\x03\x08$ini" > "$out/fuzz_ini_sections/load"
printf "\x05\xf8\x7e$ini" > "$out/fuzz_ini_sections/load-long-dirs"
printf "\x00\xf9\x08$ini" > "$out/fuzz_ini_sections/windows-dir-too-long"
printf "\x06\x00\x00$ini" | tr '\n' '\r' > "$out/fuzz_ini_sections/cr-only"
{ printf '\x04\x03\x08[drivers32]\nk='; head -c 1100 /dev/zero | tr '\0' 'v'; printf '\n;x\n'
  head -c 509 /dev/zero | tr '\0' 'c'; printf '[cut]\nz=z.dll'; } > "$out/fuzz_ini_sections/long-lines"

# Command lines: a byte choosing the subcommand (0: dump), then the arguments, each ended
# by a zero byte. The scratch folder holds a.avi, e (empty), d (a folder), p (a pipe).
args() { printf "$1" > "$out/fuzz_cli_args/$2"; }
args '\x00a.avi\0e\0d\0p' dump-files
args '\x00-o\0r.txt\0a.avi\0a.avi' dump-report
args '\x00-o\0d\0a.avi' dump-report-folder
args '\x00--\0-o\0--help' dump-dashdash
args '\x00-o\0r\0-o\0s' dump-twice
args '\x00--help' dump-help
args '\x01--machine\0m' run-machine
args '\x01--machine\0m\0--tests\0systemIni,loadDll,ntTests\0--explain\0-o\0r.txt' run-tests
args '\x01--machine\0d' run-empty-folder
args '\x01--machine\0a.avi\0--tests\0none' run-file-as-machine
args '\x01--tests\0bogus' run-no-machine
args '\x03--machine\0m\0--json' codecs-machine
args '\x03--explain\0--machine\0d\0--view\00064' codecs-view

# The RIFF walk: files with several streams and formats, and cut ones.
"$here/make-codec-avis.sh" "$out/codec-avis" >/dev/null
for name in v-cinepak v-msvideo1 a-mp3 a-pcm-extensible; do
  [ -f "$out/codec-avis/$name.avi" ] && cp "$out/codec-avis/$name.avi" "$out/fuzz_riff_walk/"
done
[ -f "$out/codec-avis/a-adpcm-ms.avi" ] && head -c 300 "$out/codec-avis/a-adpcm-ms.avi" > "$out/fuzz_riff_walk/cut300"
printf 'RIFF\x00\x00\x00\x00AVI LIST\x04\x00\x00\x00hdrl' > "$out/fuzz_riff_walk/unfinished"
rm -rf "$out/codec-avis"

# korvane check (subcommand 2) on the scratch files and machine.
args '\x02--machine\0m\0a.avi\0e\0d\0p' check-files
args '\x02--json\0--machine\0m\0a.avi' check-json

# Registry files of installations (an NT hive, 9x registry files) and small disk images
# with Windows on FAT, all made by the repository's scripts.
mkdir -p "$out/fuzz_registry_files" "$out/fuzz_disk_image"
machine=$(mktemp -d)
"$here/make-installation.sh" "$here/../examples/win98se" "$machine/w98" >/dev/null
cp "$machine/w98/WINDOWS/SYSTEM.DAT" "$machine/w98/WINDOWS/USER.DAT" "$out/fuzz_registry_files/"
python3 "$here/registry-files.py" empty-hive "$out/fuzz_registry_files/empty.hive"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n"v"=hex(1):41,00,00,00\r\n' \
  > "$machine/a.reg"
cp "$out/fuzz_registry_files/empty.hive" "$out/fuzz_registry_files/small.hive"
hivexregedit --merge --prefix 'HKEY_LOCAL_MACHINE\SOFTWARE' "$out/fuzz_registry_files/small.hive" "$machine/a.reg"
# A small image: only the installation's registry and system.ini, on FAT12.
mkdir -p "$machine/small/WINDOWS"
cp "$machine/w98/WINDOWS/"{SYSTEM.DAT,USER.DAT,WIN.COM,SYSTEM.INI} "$machine/small/WINDOWS/"
"$here/make-disk-image.sh" "$machine/small" "$out/fuzz_disk_image/fat.img" raw 2 >/dev/null
rm -rf "$machine"
