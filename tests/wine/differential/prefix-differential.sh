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
here=$(cd "$(dirname "$0")" && pwd)

printf -- '-- report: korvane-cli.exe run (live API) against korvane run --machine\n'
# A setup step that fails leaves an edge case out, so it fails the test too.
setup_status=0
setup_failed() { echo "FAIL: setup: $*"; setup_status=1; }
reg() { "$WINE" reg add "$@" /f >/dev/null 2>&1 || setup_failed "reg add $*"; }
nt='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion'
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

# Libraries of our own beside Wine's: one that loads, one whose dependency is missing,
# one built for i386 (with code: Wine maps a 32-bit image without code into a 64-bit
# process), and a drive D: (a dosdevices link) that holds one of them.
sys32=$windir/system32
cp "$win64/korvane-probe.dll" "$win64/korvane-needs-dep.dll" "$sys32/"
i686-w64-mingw32-gcc -shared -O1 -o "$sys32/korvane-i386.dll" "$here/probe_library.c" ||
  setup_failed "no i386 library (i686-w64-mingw32-gcc failed)"
mkdir -p "$work/d-drive/Codecs"
cp "$win64/korvane-probe.dll" "$work/d-drive/Codecs/Probe.dll"
ln -sfn "$work/d-drive" "$WINEPREFIX/dosdevices/d:"

# drivers32 and drivers.desc: a wildcard value, a value of a non-text type, a full path,
# a bare name that exists and one that does not, our libraries, a path on drive D:.
reg "$nt\drivers32" /v wavemapper /t REG_SZ /d '*.drv'
reg "$nt\drivers32" /v vidc.bin /t REG_BINARY /d 6d73766964633332
reg "$nt\drivers32" /v vidc.full /t REG_SZ /d 'C:\windows\system32\msvidc32.dll'
reg "$nt\drivers32" /v vidc.none /t REG_SZ /d 'nosuch32.dll'
reg "$nt\drivers32" /v vidc.kpro /t REG_SZ /d 'korvane-probe.dll'
reg "$nt\drivers32" /v vidc.kdep /t REG_SZ /d 'korvane-needs-dep.dll'
reg "$nt\drivers32" /v vidc.k386 /t REG_SZ /d 'korvane-i386.dll'
reg "$nt\drivers32" /v vidc.notpe /t REG_SZ /d 'msvcnotalib.dll'
reg "$nt\drivers32" /v vidc.ddrv /t REG_SZ /d 'd:\codecs\PROBE.DLL'
reg "$nt\drivers32" /v vidc.edrv /t REG_SZ /d 'E:\codecs\probe.dll'
reg "$nt\drivers32" /v vidc.updir /t REG_SZ /d 'C:\windows\temp\..\system32\msvfw32.dll'
reg "$nt\drivers32" /v vidc.dir /t REG_SZ /d 'C:\windows\system32\msvcfolder'
reg "$nt\drivers32" /v vidc.rodir /t REG_SZ /d 'C:\windows\system32\msvcrofolder'
reg "$nt\drivers32" /v vidc.dot /t REG_SZ /d '.korvane-dot.dll'
reg "$nt\drivers.desc" /v msvidc32.dll /t REG_SZ /d 'Microsoft Video 1'
reg "$nt\drivers.desc" /v odd.dll /t REG_DWORD /d 7
reg "$nt\drivers.desc" /v multi.dll /t REG_MULTI_SZ /d 'first\0second'
# A value too long for the 512-byte buffer ends the listing there: odd.dll comes after it.
reg "$nt\drivers.desc" /v nlong.dll /t REG_SZ /d "$(printf 'x%.0s' $(seq 600))"
# AVIFile with EditFlags as four bytes, one subkey without a default value, one whose
# default value is expandable text, and one only the user's classes hold.
reg 'HKCR\AVIFile' /ve /t REG_SZ /d 'Video Clip'
reg 'HKCR\AVIFile' /v EditFlags /t REG_BINARY /d 00000100
reg 'HKCR\AVIFile\CLSID' /v Other /t REG_SZ /d x
reg 'HKCR\AVIFile\shellex\PropertySheetHandlers\AviPage' /ve /t REG_EXPAND_SZ /d '%SystemRoot%\x'
reg 'HKCU\Software\Classes\AVIFile\DefaultIcon' /ve /t REG_SZ /d 'user icon'
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
# msvc* files and a msvc* folder in both system directories: read-only by each of the
# write bits, an upper-case name, dates before 1980 and just before midnight UTC.
for dir in system32 syswow64; do
  d=$windir/$dir
  mkdir -p "$d/msvcfolder" "$d/msvcrofolder"
  chmod 0555 "$d/msvcrofolder"
  printf 'dot' >"$d/.korvane-dot.dll"
  printf 'not a library' >"$d/msvcnotalib.dll"
  touch -d '2001-02-03 23:30:00 UTC' "$d/msvcnotalib.dll"
  for name in msvcro444.dll msvcro464.dll msvcro446.dll MSVCUPPER.DLL msvcold.dll; do
    printf '%s' "$name" >"$d/$name"
  done
  chmod 0444 "$d/msvcro444.dll"; chmod 0464 "$d/msvcro464.dll"; chmod 0446 "$d/msvcro446.dll"
  touch -d '1975-06-30 08:00:00 UTC' "$d/msvcold.dll"
done
wineserver -w

# The live program runs from a folder of its own: Windows searches a program's folder for
# the libraries a library imports, and the build folder holds korvane-dependency.dll.
# A time zone ahead of UTC for the live side: the dates must stay UTC calendar dates.
mkdir -p "$work/live-bin"
cp "$win64/korvane-cli.exe" "$work/live-bin/"
# A crash would wait for a debugger: the timeout ends it as a failure.
TZ=Asia/Tokyo timeout -k 10 300 "$WINE" "$work/live-bin/korvane-cli.exe" run 2>"$work/live.err" | tr -d '\r' >"$work/live.txt"
wineserver -w
"$native/korvane" run --machine "$WINEPREFIX" --view 64 >"$work/offline.txt" 2>"$work/offline.err"
if [ ! -s "$work/live.txt" ] || [ ! -s "$work/offline.txt" ]; then
  echo "FAIL: a report is empty"; cat "$work/live.err" "$work/offline.err"; exit 1
fi

# Lines that may differ, each with its reason. None is listed: every difference runs have
# shown so far was a fault of the offline side and is fixed there.
known_difference() {
  local line=$1
  case "$line" in
    *) return 1 ;;
  esac
}

status=$setup_status
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
