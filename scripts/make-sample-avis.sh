#!/usr/bin/env bash
# Makes small AVI files with ffmpeg for the tests and the README: one second of a test
# pattern per codec, with the FourCC tag spelled in upper, lower and mixed case.
# Usage: make-sample-avis.sh OUTDIR
set -euo pipefail
out=${1:?usage: make-sample-avis.sh OUTDIR}
mkdir -p "$out"

make() {  # make NAME ENCODER TAG [extra ffmpeg options]
  local name=$1 encoder=$2 tag=$3
  shift 3
  [ -s "$out/$name.avi" ] && return
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=64x48:rate=5 -t 1 \
    -c:v "$encoder" -vtag "$tag" "$@" "$out/$name.avi.tmp.avi"
  mv "$out/$name.avi.tmp.avi" "$out/$name.avi"
}

make cinepak-upper cinepak CVID
make cinepak-lower cinepak cvid
make cinepak-mixed cinepak Cvid
make mjpeg-upper mjpeg MJPG -pix_fmt yuvj420p
make mjpeg-lower mjpeg mjpg -pix_fmt yuvj420p
make msmpeg4v2-upper msmpeg4v2 MP42
make msmpeg4v2-lower msmpeg4v2 mp42
make msmpeg4v3-upper msmpeg4 MP43
make msmpeg4v3-lower msmpeg4 mp43
make msmpeg4v3-divx msmpeg4 DIV3
make msmpeg4v3-mixed msmpeg4 Mp43
