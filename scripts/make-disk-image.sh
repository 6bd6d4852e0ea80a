#!/usr/bin/env bash
# Puts a Windows installation folder (the root of its system drive) onto a disk image the
# way a virtual machine's disk holds it: an MBR partition table (sfdisk) with one FAT32
# partition (mtools: mformat, mcopy; FAT12/16 below 33 MiB), as a raw image, a VHD or a VMDK (qemu-img convert).
# FAT: nothing is mounted. File times are kept (FAT holds local time: written here as UTC).
# A form ending in -ntfs (raw-ntfs, vhd-ntfs, vmdk-ntfs, ...) makes the partition NTFS
# instead: mkntfs on a file of the partition's size, filled through an ntfs-3g (FUSE)
# mount of it with each file's and folder's time set by touch, unmounted, then copied
# into the image at the partition's offset. That needs root and /dev/fuse: without them
# the script says why and exits with status 77 (skipped).
# With SECOND, an empty FAT16 data partition comes first and Windows is on partition 2.
# Usage: make-disk-image.sh INSTALLATION_DIR OUT [raw|raw-gpt|vhd|vhd-fixed|vmdk|vmdk-flat][-ntfs] [SIZE_MIB] [SECOND]
set -euo pipefail
src=$1 out=$2 form=${3:-raw} size=${4:-64} second=${5:-}
label=dos fat32=c fs=fat
case $form in *-ntfs) form=${form%-ntfs} fs=ntfs fat32=7 ;; esac
if [ "$fs" = ntfs ]; then
  why=
  if [ "$(id -u)" != 0 ]; then why="not root"
  elif [ ! -c /dev/fuse ]; then why="no /dev/fuse"
  elif ! command -v mkntfs >/dev/null || ! command -v ntfs-3g >/dev/null; then
    why="mkntfs or ntfs-3g missing (scripts/install-deps.sh installs ntfs-3g)"
  fi
  if [ -n "$why" ]; then
    echo "cannot make an NTFS image here: filling it needs an ntfs-3g (FUSE) mount ($why)" >&2
    exit 77
  fi
  [ -z "$second" ] || { echo "SECOND is for FAT images only" >&2; exit 2; }
fi
if [ "$form" = raw-gpt ]; then  # a GPT partition table, Windows' basic data partition
  form=raw label=gpt fat32=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7
fi
# Host names are UTF-8: mtools reads them by the locale's character set, and would make
# long names of their bytes one by one in any other.
export TZ=UTC MTOOLS_NO_VFAT=0 MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8
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
ntfs_cleanup() {
  local status=$?
  umount "$mnt" 2>/dev/null; rmdir "$mnt"; rm -f "$ntfs_file"; exit "$status"
}
ntfs() {  # ntfs PARTITION_FILE SECTORS: mkntfs, fill through a mount, unmount
  local file=$1 log
  truncate -s $(( $2 * 512 )) "$file"
  # Hidden sectors and geometry as a partition starting at sector 2048 needs them.
  log=$(mkntfs -F -q -f -s 512 -p 2048 -H 64 -S 32 -L KORVANE "$file" 2>&1) || {
    echo "$log" >&2; exit 1; }
  mnt=$(mktemp -d) ntfs_file=$file
  # Unmounted and removed whatever happens: a failed copy must not leave a mount behind.
  trap ntfs_cleanup EXIT
  ntfs-3g "$file" "$mnt"
  (cd "$src" && find . -mindepth 1 -type d -printf '%P\0') | (cd "$mnt" && xargs -0 -r mkdir -p)
  (cd "$src" && find . -type f -printf '%P\0') |
    while IFS= read -r -d '' f; do cp "$src/$f" "$mnt/$f"; done
  # A file without write permission gets the read-only flag (with archive, as Windows
  # sets it) in its $STANDARD_INFORMATION, through ntfs-3g's attribute extension.
  (cd "$src" && find . -type f ! -perm /222 -printf '%P\0') | (cd "$mnt" && xargs -0 -r python3 -c '
import os, sys
for name in sys.argv[1:]:
    os.setxattr(name, "system.ntfs_attrib_be", (0x21).to_bytes(4, "big"))')
  # Times last, deepest first, so that filling a folder does not change its time again.
  (cd "$src" && find . -mindepth 1 -depth -printf '%P\0') |
    while IFS= read -r -d '' f; do touch -h -d "@$(stat -c %Y "$src/$f")" "$mnt/$f"; done
  umount "$mnt"
  rmdir "$mnt"
  trap - EXIT
}
if [ "$fs" = ntfs ]; then
  sectors=$(( (size - 1) * 2048 ))
  [ "$label" = gpt ] && sectors=$((sectors - 34))  # the backup GPT at the disk's end
  part=$(mktemp --suffix=.ntfs)
  ntfs "$part" "$sectors"
  dd if="$part" of="$raw" bs=1M seek=1 conv=notrunc status=none
  rm -f "$part"
else
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
  # A file without write permission is read-only on the drive (mcopy does not carry it).
  (cd "$src" && find . -type f ! -perm /222 -printf '%P\n') | while read -r file; do
    mattrib -i "$part" +r "::/$file"
  done
fi
case $form in
  raw) ;;
  vhd) qemu-img convert -q -f raw -O vpc "$raw" "$out"; rm -f "$raw" ;;
  vhd-fixed) qemu-img convert -q -f raw -O vpc -o subformat=fixed "$raw" "$out"; rm -f "$raw" ;;
  vmdk) qemu-img convert -q -f raw -O vmdk "$raw" "$out"; rm -f "$raw" ;;
  vmdk-flat) qemu-img convert -q -f raw -O vmdk -o subformat=monolithicFlat "$raw" "$out"; rm -f "$raw" ;;
  *) echo "unknown form $form" >&2; rm -f "$raw"; exit 2 ;;
esac
