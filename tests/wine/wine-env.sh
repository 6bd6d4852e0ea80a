# Sourced by the Wine suites: which Wine runs the programs of a build.
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

wine_env_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

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
