#!/usr/bin/env bash
# Puts a Windows installation folder (the root of its system drive) onto a disk image the
# way a virtual machine's disk holds it: an MBR partition table (sfdisk) with one FAT32
# partition (mtools: mformat, mcopy; FAT12/16 below 33 MiB), as a raw image, a VHD or a VMDK (qemu-img convert).
# Nothing is mounted. File times are kept (FAT holds local time: written here as UTC).
# With SECOND, an empty FAT16 data partition comes first and Windows is on partition 2.
# Usage: make-disk-image.sh INSTALLATION_DIR OUT [raw|raw-gpt|vhd|vhd-fixed|vmdk|vmdk-flat] [SIZE_MIB] [SECOND]
set -euo pipefail
src=$1 out=$2 form=${3:-raw} size=${4:-64} second=${5:-}
label=dos fat32=c
if [ "$form" = raw-gpt ]; then  # a GPT partition table, Windows' basic data partition
  form=raw label=gpt fat32=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7
fi
export TZ=UTC MTOOLS_NO_VFAT=0 MTOOLS_SKIP_CHECK=1
raw=$out
[ "$form" = raw ] || raw=$(mktemp --suffix=.img)
rm -f "$raw"
truncate -s "${size}M" "$raw"
if [ -n "$second" ]; then
  size=$((size + 16))
  truncate -s "${size}M" "$raw"
  printf 'label: dos\nstart=2048, size=30720, type=6\nstart=32768, type=c, bootable\n' | sfdisk -q "$raw"
  mformat -i "$raw@@1M" -v DATA -T 30720 -h 64 -s 32 ::
  part="$raw@@16M"
  sectors=$(( (size - 16) * 2048 ))
else
  printf 'label: %s\nstart=2048, type=%s\n' "$label" "$fat32" | sfdisk -q "$raw"
  part="$raw@@1M"
  sectors=$(( (size - 1) * 2048 ))
fi
fat=-F  # FAT32; a partition too small for it gets FAT12 or FAT16, as mformat picks
[ "$sectors" -lt $((64 * 2048)) ] && [ -z "$second" ] && [ "$size" -lt 33 ] && fat=
mformat -i "$part" $fat -v KORVANE -T "$sectors" -h 64 -s 32 ::
# Folders first, then each folder's files in one call with their times (mcopy -m).
(cd "$src" && find . -mindepth 1 -type d -printf '%P\n') | while read -r dir; do
  mmd -i "$part" "::/$dir"
done
(cd "$src" && find . -type d -printf '%P\n') | while read -r dir; do
  files=()
  while IFS= read -r -d '' file; do files+=("$file"); done \
    < <(find "$src/$dir" -mindepth 1 -maxdepth 1 -type f -print0)
  [ ${#files[@]} -eq 0 ] || mcopy -m -i "$part" "${files[@]}" "::/$dir/"
done
case $form in
  raw) ;;
  vhd) qemu-img convert -q -f raw -O vpc "$raw" "$out"; rm -f "$raw" ;;
  vhd-fixed) qemu-img convert -q -f raw -O vpc -o subformat=fixed "$raw" "$out"; rm -f "$raw" ;;
  vmdk) qemu-img convert -q -f raw -O vmdk "$raw" "$out"; rm -f "$raw" ;;
  vmdk-flat) qemu-img convert -q -f raw -O vmdk -o subformat=monolithicFlat "$raw" "$out"; rm -f "$raw" ;;
  *) echo "unknown form $form" >&2; rm -f "$raw"; exit 2 ;;
esac
