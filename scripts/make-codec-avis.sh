#!/usr/bin/env bash
# Makes small AVI files with ffmpeg for korvane check's tests: one per video codec (with
# the FourCC tags people meet) and one per audio format (beside uncompressed video).
# Encoders that this ffmpeg lacks are skipped. Usage: make-codec-avis.sh OUTDIR
set -euo pipefail
out=${1:?usage: make-codec-avis.sh OUTDIR}
mkdir -p "$out"

# shellcheck source-path=SCRIPTDIR/.. source=scripts/ffmpeg-avi.sh
. "$(dirname "$0")/ffmpeg-avi.sh"
# Each file once; an encoder this ffmpeg lacks leaves no file behind.
made() {  # made NAME MAKER [MAKER's arguments]
  local name=$1 maker=$2
  shift 2
  [ -s "$out/$name.avi" ] && return
  "$maker" "$out/$name.tmp.avi" "$@" 2>/dev/null || { rm -f "$out/$name.tmp.avi"; return 0; }
  mv "$out/$name.tmp.avi" "$out/$name.avi"
}
video() { local name=$1; shift; made "$name" avi_video 32x24 5 2 "$@"; }  # video NAME ENCODER [options]
audio() { local name=$1; shift; made "$name" avi_audio 0.5 "$@"; }        # audio NAME ENCODER [options]

video v-cinepak cinepak
video v-mjpeg mjpeg -pix_fmt yuvj420p
video v-msmpeg4v2 msmpeg4v2
video v-msmpeg4v3 msmpeg4
video v-msmpeg4v3-div3 msmpeg4 -vtag DIV3
video v-mpeg4 mpeg4
video v-mpeg4-xvid mpeg4 -vtag XVID
video v-mpeg4-divx mpeg4 -vtag DIVX
video v-mpeg4-dx50 mpeg4 -vtag DX50
video v-huffyuv huffyuv
video v-msvideo1 msvideo1 -pix_fmt rgb555le
video v-msvideo1-cram msvideo1 -pix_fmt rgb555le -vtag CRAM
video v-rawvideo-rgb rawvideo -pix_fmt bgr24
video v-rawvideo-i420 rawvideo -pix_fmt yuv420p
video v-rawvideo-yuy2 rawvideo -pix_fmt yuyv422
video v-ffv1 ffv1
video v-zmbv zmbv -pix_fmt pal8
video v-h264 libx264 -pix_fmt yuv420p
video v-dvvideo dvvideo -s 720x480 -pix_fmt yuv411p -r 30000/1001 -frames:v 1

audio a-pcm pcm_s16le
audio a-adpcm-ms adpcm_ms
audio a-adpcm-ima adpcm_ima_wav
audio a-mp3 libmp3lame
audio a-mp2 mp2
audio a-ac3 ac3
audio a-gsm libgsm_ms -ar 8000 -ac 1
audio a-float pcm_f32le
audio a-aac aac
audio a-wma2 wmav2
audio a-alaw pcm_alaw
audio a-pcm-extensible pcm_s24le -ac 2
audio a-pcm-6ch pcm_s16le -ac 6
