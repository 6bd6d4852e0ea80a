#!/usr/bin/env bash
# Installs the Debian packages that building and testing Korvane need. Safe to re-run:
# packages already present are left alone.
# Usage: install-deps.sh [main|test]   or   install-deps.sh --only PACKAGE...
set -euo pipefail
kind=${1:-test}

if [ "$kind" = --only ]; then
  shift
  packages=("$@")
else
  packages=(cmake ninja-build g++ libgtest-dev ffmpeg libcli11-dev nlohmann-json3-dev pkg-config
            groff-base
            # Windows installations and disk images: hivex (NT hives), libcreg (9x
            # registry files; its header needs libbfio's), The Sleuth Kit (images,
            # partitions, FAT, NTFS; VHD and VMDK through libvhdi and libvmdk)
            libhivex-dev libcreg-dev libbfio-dev libtsk-dev
            # Wine's DirectShow decodes through the host's GStreamer: its core, and the riff
            # and pbutils libraries of the base plugins
            libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
            # and the tools that make and check the test machines
            libwin-hivex-perl libregf-utils libcreg-utils mtools ntfs-3g qemu-utils fdisk python3)
  if [ "$kind" = test ]; then
    packages+=(clang libclang-rt-14-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64
               wine wine64 fonts-wine xvfb xdotool imagemagick mediainfo libbenchmark-dev
               clang-format shellcheck lintian dpkg-dev file unzip bc
               # the GStreamer plugins its tests choose from: the AVI demuxer (good), JPEG
               # and mpg123 (good), the libav decoders, and the registry's own tools
               gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
               gstreamer1.0-tools)
  fi
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
