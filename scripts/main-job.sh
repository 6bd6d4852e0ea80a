#!/usr/bin/env bash
# The main job: the diagnostic report of the example Windows 98 SE machine, then the
# dump of AVI files made here with ffmpeg.
set -euo pipefail
cd "$(dirname "$0")/.."
build/native/korvane run --machine examples/win98se
samples=build/samples
scripts/make-sample-avis.sh "$samples"
build/native/korvane dump "$samples"/cinepak-upper.avi "$samples"/msmpeg4v3-divx.avi
