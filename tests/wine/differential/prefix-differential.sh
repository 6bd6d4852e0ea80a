#!/usr/bin/env bash
# The report differential: `korvane-cli.exe run` on the live Windows API under wine64
# against the native `korvane run --machine PREFIX --view 64` reading the same prefix
# from disk. Called by run-differentials.sh with the prefix it made (WINEPREFIX set).
#
# Usage: prefix-differential.sh NATIVE_BUILD WIN64_BUILD WORK_DIR
# The reports must agree line for line except for the lines listed in known_difference
# below, each with its reason. Any other difference fails.
set -uo pipefail
native=$1 win64=$2 work=$3
WINE=${WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
c=$WINEPREFIX/drive_c
windir=$c/windows

# Both sides must exist: the live run command (korvane-cli.exe) and the offline one.
if ! "$WINE" "$win64/korvane-cli.exe" run --help >/dev/null 2>&1; then
  echo "-- report differential: SKIPPED: $win64/korvane-cli.exe has no 'run' command yet"
  exit 0
fi
if ! "$native/korvane" run --help 2>/dev/null | grep -q -- '--view'; then
  echo "-- report differential: SKIPPED: the native korvane run cannot read a Wine prefix yet"
  exit 0
fi

printf -- '-- report: korvane-cli.exe run (live API) against korvane run --machine\n'
reg() { "$WINE" reg add "$@" /f >/dev/null 2>&1 || echo "setup: reg add $* failed"; }
nt='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion'
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

# drivers32 and drivers.desc: a wildcard value, a value of a non-text type, a full path,
# a bare name that exists and one that does not.
reg "$nt\drivers32" /v wavemapper /t REG_SZ /d '*.drv'
reg "$nt\drivers32" /v vidc.bin /t REG_BINARY /d 6d73766964633332
reg "$nt\drivers32" /v vidc.full /t REG_SZ /d 'C:\windows\system32\msvidc32.dll'
reg "$nt\drivers32" /v vidc.none /t REG_SZ /d 'nosuch32.dll'
reg "$nt\drivers.desc" /v msvidc32.dll /t REG_SZ /d 'Microsoft Video 1'
reg "$nt\drivers.desc" /v odd.dll /t REG_DWORD /d 7
# AVIFile with EditFlags as four bytes, and one subkey without a default value.
reg 'HKCR\AVIFile' /ve /t REG_SZ /d 'Video Clip'
reg 'HKCR\AVIFile' /v EditFlags /t REG_BINARY /d 00000100
reg 'HKCR\AVIFile\CLSID' /v Other /t REG_SZ /d x
# Uninstall entries without DisplayName, without UninstallString, with both.
reg "$uninstall\KorvaneNoName" /v UninstallString /t REG_SZ /d 'C:\x\uninst.exe'
reg "$uninstall\KorvaneNoCommand" /v DisplayName /t REG_SZ /d 'Only a name'
reg "$uninstall\KorvaneBoth" /v DisplayName /t REG_SZ /d 'Both 100%'
reg "$uninstall\KorvaneBoth" /v UninstallString /t REG_SZ /d 'C:\x\remove.exe /q'

# system.ini with the sections listed and loaded, and the cases of the section scan.
printf '%s\r\n' '[boot.description]' 'display.drv=VGA' '' '[drivers]' ';old' 'wave=a.drv' \
  '[Drivers32]' 'ignored=x.dll' '[drivers32]' 'msacm.imaadpcm=imaadp32.acm' \
  'vidc.msvc = msvidc32.dll' 'wavemapper=*.drv' 'k=' 'k= = msvfw32.dll' \
  'vidc.full=C:\windows\system32\avifil32.dll' 'vidc.gone=gone.dll ; old' 'noequals' \
  '[mci]' 'cdaudio=mcicda.drv' '[drivers]' 'midi=b.drv' >"$windir/system.ini"
# msvc* files and a msvc* folder in both system directories.
for dir in system32 syswow64; do
  mkdir -p "$windir/$dir/msvcfolder"
  printf 'not a library' >"$windir/$dir/msvcnotalib.dll"
  touch -d '2001-02-03 12:00:00 UTC' "$windir/$dir/msvcnotalib.dll"
done
wineserver -w

"$WINE" "$win64/korvane-cli.exe" run 2>"$work/live.err" | tr -d '\r' >"$work/live.txt"
wineserver -w
"$native/korvane" run --machine "$WINEPREFIX" --view 64 >"$work/offline.txt" 2>"$work/offline.err"
if [ ! -s "$work/live.txt" ] || [ ! -s "$work/offline.txt" ]; then
  echo "FAIL: a report is empty"; cat "$work/live.err" "$work/offline.err"; exit 1
fi

# Lines that may differ, as extended regular expressions matched against the live line,
# each with its reason. Nothing is listed until a run shows the difference and its cause.
known_difference() {
  local line=$1
  case "$line" in
    *) return 1 ;;
  esac
}

status=0
diff "$work/live.txt" "$work/offline.txt" >"$work/report.diff"
while IFS= read -r line; do
  case "$line" in
    '< '*) known_difference "${line#< }" || { echo "  unlisted (live):    ${line#< }"; status=1; } ;;
    '> '*) known_difference "${line#> }" || { echo "  unlisted (offline): ${line#> }"; status=1; } ;;
  esac
done <"$work/report.diff"
echo "  $(wc -l <"$work/live.txt") live lines, $(wc -l <"$work/offline.txt") offline lines"
[ $status -eq 0 ] && echo "  reports agree" || echo "FAIL: the reports differ"
exit $status
