#!/usr/bin/env bash
# Makes a large described machine for the benchmark of korvane run --machine: an NT-like
# installation (platform 2, so the registry's drivers32 drivers are loaded too) built on
# the example machine's libraries, with DRIVERS drivers32 values, UNINSTALL Uninstall
# subkeys and MSVC msvc*.dll files in the system directory.
#
# Of the drivers32 values, half name a library that loads (a copy of the example's
# Cinepak codec), a quarter a library whose import is missing, a quarter a file that is
# not there; one Uninstall subkey in ten has no DisplayName.
#
# Usage: make-machine.sh DIR DRIVERS UNINSTALL MSVC
set -euo pipefail
usage="usage: make-machine.sh DIR DRIVERS UNINSTALL MSVC"
dir=${1:?$usage}
drivers=${2:?$usage}
uninstall=${3:?$usage}
msvc=${4:?$usage}
root=$(cd "$(dirname "$0")/.." && pwd)
example=$root/examples/win98se
[ -d "$example/c" ] || { echo "make-machine.sh: $example is missing" >&2; exit 1; }

marker=$dir/.made
wanted="$drivers $uninstall $msvc"
[ -f "$marker" ] && [ "$(cat "$marker")" = "$wanted" ] && exit 0
rm -rf "$dir"
system=$dir/c/WINDOWS/SYSTEM32
mkdir -p "$system"
cp "$example/c/WINDOWS/SYSTEM.INI" "$dir/c/WINDOWS/"
cp "$example"/c/WINDOWS/SYSTEM/* "$system/"

# copies SOURCE NAME...: writes every NAME (in the system directory) as a copy of SOURCE,
# a thousand files per process.
copies() {
  local source=$1
  shift
  [ $# -eq 0 ] && return
  (cd "$system" && printf '%s\0' "$@" | xargs -0 -n 1000 sh -c 'tee "$@" >/dev/null <"$0"' "$source")
}
loads=() broken=()
for ((i = 0; i < drivers; i++)); do
  case $((i % 4)) in
    0 | 2) loads+=("$(printf 'bcodec%05d.dll' "$i")") ;;
    3) broken+=("$(printf 'bbroken%05d.dll' "$i")") ;;
  esac
done
copies "$system/iccvid.dll" "${loads[@]}"
copies "$system/divxc32.dll" "${broken[@]}"  # imports MSVCP60.DLL, which is missing
msvcs=()
for ((i = 0; i < msvc; i++)); do msvcs+=("$(printf 'msvc%05d.dll' "$i")"); done
copies "$system/msvcrt.dll" "${msvcs[@]}"

cat >"$dir/machine.ini" <<'INI'
[machine]
Platform=2
SystemDirectory=C:\WINDOWS\SYSTEM32
Major=5
Minor=1
Build=2600
INI

{
  cat "$example/registry.reg"
  awk -v drivers="$drivers" -v uninstall="$uninstall" 'BEGIN {
    print ""
    print "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT]"
    print ""
    print "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]"
    print "\"CurrentVersion\"=\"5.1\""
    print "\"CurrentBuildNumber\"=\"2600\""
    print ""
    print "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc]"
    print "\"iccvid.dll\"=\"Cinepak Codec by Radius\""
    print "\"msrle32.dll\"=\"Microsoft RLE\""
    print ""
    print "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32]"
    for (i = 0; i < drivers; i++) {
      k = i % 4
      if (k == 0 || k == 2) data = sprintf("bcodec%05d.dll", i)
      else if (k == 3) data = sprintf("bbroken%05d.dll", i)
      else data = sprintf("C:\\\\WINDOWS\\\\SYSTEM32\\\\bgone%05d.dll", i)
      printf "\"vidc.b%05d\"=\"%s\"\n", i, data
    }
    for (i = 0; i < uninstall; i++) {
      printf "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{%08X-B3C4-11D2-9A4B-00A0C9A0%04X}]\n", i * 2654435761 % 4294967296, i % 65536
      if (i % 10 != 9) printf "\"DisplayName\"=\"Benchmark application %d\"\n", i
      printf "\"UninstallString\"=\"C:\\\\Program Files\\\\App %05d\\\\uninst.exe /remove\"\n", i
    }
  }'
} >"$dir/registry.reg"
echo "$wanted" >"$marker"
