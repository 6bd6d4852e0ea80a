#!/usr/bin/env bash
# Turns a described machine (c/ + registry.reg + machine.ini) into the Windows installation
# it describes, as it would lie on its system drive: the files of c/ at the root, the
# registry in the installation's own files (9x: SYSTEM.DAT, USER.DAT; NT: the SOFTWARE
# and SYSTEM hives and the user's NTUSER.DAT), each checked with a second reader.
# Usage: make-installation.sh DESCRIBED_DIR OUT_DIR [USER]   (USER: NT profile, "Owner")
set -euo pipefail
src=$1 out=$2 user=${3:-Owner}
tool="$(dirname "$0")/registry-files.py"
reg="$src/registry.reg"
[ -d "$src/c" ] && [ -f "$reg" ] || { echo "$src: not a described machine" >&2; exit 2; }
mkdir -p "$out"
cp -a "$src/c/." "$out/"

# The Windows directory as machine.ini names it (C:\WINDOWS by default), as a folder.
windir=WINDOWS
if [ -f "$src/machine.ini" ]; then
  named=$(sed -n 's/^[Ww]indows[Dd]irectory=[Cc]:\\\(.*\)\r\{0,1\}$/\1/p' "$src/machine.ini" | tr -d '\r')
  [ -n "$named" ] && windir=$named
fi
win=$(find "$out" -maxdepth 1 -iname "$windir" -type d | head -1)
[ -n "$win" ] || { echo "$src: no folder $windir on drive C:" >&2; exit 2; }

# The registry files; each is read back by a second reader, which must not fail.
check() { "$@" >/dev/null 2>"$out.check.log" || { cat "$out.check.log" >&2; exit 1; }; rm -f "$out.check.log"; }
scratch=$(mktemp -d); trap 'rm -rf "$scratch"' EXIT
# NT or 9x as the described machine is taken: machine.ini's Platform, else its registry.
family=$(python3 "$tool" family "$reg")
if [ -f "$src/machine.ini" ]; then
  case $(sed -n 's/^[Pp]latform=\([0-9]*\).*/\1/p' "$src/machine.ini" | tr -d '\r') in
    1) family=9x ;;
    2) family=nt ;;
  esac
fi
if [ "$family" = nt ]; then
  system32=$(find "$win" -maxdepth 1 -iname system32 -type d | head -1)
  config="$system32/config"
  mkdir -p "$config" "$out/Documents and Settings/$user"
  hive() {  # hive FILE ROOT
    python3 "$tool" empty-hive "$1"
    python3 "$tool" hive-reg "$scratch/merge.reg" "$reg" --root "$2" --sorted
    hivexregedit --merge --prefix "$2" "$1" "$scratch/merge.reg"
    check regfexport "$1"
  }
  hive "$config/SOFTWARE" 'HKEY_LOCAL_MACHINE\SOFTWARE'
  hive "$config/SYSTEM" 'HKEY_LOCAL_MACHINE\SYSTEM'
  hive "$out/Documents and Settings/$user/NTUSER.DAT" 'HKEY_CURRENT_USER'
else
  python3 "$tool" creg "$win/SYSTEM.DAT" "$reg" --root HKEY_LOCAL_MACHINE --spare 16
  python3 "$tool" creg "$win/USER.DAT" "$reg" --root HKEY_CURRENT_USER --under .DEFAULT
  check cregexport "$win/SYSTEM.DAT"
  check cregexport "$win/USER.DAT"
  : > "$win/WIN.COM"
  printf '[Paths]\r\nWinDir=C:\\%s\r\nWinBootDir=C:\\%s\r\nHostWinBootDrv=C\r\n' \
    "$(basename "$win")" "$(basename "$win")" > "$out/MSDOS.SYS"
fi
