#!/usr/bin/env bash
# Disk images whose libraries carry hidden, system and read-only flags, for the flag
# columns of the library list. From IMAGE (a FAT image of INSTALLATION, from
# scripts/make-disk-image.sh) it makes DIR/flags-fat.img, with the flags set by mattrib;
# from INSTALLATION it makes DIR/flags-ntfs.img and its partition alone,
# DIR/flags-ntfs.part, with the flags set through an ntfs-3g mount (ntfs-3g's attribute
# extension). Where an NTFS image cannot be made here, the FAT image is made all the same
# and the script exits with status 77, saying why on standard error.
# Usage: tests/disks/make-flag-images.sh INSTALLATION IMAGE DIR
set -euo pipefail
installation=$1 image=$2 dir=$3
here=$(cd "$(dirname "$0")" && pwd)
system=::/WINDOWS/SYSTEM

fat=$dir/flags-fat.img
cp "$image" "$fat"
for f in iccvid.dll msrle32.dll; do mattrib -i "$fat@@1M" +h "$system/$f"; done
mattrib -i "$fat@@1M" +r "$system/msrle32.dll"
mattrib -i "$fat@@1M" +s "$system/ir50_32.dll"

ntfs=$dir/flags-ntfs.img partition=$dir/flags-ntfs.part
"$here/../../scripts/make-disk-image.sh" "$installation" "$ntfs" raw-ntfs 40
dd if="$ntfs" of="$partition" bs=1M skip=1 status=none
mnt=$(mktemp -d)
trap 'umount "$mnt" 2>/dev/null || true; rmdir "$mnt"' EXIT
ntfs-3g "$partition" "$mnt"
# FLAGS as the 32-bit big-endian attribute word of $STANDARD_INFORMATION.
set_flags() {  # set_flags FILE FLAGS
  python3 -c 'import os, sys
os.setxattr(sys.argv[1], "system.ntfs_attrib_be", int(sys.argv[2], 0).to_bytes(4, "big"))' "$1" "$2"
}
set_flags "$mnt/WINDOWS/SYSTEM/iccvid.dll" 0x27   # hidden, system, archive, read-only
set_flags "$mnt/WINDOWS/SYSTEM/msrle32.dll" 0x06  # hidden, system
umount "$mnt"
dd if="$partition" of="$ntfs" bs=1M seek=1 conv=notrunc status=none
