#!/usr/bin/env bash
# Start-up of korvane against the least a program of its kind costs, one start after the
# other, written to OUTFILE one line per start (run, milliseconds, command, tab-separated;
# run 0 is a further warm-up).
#   BUILD_DIR a win64 build: korvane.exe against the minimal dialog program, under wine64
#     and Xvfb in one scratch Wine prefix, up to the shown main window (startup-timer.exe).
#   BUILD_DIR a Linux build with -DKORVANE_BENCH=ON: korvane dump of one AVI file, korvane
#     run on the example machine and on it as a disk image (a VHD), against a bare C program
#     that reads the same AVI file (bench-bare-read), each to its end (bench-startup-timer).
#     KORVANE_BEFORE=PATH adds the same commands of another korvane, an earlier build's.
# Usage: bench/startup.sh BUILD_DIR RUNS OUTFILE
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: startup.sh BUILD_DIR RUNS OUTFILE}" && pwd)
runs=${2:?usage: startup.sh BUILD_DIR RUNS OUTFILE}
outfile=${3:?usage: startup.sh BUILD_DIR RUNS OUTFILE}

# The command lines korvane's start-up is timed with, one per line.
native_commands() {
  local avi=$1 image=$2 korvane
  echo "$build/bench-bare-read $avi"
  for korvane in "$build/korvane" ${KORVANE_BEFORE:+"$KORVANE_BEFORE"}; do
    echo "$korvane dump $avi"
    echo "$korvane run --machine $root/examples/win98se"
    echo "$korvane run --machine $image"
  done
}

native_startup() {
  local exe
  for exe in korvane bench-bare-read bench-startup-timer; do
    [ -x "$build/$exe" ] || { echo "startup.sh: $build/$exe is missing (-DKORVANE_BENCH=ON)" >&2; exit 1; }
  done
  # The timer splits its command lines at spaces.
  case "$root$build${KORVANE_BEFORE:-}" in
    *' '*) echo "startup.sh: the paths of the programs must hold no space" >&2; exit 1 ;;
  esac
  work=$(mktemp -d /tmp/korvane-bench.XXXXXX)
  trap 'rm -rf "$work"' EXIT
  "$root/bench/make-avis.sh" "$work/avis" 1
  "$root/scripts/make-installation.sh" "$root/examples/win98se" "$work/w98" >/dev/null
  "$root/scripts/make-disk-image.sh" "$work/w98" "$work/w98.vhd" vhd 64 >/dev/null
  local commands
  mapfile -t commands < <(native_commands "$work/avis/avi-00000.avi" "$work/w98.vhd")
  # Two rounds that put the programs and their libraries in the page cache, not recorded.
  "$build/bench-startup-timer" 2 "${commands[@]}" >/dev/null
  "$build/bench-startup-timer" "$runs" "${commands[@]}" >"$outfile"
  echo "startup.sh: $(grep -c . "$outfile") starts timed" >&2
}

if [ ! -f "$build/korvane.exe" ]; then
  native_startup
  exit 0
fi
for exe in korvane.exe minimal-dialog.exe startup-timer.exe; do
  [ -f "$build/$exe" ] || { echo "startup.sh: $build/$exe is missing" >&2; exit 1; }
done

WINE=${WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
work=$(mktemp -d /tmp/korvane-bench.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEARCH
xvfb_pid=
cleanup() {
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

for n in $(seq 150 199); do
  [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] && continue
  Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
  if [ -e /tmp/.X11-unix/X$n ] && kill -0 "$xvfb_pid" 2>/dev/null; then export DISPLAY=:$n; break; fi
  xvfb_pid=
done
[ -n "$xvfb_pid" ] || { echo "startup.sh: cannot start Xvfb" >&2; exit 1; }

"$WINE" wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log" >&2; exit 1; }
# No window manager on Xvfb: Wine draws the frames itself, for both programs alike.
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
c=$WINEPREFIX/drive_c
cp /usr/share/wine/fonts/*.ttf "$c/windows/Fonts/" 2>/dev/null || true
mkdir -p "$c/bench"
cp "$build/korvane.exe" "$build/minimal-dialog.exe" "$build/startup-timer.exe" "$c/bench/"
# wineboot returns before the prefix's services settle; let them.
"$WINE" wineboot -u >/dev/null 2>&1 || true
sleep 2

# The programs: korvane.exe, the minimal dialog, and the minimal dialog with korvane.exe's
# controls and with its library start-up, to tell where a difference comes from.
programs=(
  'C:\bench\minimal-dialog.exe' 'title:Minimal dialog'
  'C:\bench\minimal-dialog.exe controls' 'title:Minimal dialog'
  'C:\bench\minimal-dialog.exe controls libraries' 'title:Minimal dialog'
  'C:\bench\korvane.exe' 'class:korvaneClass'
)
# Two rounds that warm up the prefix (fonts, the registry, DLLs in the page cache) and
# are not recorded, then the timed rounds.
"$WINE" 'C:\bench\startup-timer.exe' 2 "${programs[@]}" >/dev/null
"$WINE" 'C:\bench\startup-timer.exe' "$runs" "${programs[@]}" | tr -d '\r' >"$outfile"
echo "startup.sh: $(grep -c . "$outfile") starts timed" >&2
