#!/usr/bin/env bash
# Times `korvane run --machine` on an XP-like installation folder whose SOFTWARE hive is as
# large as a well-used machine's: the XP-like test machine with KEYS more COM classes
# (each a class key with an InprocServer32 subkey and two values, a thousand to a parent
# key: hivex cannot give one key tens of thousands of subkeys), merged with hivex, which
# takes minutes.
# Prints the hive's size and the best of five runs; the hive is loaded whole, so this is
# the cost of a real SOFTWARE hive. Usage: bench/large-hive-speed.sh [BUILD_DIR] [KEYS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native} keys=${2:-20000}
scratch=$(mktemp -d); trap 'rm -rf "$scratch"' EXIT
xp=$scratch/winxp-like
mkdir -p "$xp/c/WINDOWS/system32"
cp -a "$root/examples/win98se/c/WINDOWS/SYSTEM/." "$xp/c/WINDOWS/system32/"
cp "$root/examples/win98se/c/WINDOWS/SYSTEM.INI" "$xp/c/WINDOWS/system.ini"
cp "$root/tests/disks/winxp-like.ini" "$xp/machine.ini"
{
  cat "$root/tests/disks/winxp-like.reg"
  awk -v n="$keys" 'BEGIN {
    for (i = 0; i < n; i++) {
      printf "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Bench%02d\\{%08X-4B6F-7276-616E-650000000000}\\InprocServer32]\r\n", int(i / 1000), i
      printf "@=\"C:\\\\WINDOWS\\\\system32\\\\lib%05d.dll\"\r\n\"ThreadingModel\"=\"Both\"\r\n", i
    }
  }'
} > "$xp/registry.reg"
"$root/scripts/make-installation.sh" "$xp" "$scratch/xp"
hive="$scratch/xp/WINDOWS/system32/config/SOFTWARE"
echo "SOFTWARE hive: $(du -h --apparent-size "$hive" | cut -f1), $keys extra classes"
best=
for _ in 1 2 3 4 5; do
  start=$(date +%s.%N)
  "$build/korvane" run --machine "$scratch/xp" > "$scratch/report" 2> "$scratch/said" ||
    { cat "$scratch/said"; exit 1; }
  t=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
  if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
done
grep -q '^GetVersionEx() reports: ver\. 5\.1' "$scratch/report" || { echo "no XP report"; exit 1; }
printf 'korvane run --machine (installation folder): best of 5: %.3f s, %s report lines\n' \
  "$best" "$(wc -l < "$scratch/report")"
