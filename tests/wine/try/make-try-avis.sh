#!/usr/bin/env bash
# Makes the AVI files of the --try suite with ffmpeg: twelve frames of each video codec
# (so that a try decodes its ten), one file per audio format beside uncompressed video, and
# files in the FourCCs of the repository's test decoders (KVCR crashes, KVHG hangs) and of
# its test DirectShow filters (KVDN cannot be made, KVDC crashes, KVDH hangs).
# Usage: make-try-avis.sh OUTDIR
set -euo pipefail
out=${1:?usage: make-try-avis.sh OUTDIR}
mkdir -p "$out"

# shellcheck source=scripts/ffmpeg-avi.sh
. "$(dirname "$0")/../../../scripts/ffmpeg-avi.sh"
video() { local name=$1; shift; avi_video "$out/$name.avi" 64x48 10 12 "$@"; }  # NAME ENCODER [options]
audio() { local name=$1; shift; avi_audio "$out/$name.avi" 1 "$@"; }           # NAME ENCODER [options]

# fourcc FILE FOURCC: gives the first video stream of FILE the FourCC, in its stream
# header and its format, as a file made for that decoder would carry.
fourcc() {
  python3 - "$1" "$2" <<'PY'
import struct, sys
path, tag = sys.argv[1], sys.argv[2].encode()
data = bytearray(open(path, "rb").read())
strh = data.index(b"strh")
assert data[strh + 8:strh + 12] == b"vids", "the first stream is not video"
data[strh + 12:strh + 16] = tag
strf = data.index(b"strf", strh)
data[strf + 8 + 16:strf + 8 + 20] = tag
open(path, "wb").write(data)
PY
}

video v-cinepak cinepak
video v-msvideo1 msvideo1 -pix_fmt rgb555le
video v-mjpeg mjpeg -pix_fmt yuvj420p
video v-mpeg4-divx mpeg4 -vtag DIVX
video v-mpeg4-xvid mpeg4 -vtag XVID
video v-h264 libx264 -pix_fmt yuv420p
video v-crash rawvideo -pix_fmt bgr24
fourcc "$out/v-crash.avi" KVCR
video v-hang rawvideo -pix_fmt bgr24
fourcc "$out/v-hang.avi" KVHG
for tag in KVDN KVDC KVDH; do
  video "v-$tag" rawvideo -pix_fmt bgr24
  fourcc "$out/v-$tag.avi" "$tag"
done

audio a-adpcm-ima adpcm_ima_wav
audio a-adpcm-ms adpcm_ms
audio a-alaw pcm_alaw
audio a-mulaw pcm_mulaw
audio a-gsm libgsm_ms -ar 8000 -ac 1
audio a-mp3 libmp3lame
# The same with its bit rate in the header (ffmpeg leaves it 0 above).
audio a-mp3-64k libmp3lame -b:a 64k
