#!/usr/bin/env bash
# The same Windows machine in every form korvane reads must give the same answers: the
# example Windows 98 SE machine and an XP-like one, as a described machine and as the
# installation it describes (an installation folder; a FAT32 partition in a raw image
# with an MBR or a GPT partition table,
# a VHD, dynamic and fixed, and a VMDK, sparse and flat; the XP-like one also on an NTFS
# partition, raw, in a VHD and in a VMDK, and that partition mounted with ntfs-3g), each through `korvane run` (the whole report, line for line),
# `korvane check` (every file's findings and verdict) and `korvane codecs` (every decoder,
# filter and DMO with its library's facts).
# Usage: differential.sh [BUILD_DIR]   (default build/native)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/native}" && pwd)
korvane=$build/korvane
# shellcheck source-path=SCRIPTDIR/../.. source=tests/lib.sh
. "$root/tests/lib.sh"
scratch=$(mktemp -d)
cleanup() {
  local mnt
  for mnt in "$scratch"/*.mnt; do umount "$mnt" 2>/dev/null; done
  rm -rf "$scratch"
}
trap cleanup EXIT

# The XP-like described machine: the example's libraries in an NT system directory.
xp=$scratch/winxp-like
mkdir -p "$xp/c/WINDOWS/system32"
cp -a "$root/examples/win98se/c/WINDOWS/SYSTEM/." "$xp/c/WINDOWS/system32/"
cp -a "$root/examples/win98se/c/WINDOWS/SYSTEM.INI" "$xp/c/WINDOWS/system.ini"
cp "$root/tests/disks/winxp-like.reg" "$xp/registry.reg"
# What a reader could get wrong and the report shows: each library's own time, years
# before the image is made (on NTFS those of $STANDARD_INFORMATION, not the names' times,
# which are those of the copy), a read-only file, names in upper and mixed case.
i=0
for file in "$xp"/c/WINDOWS/system32/*; do
  touch -d "@$((998568000 + i * 1333338))" "$file"; i=$((i + 1))
done
mv "$xp/c/WINDOWS/system32/tvcap32.drv" "$xp/c/WINDOWS/system32/TVCAP32.DRV"
mv "$xp/c/WINDOWS/system32/comctl32.dll" "$xp/c/WINDOWS/system32/ComCtl32.dll"
chmod a-w "$xp/c/WINDOWS/system32/msvidc32.dll"
cp "$root/tests/disks/winxp-like.ini" "$xp/machine.ini"
# A library whose name is beyond ASCII: UTF-8 on the host and in the long names of the
# images, registered in the registry's own code page (1252); every form must find it.
cp -p "$xp/c/WINDOWS/system32/msrle32.dll" "$xp/c/WINDOWS/system32/Café.dll"
printf '\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32]\r\n"vidc.kafe"="Caf\351.dll"\r\n' \
  >>"$xp/registry.reg"

"$root/scripts/make-codec-avis.sh" "$scratch/avis" >/dev/null
avis=("$scratch"/avis/*.avi)

# check's and codecs' first lines name the machine by its path; the rest must match exactly.
answers() {  # answers MACHINE OUTPREFIX
  "$korvane" run --machine "$1" >"$2.run" 2>"$2.run.err"; echo "exit $?" >>"$2.run"
  "$korvane" check --machine "$1" "${avis[@]}" 2>"$2.check.err" |
    sed '1s/^machine: [^,]*,/machine: M,/' >"$2.check"; echo "exit ${PIPESTATUS[0]}" >>"$2.check"
  "$korvane" codecs --machine "$1" 2>"$2.codecs.err" |
    sed '1s/^machine: [^,]*,/machine: M,/' >"$2.codecs"; echo "exit ${PIPESTATUS[0]}" >>"$2.codecs"
}

compare() {  # compare NAME DESCRIBED OTHER FORM
  local name=$1 described=$2 other=$3 form=$4
  answers "$described" "$scratch/$name.described"
  answers "$other" "$scratch/$name.$form"
  for what in run check codecs; do
    if diff -u "$scratch/$name.described.$what" "$scratch/$name.$form.$what" >"$scratch/diff"; then
      pass "$name as $form: korvane $what as on the described machine"
    else
      fail "$name as $form: korvane $what differs from the described machine"
      head -40 "$scratch/diff"; cat "$scratch/$name.$form.$what.err"
    fi
  done
  # A report that found nothing would match an empty one: each must hold the machine.
  if grep -q '^GetVersionEx() reports: ver\.' "$scratch/$name.$form.run"; then
    pass "$name as $form: the report holds the version line"
  else
    fail "$name as $form: no version line in the report"
  fi
}

# A report saved on a machine answers korvane check as the machine does, wherever it holds
# the facts: whole (as run -o writes it, and with LF line ends), made with each test off,
# and cut short every few lines. Where it lacks a fact, it says what to ask for.
tests=(systemIni loadDll captureDrivers registryAviFile registryUninstall ntTests msvcList
       wellKnownDlls)
from_report() {  # from_report NAME MACHINE
  local name=$1 machine=$2 dir=$scratch/$1.reports test others lines cut
  mkdir -p "$dir"
  "$korvane" check --json --machine "$machine" "${avis[@]}" >"$dir/machine.json" 2>/dev/null
  "$korvane" run --machine "$machine" -o "$dir/whole.txt" 2>/dev/null
  tr -d '\r' <"$dir/whole.txt" >"$dir/lf.txt"
  report_agrees "$name" "$dir" whole --whole
  report_agrees "$name" "$dir" lf --whole
  for test in "${tests[@]}"; do
    others=$(printf '%s\n' "${tests[@]}" | grep -vx "$test" | paste -sd,)
    "$korvane" run --machine "$machine" --tests "$others" -o "$dir/without-$test.txt" 2>/dev/null
    report_agrees "$name" "$dir" "without-$test"
  done
  lines=$(wc -l <"$dir/whole.txt")
  for ((cut = 2; cut < lines; cut += 5)); do
    head -n "$cut" "$dir/whole.txt" >"$dir/cut-$cut.txt"
    report_agrees "$name" "$dir" "cut-$cut"
  done
}

report_agrees() {  # report_agrees NAME DIR REPORT [--whole]
  local name=$1 dir=$2 report=$3
  shift 3
  "$korvane" check --json --machine "$dir/$report.txt" "${avis[@]}" >"$dir/$report.json" 2>"$dir/err"
  if python3 "$root/tests/report/compare_checks.py" "$dir/machine.json" "$dir/$report.json" "$@" \
    >"$dir/diff"; then
    pass "$name: check from its report ($report) agrees with the machine"
  else
    fail "$name: check from its report ($report) differs from the machine"
    head -20 "$dir/diff"; cat "$dir/err"
  fi
}

mounted() {  # mounted NAME DESCRIBED RAW_IMAGE: its partition (at 1 MiB) through ntfs-3g
  local partition=$scratch/$1.partition mnt=$scratch/$1.mnt
  dd if="$3" of="$partition" bs=1M skip=1 status=none
  mkdir -p "$mnt"
  if ! ntfs-3g -o ro "$partition" "$mnt" 2>"$scratch/mount.err"; then
    fail "$1 as a mounted partition: ntfs-3g cannot mount it"; cat "$scratch/mount.err"
    return
  fi
  compare "$1" "$2" "$mnt" mounted
  umount "$mnt"
  rm -f "$partition"
}

found_kafe() {
  "$korvane" run --machine "$xp" -o "$scratch/kafe.txt" >/dev/null 2>&1 &&
    LC_ALL=C grep -aiq $'system32\\\\Caf\351\\.dll 0x' "$scratch/kafe.txt"
}
check "winxp-like: a library named in code page 1252 is found by its UTF-8 host name" found_kafe

for machine in win98se:"$root/examples/win98se" winxp-like:"$xp"; do
  name=${machine%%:*} described=${machine#*:}
  "$root/scripts/make-installation.sh" "$described" "$scratch/$name-folder"
  compare "$name" "$described" "$scratch/$name-folder" folder
  from_report "$name" "$described"
  from_report "$name-folder" "$scratch/$name-folder"
  forms=(raw raw-gpt vhd vhd-fixed vmdk vmdk-flat)
  [ "$name" = winxp-like ] && forms+=(raw-ntfs vhd-ntfs vmdk-ntfs)
  for form in "${forms[@]}"; do
    # An NTFS image is filled through a FUSE mount: where that cannot be done, the
    # script says why and exits with 77, and the case is skipped, not passed.
    "$root/scripts/make-disk-image.sh" "$scratch/$name-folder" "$scratch/$name.$form" "$form" \
      2>"$scratch/make.err"
    made=$?
    if [ "$made" -eq 77 ]; then
      skip "$name as $form: $(cat "$scratch/make.err")"
      continue
    elif [ "$made" -ne 0 ]; then
      fail "$name as $form: the image could not be made"; cat "$scratch/make.err"
      continue
    fi
    compare "$name" "$described" "$scratch/$name.$form" "$form"
  done
  # The NTFS partition mounted on the host, read-only, as someone with the old disk does.
  [ -f "$scratch/$name.raw-ntfs" ] && mounted "$name" "$described" "$scratch/$name.raw-ntfs"
done

summary
