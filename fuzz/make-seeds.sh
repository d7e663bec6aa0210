#!/usr/bin/env bash
# Makes the fuzzers' starting inputs: tiny videos in the containers we read (made by
# the ffmpeg command from lavfi sources), their movie boxes, and a few times.
set -euo pipefail
out=${1:?usage: make-seeds.sh DIR}
mkdir -p "$out/probe" "$out/moovtrim" "$out/commandlinetime"
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
src="testsrc2=size=64x48:rate=10:duration=1"
snd="sine=frequency=440:sample_rate=8000:duration=1"
ff -f lavfi -i "$src" -f lavfi -i "$snd" -c:v libx264 -preset ultrafast -bf 2 -g 5 -c:a aac -b:a 16k "$out/probe/a.mp4"
ff -i "$out/probe/a.mp4" -c copy -movflags +faststart "$out/probe/front.mp4"
ff -i "$out/probe/a.mp4" -c copy "$out/probe/a.mov"
ff -i "$out/probe/a.mp4" -c copy "$out/probe/a.mkv"
ff -i "$out/probe/a.mp4" -c copy "$out/probe/a.ts"
ff -i "$out/probe/a.mp4" -c copy -metadata:s:v:0 rotate=90 "$out/probe/rotated.mp4"
# The movie box of each MP4, behind four bytes of clip length (3.5 s, any scale).
for f in "$out"/probe/*.mp4 "$out"/probe/*.mov; do
    python3 - "$f" "$out/moovtrim/$(basename "$f").moov" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
at = 0
while at + 8 <= len(data):
    size, kind = struct.unpack('>I4s', data[at:at + 8])
    if size == 1:
        size = struct.unpack('>Q', data[at + 8:at + 16])[0]
    if size < 8:
        break
    if kind == b'moov':
        open(sys.argv[2], 'wb').write(b'\x00\x00\x23\x09' + data[at:at + size])
        break
    at += size
PY
done
for t in 75 75.5 1:15 01:15.250 1:02:05 1:02:05.25 40% 12.5% 0 90:00; do
    printf '%s' "$t" > "$out/commandlinetime/$(echo "$t" | tr ':%.' '-pd')"
done
