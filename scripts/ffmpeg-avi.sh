# shellcheck shell=bash
# Sourced by the scripts that make sample AVI files with ffmpeg: the two kinds of file.
# avi_video FILE SIZE RATE FRAMES ENCODER [ffmpeg options]: FRAMES frames of ffmpeg's
#   test pattern at SIZE (WxH) and RATE frames a second, in ENCODER.
# avi_audio FILE SECONDS ENCODER [ffmpeg options]: a 440 Hz tone in ENCODER beside
#   16x16 uncompressed video, which needs no decoder.
avi_video() {
  local file=$1 size=$2 rate=$3 frames=$4 encoder=$5
  shift 5
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc=size=$size:rate=$rate" \
    -frames:v "$frames" -c:v "$encoder" "$@" "$file"
}

avi_audio() {
  local file=$1 seconds=$2 encoder=$3
  shift 3
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=16x16:rate=2 \
    -f lavfi -i sine=frequency=440:sample_rate=22050 -t "$seconds" -c:v rawvideo \
    -pix_fmt bgr24 -c:a "$encoder" "$@" "$file"
}
