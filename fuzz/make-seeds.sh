#!/usr/bin/env bash
# Makes the fuzzers' starting inputs: tiny videos in the containers we read (made by
# the ffmpeg command from lavfi sources), their parameter sets, and a few times.
set -euo pipefail
out=${1:?usage: make-seeds.sh DIR}
mkdir -p "$out/probe" "$out/parametersets" "$out/commandlinetime"
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
src="testsrc2=size=64x48:rate=10:duration=1"
snd="sine=frequency=440:sample_rate=8000:duration=1"
ff -f lavfi -i "$src" -f lavfi -i "$snd" -c:v libx264 -preset ultrafast -bf 2 -g 5 -c:a aac -b:a 16k "$out/probe/a.mp4"
ff -i "$out/probe/a.mp4" -c copy -movflags +faststart "$out/probe/front.mp4"
ff -i "$out/probe/a.mp4" -c copy "$out/probe/a.mov"
ff -i "$out/probe/a.mp4" -c copy "$out/probe/a.mkv"
ff -i "$out/probe/a.mp4" -c copy "$out/probe/a.ts"
ff -i "$out/probe/a.mp4" -c copy -metadata:s:v:0 rotate=90 "$out/probe/rotated.mp4"
# The decoder configuration records (avcC, hvcC) of an H.264 and an HEVC file, the
# bytes a smart cut reads and rewrites.
ff -f lavfi -i "$src" -c:v libx265 -preset ultrafast -x265-params log-level=error -tag:v hvc1 "$out/probe/a-hevc.mp4"
for f in "$out/probe/a.mp4" "$out/probe/a-hevc.mp4"; do
    python3 - "$f" "$out/parametersets/$(basename "$f").config" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
for name in (b'avcC', b'hvcC'):
    at = data.find(name)
    if at >= 4:
        size = int.from_bytes(data[at - 4:at], 'big')
        open(sys.argv[2], 'wb').write(data[at + 4:at - 4 + size])
PY
done
# A raw H.264 stream with open GOPs: parameter sets, recovery points and the slice
# headers a copy from one renumbers.
ff -f lavfi -i "$src" -frames:v 8 -c:v libx264 -preset ultrafast -bf 2 \
   -x264-params open-gop=1:keyint=4:min-keyint=4:scenecut=0 -f h264 "$out/parametersets/opengop.h264"
for t in 75 75.5 1:15 01:15.250 1:02:05 1:02:05.25 40% 12.5% 0 90:00; do
    printf '%s' "$t" > "$out/commandlinetime/$(echo "$t" | tr ':%.' '-pd')"
done
