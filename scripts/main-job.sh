#!/usr/bin/env bash
# The main job: dumps AVI files made here with ffmpeg.
set -euo pipefail
cd "$(dirname "$0")/.."
samples=build/samples
scripts/make-sample-avis.sh "$samples"
build/native/korvane dump "$samples"/cinepak-upper.avi "$samples"/msmpeg4v3-divx.avi
