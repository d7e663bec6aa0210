#!/usr/bin/env bash
# Makes the video the benchmarks cut and picture: 1080p at 30 fps, H.264 with AAC
# sound, at a bit rate that puts 240 s at about 1 GB, the size of a long phone video.
# The picture is FFmpeg's moving test card, so every frame differs and the encoder
# cannot shrink it away; -preset ultrafast keeps the making to about a minute on two
# cores. A keyframe every 2 s, as phones write them, so cutting and thumbnails seek
# the way they would on a real video.
#
# Usage: make-bench-video.sh OUT [SECONDS]   (SECONDS defaults to 240, about 1 GB)
#
# Made once: an OUT that is already there, of the size and length SECONDS gives, is
# kept. The file is written under a temporary name and renamed when complete, so a
# stopped run never leaves a short video that a later run would take for the real one.
set -euo pipefail

out=${1:?usage: make-bench-video.sh OUT [SECONDS]}
seconds=${2:-240}
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -lt 2 ]; then
    echo "make-bench-video.sh: SECONDS must be a whole number of at least 2, not '$seconds'" >&2
    exit 2
fi
if ! command -v ffmpeg >/dev/null || ! command -v ffprobe >/dev/null; then
    echo "make-bench-video.sh: ffmpeg and ffprobe are needed (apt-get install ffmpeg)" >&2
    exit 2
fi

video_rate=34000000 # bits per second; ultrafast reaches about 38 Mbit/s on this picture at most
audio_rate=128000
expected=$(( seconds * (video_rate + audio_rate) / 8 ))
low=$(( expected * 85 / 100 ))
high=$(( expected * 115 / 100 ))

# Whole seconds of the file's length, as ffprobe reads it; empty when it cannot.
length_of() {
    ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$1" 2>/dev/null | cut -d. -f1
}

if [ -f "$out" ]; then
    size=$(stat -c %s "$out")
    length=$(length_of "$out" || true)
    if [ "$size" -ge "$low" ] && [ "$size" -le "$high" ] && [ "${length:-0}" -eq "$seconds" ]; then
        echo "kept $out ($(( size / 1000000 )) MB, ${seconds} s)" >&2
        exit 0
    fi
    echo "remaking $out: it has $(( size / 1000000 )) MB and ${length:-no} s, not about $(( expected / 1000000 )) MB and ${seconds} s" >&2
fi

mkdir -p "$(dirname "$out")"
partial="$out.partial.mp4"
trap 'rm -f "$partial"' EXIT
started=$(date +%s)
ffmpeg -hide_banner -loglevel error -nostdin -y \
    -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=${seconds}" \
    -f lavfi -i "sine=frequency=440:beep_factor=2:sample_rate=48000:duration=${seconds}" \
    -c:v libx264 -preset ultrafast -b:v "$video_rate" -maxrate "$video_rate" -bufsize $(( video_rate * 2 )) \
    -g 60 -keyint_min 60 -sc_threshold 0 -pix_fmt yuv420p \
    -c:a aac -b:a "$audio_rate" \
    "$partial"
mv -f "$partial" "$out"
trap - EXIT
size=$(stat -c %s "$out")
echo "made $out: $(( size / 1000000 )) MB, ${seconds} s, in $(( $(date +%s) - started )) s" >&2
