#!/usr/bin/env bash
# The report differential: `korvane-cli.exe run` on the live Windows API under Wine
# against the native `korvane run --machine PREFIX` reading the same prefix from disk:
# the x86_64 program under wine64 against `--view 64` of a 64-bit prefix, the i686
# program under 32-bit Wine against the 32-bit prefix. Then `korvane check` from the report
# saved from that view against check on the view itself; then the reports again with Wine
# set to report Windows 98 and NT 4, and the version line under every version name Wine
# knows.
# Called by run-differentials.sh with the prefix it made (WINEPREFIX, WINE and WINE_BITS
# set).
#
# Usage: prefix-differential.sh NATIVE_BUILD WINDOWS_BUILD WORK_DIR
# The reports must agree line for line except for the lines listed in known_difference
# below, each with its reason. Any other difference fails.
set -uo pipefail
native=$1 windows=$2 work=$3
WINE=${WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
WINE_BITS=${WINE_BITS:-64}
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
# one built for the other machine type (with code: Wine maps a 32-bit image without code
# into a 64-bit process), and a drive D: (a dosdevices link) that holds one of them.
sys32=$windir/system32
cp "$windows/korvane-probe.dll" "$windows/korvane-needs-dep.dll" "$sys32/"
other_gcc=i686-w64-mingw32-gcc
[ "$WINE_BITS" = 32 ] && other_gcc=x86_64-w64-mingw32-gcc
$other_gcc -shared -O1 -o "$sys32/korvane-other.dll" "$here/probe_library.c" ||
  setup_failed "no library for the other machine type ($other_gcc failed)"
mkdir -p "$work/d-drive/Codecs"
cp "$windows/korvane-probe.dll" "$work/d-drive/Codecs/Probe.dll"
ln -sfn "$work/d-drive" "$WINEPREFIX/dosdevices/d:"

# drivers32 and drivers.desc: a wildcard value, a value of a non-text type, a full path,
# a bare name that exists and one that does not, our libraries, a path on drive D:.
reg "$nt\drivers32" /v wavemapper /t REG_SZ /d '*.drv'
reg "$nt\drivers32" /v vidc.bin /t REG_BINARY /d 6d73766964633332
reg "$nt\drivers32" /v vidc.full /t REG_SZ /d 'C:\windows\system32\msvidc32.dll'
reg "$nt\drivers32" /v vidc.none /t REG_SZ /d 'nosuch32.dll'
reg "$nt\drivers32" /v vidc.kpro /t REG_SZ /d 'korvane-probe.dll'
reg "$nt\drivers32" /v vidc.kdep /t REG_SZ /d 'korvane-needs-dep.dll'
reg "$nt\drivers32" /v vidc.kother /t REG_SZ /d 'korvane-other.dll'
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
# msvc* files and a msvc* folder in each system directory: read-only by each of the
# write bits, an upper-case name, dates before 1980 and just before midnight UTC.
system_dirs="system32 syswow64"
[ "$WINE_BITS" = 32 ] && system_dirs=system32
for dir in $system_dirs; do
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
# It is named korvane.exe there, so that Wine's settings for korvane.exe, which the
# offline reader follows, are the ones it gets.
# A time zone ahead of UTC for the live side: the dates must stay UTC calendar dates.
mkdir -p "$work/live-bin"
cp "$windows/korvane-cli.exe" "$work/live-bin/korvane.exe"
view=()
[ "$WINE_BITS" = 64 ] && view=(--view 64)

# Lines that may differ, each with its reason. None is listed: every difference runs have
# shown so far was a fault of the offline side and is fixed there.
known_difference() {
  local line=$1
  case "$line" in
    *) return 1 ;;
  esac
}

# compare NAME [RUN_ARGUMENT...]: both reports, line for line.
compare() {
  local name=$1 line status=0
  shift
  # A crash would wait for a debugger: the timeout ends it as a failure.
  TZ=Asia/Tokyo timeout -k 10 300 "$WINE" "$work/live-bin/korvane.exe" run "$@" \
    2>"$work/live.err" | tr -d '\r' >"$work/live-$name.txt"
  wineserver -w
  "$native/korvane" run --machine "$WINEPREFIX" "${view[@]}" "$@" >"$work/offline-$name.txt" \
    2>"$work/offline.err"
  if [ ! -s "$work/live-$name.txt" ] || [ ! -s "$work/offline-$name.txt" ]; then
    echo "FAIL ($name): a report is empty"; cat "$work/live.err" "$work/offline.err"; return 1
  fi
  diff "$work/live-$name.txt" "$work/offline-$name.txt" >"$work/report-$name.diff"
  while IFS= read -r line; do
    case "$line" in
      '< '*) known_difference "${line#< }" || { echo "  unlisted (live):    ${line#< }"; status=1; } ;;
      '> '*) known_difference "${line#> }" || { echo "  unlisted (offline): ${line#> }"; status=1; } ;;
    esac
  done <"$work/report-$name.diff"
  echo "  $name: $(wc -l <"$work/live-$name.txt") live lines, $(wc -l <"$work/offline-$name.txt") offline lines"
  [ $status -eq 0 ] || echo "FAIL ($name): the reports differ"
  return $status
}

# A report saved from this prefix's view answers korvane check as the prefix itself does,
# field by field on the codec samples, both as run -o writes it (CR LF, as Save log as
# does) and with LF line ends, as it arrives after a mail. Both checks must also answer each way at least once, so that
# two empty answers cannot agree.
check_from_report() {
  local avis=$work/codec-avis saved=$work/saved-report own=(--view "$WINE_BITS") form status=0
  "$here/../../../scripts/make-codec-avis.sh" "$avis" >/dev/null ||
    { echo "FAIL: the codec samples could not be made"; return 1; }
  "$native/korvane" check --json --machine "$WINEPREFIX" "${own[@]}" "$avis"/*.avi \
    >"$saved-prefix.json" 2>"$saved.err"
  "$native/korvane" run --machine "$WINEPREFIX" "${own[@]}" -o "$saved.txt" 2>>"$saved.err"
  tr -d '\r' <"$saved.txt" >"$saved-lf.txt"
  for form in "" -lf; do
    "$native/korvane" check --json --machine "$saved$form.txt" "$avis"/*.avi \
      >"$saved$form.json" 2>>"$saved.err"
    if python3 "$here/../../report/compare_checks.py" "$saved-prefix.json" "$saved$form.json" \
        --whole >"$saved$form.diff" &&
        python3 - "$saved$form.json" <<'PY'; then
import json, sys
ready = [s["decoder"]["ready"] for f in json.load(open(sys.argv[1]))["files"]
         for s in f["streams"] if s.get("decoder") and s["decoder"]["needed"]]
sys.exit(0 if True in ready and False in ready else 1)
PY
      echo "  check from the saved report${form:+ ($form)} agrees with the prefix ($WINE_BITS-bit view)"
    else
      echo "FAIL: check from the saved report${form:+ ($form)} differs from the prefix"
      head -20 "$saved$form.diff"; cat "$saved.err"; status=1
    fi
  done
  return $status
}

status=$setup_status
compare default || status=1
printf -- '-- korvane check from a saved report against the prefix\n'
check_from_report || status=1
printf -- '-- the same with Wine reporting another Windows version\n'
# shellcheck source-path=SCRIPTDIR/../../.. source=tests/wine/wine-env.sh
. "$here/../wine-env.sh"
# SETTING NAME: win98 for korvane.exe alone, nt40 for every program, and both at once,
# where the program's own setting wins.
for mode in app:win98 global:nt40 global:win95 both; do
  if [ "$mode" = both ]; then
    set_wine_version global:nt40 korvane.exe &&
      "$WINE" reg add 'HKCU\Software\Wine\AppDefaults\korvane.exe' /v Version /d win98 /f >/dev/null
  else
    set_wine_version "$mode" korvane.exe
  fi || { setup_failed "Wine's version $mode"; continue; }
  wineserver -w
  compare "${mode//:/-}" || status=1
done
# The version line under each name Wine 8 knows, under two it does not (the names are
# matched with case) and an empty one: those leave the version of the registry. Wine's
# table is one for both builds, and under qemu each name costs a restart of Wine's
# services (about 12 s), so the i686 run leaves this to the x86_64 one.
if [ "$WINE_BITS" = 64 ]; then
  printf -- "-- the version line under each of Wine's version names\n"
  for name in win20 win30 win31 win95 win98 winme nt351 nt40 win2000 win2k nt2k nt2000 winxp \
      winxp64 win2003 win2k3 vista winvista win2008 win2k8 win2008r2 win2k8r2 win7 win8 win81 \
      win10 Win98 win99 ''; do
    set_wine_version "app:$name" korvane.exe || { setup_failed "Wine's version $name"; continue; }
    compare "version-${name:-empty}" --tests none >/dev/null || {
      echo "FAIL: the version line with Wine set to \"$name\""
      cat "$work/report-version-${name:-empty}.diff"; status=1; }
  done
fi
[ $status -eq 0 ] && echo "  reports agree" || echo "FAIL: the reports differ"
exit $status
