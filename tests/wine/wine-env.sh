# shellcheck shell=bash
# Sourced by the Wine suites: which Wine runs the programs of a build, the scratch prefix
# of a run and a display, with tests/lib.sh (the check counters and the test driver).
#
# wine_for_build BUILD_DIR: sets WINE (the command that runs a Windows program, like
#   `wine`) and WINE_BITS (32 or 64) from the machine type of BUILD_DIR/korvane-cli.exe:
#   the x86_64 build runs under the installed wine64, the i686 build under the 32-bit
#   Wine that scripts/setup-wine32.sh prepares (qemu-i386, in build/wine32). A WINE set
#   by the caller is kept.
# make_prefix: makes the Wine prefix $WINEPREFIX for that Wine.
# set_wine_version MODE PROGRAM...: the Windows version Wine reports: MODE "default"
#   removes the setting, "global:NAME" sets HKCU\Software\Wine Version, "app:NAME" sets
#   it under HKCU\Software\Wine\AppDefaults for each PROGRAM (a file name).
# scratch_prefix TAG [KEEP_VARIABLE]: makes the folder $work for this run and points
#   WINEPREFIX into it (not yet made: see make_prefix); at exit the program started
#   ($program_pid), Wine's server, Xvfb ($xvfb_pid) and the folder go, the folder kept
#   instead when the variable named KEEP_VARIABLE is 1.
# start_xvfb FIRST LAST: an Xvfb on the first free display in FIRST..LAST (suites that
#   run side by side pick different ranges); sets DISPLAY and xvfb_pid.

wine_env_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source-path=SCRIPTDIR/../.. source=tests/lib.sh
. "$wine_env_root/tests/lib.sh"

# pe_machine FILE: the COFF machine field of a PE image, as 4 hex digits.
pe_machine() {
  local offset
  offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' '
}

wine_for_build() {
  case $(pe_machine "$1/korvane-cli.exe") in
    014c)
      WINE_BITS=32
      if [ -z "${WINE:-}" ]; then
        "$wine_env_root/scripts/setup-wine32.sh" "$wine_env_root/build/wine32" >&2 || return 1
        WINE=$wine_env_root/build/wine32/bin/wine
      fi
      ;;
    8664)
      WINE_BITS=64
      WINE=${WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
      ;;
    *) echo "wine_for_build: $1/korvane-cli.exe is neither i386 nor x86-64" >&2; return 1 ;;
  esac
}

make_prefix() {
  if [ "$WINE_BITS" = 32 ]; then
    # A 32-bit prefix; Debian's i386 Wine needs MinGW's zlib1.dll in it first.
    mkdir -p "$WINEPREFIX/drive_c/windows/system32"
    cp /usr/i686-w64-mingw32/lib/zlib1.dll "$WINEPREFIX/drive_c/windows/system32/"
    WINEARCH=win32 WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot -i
  else
    WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot -i
  fi
  wineserver -w
}

set_wine_version() {
  local mode=$1 program
  shift
  "$WINE" reg delete 'HKCU\Software\Wine' /v Version /f >/dev/null 2>&1
  for program in "$@"; do
    "$WINE" reg delete "HKCU\\Software\\Wine\\AppDefaults\\$program" /v Version /f >/dev/null 2>&1
  done
  case $mode in
    default) ;;
    global:*) "$WINE" reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d "${mode#global:}" /f >/dev/null ;;
    app:*)
      for program in "$@"; do
        "$WINE" reg add "HKCU\\Software\\Wine\\AppDefaults\\$program" /v Version /t REG_SZ \
          /d "${mode#app:}" /f >/dev/null || return 1
      done
      ;;
    *) echo "set_wine_version: unknown mode $mode" >&2; return 1 ;;
  esac
  wineserver -w
}

scratch_prefix() {
  work=$(mktemp -d "/tmp/korvane-$1.XXXXXX")
  scratch_keep=${2:-}
  export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset WINEARCH
  xvfb_pid=
  program_pid=
  trap scratch_cleanup EXIT
}

scratch_cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  if [ -n "$scratch_keep" ] && [ "${!scratch_keep:-}" = 1 ]; then
    echo "kept $work"
  else
    rm -rf "$work"
  fi
}

start_xvfb() {
  local n
  for n in $(seq "$1" "$2"); do
    [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] && continue
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    if [ -e /tmp/.X11-unix/X$n ] && kill -0 "$xvfb_pid" 2>/dev/null; then
      export DISPLAY=:$n
      return 0
    fi
    xvfb_pid=
  done
  return 1
}
