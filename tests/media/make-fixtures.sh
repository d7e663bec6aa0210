#!/usr/bin/env bash
# Makes the media files the tests cut, probe and picture, from FFmpeg's lavfi sources.
# Small pictures and short lengths keep this to a few seconds. Usage: make-fixtures.sh DIR
set -euo pipefail
out=${1:?usage: make-fixtures.sh DIR}
script=$(readlink -f "${BASH_SOURCE[0]}")
mkdir -p "$out"
cd "$out"
# Made once per build tree; remade when this script changes.
if [ -f .complete ] && [ .complete -nt "$script" ]; then
    exit 0
fi
rm -f .complete

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

# 10 s at 25 fps, every frame different (the counter), with a tone that changes pitch
# each second so audio can be matched to video.
video="testsrc2=size=320x240:rate=25:duration=10"
audio="sine=frequency=440:beep_factor=2:sample_rate=48000:duration=10"
x264="-c:v libx264 -preset veryfast -pix_fmt yuv420p"
aac="-c:a aac -b:a 96k"

# H.264 with B-frames and a keyframe every 2 s, AAC audio: the common phone video.
ff -f lavfi -i "$video" -f lavfi -i "$audio" $x264 -g 50 -keyint_min 50 -sc_threshold 0 -bf 2 $aac \
   -metadata title="Holiday" -metadata creation_time="2024-05-01T10:00:00Z" -metadata:s:a:0 language=fra h264.mp4
# HEVC tagged hvc1, as phones write it.
ff -f lavfi -i "$video" -f lavfi -i "$audio" -c:v libx265 -preset ultrafast -tag:v hvc1 -pix_fmt yuv420p $aac \
   -x265-params log-level=error:keyint=50:min-keyint=50:bframes=3 hevc.mp4
# One keyframe in 3 s: a strip's pictures are all decoded on from the first frame.
ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=3" $x264 -g 1000 -keyint_min 1000 -sc_threshold 0 -bf 2 \
   onekey.mp4
# A minute with a keyframe every 10 s; small and at 10 fps, so it is made in a moment.
ff -f lavfi -i "testsrc2=size=160x120:rate=10:duration=60" $x264 -g 100 -keyint_min 100 -sc_threshold 0 -bf 2 \
   minute.mp4
# Filmed upright: taller than wide, with a black square in the middle.
ff -f lavfi -i "testsrc2=size=180x320:rate=25:duration=3" -vf "drawbox=x=50:y=120:w=80:h=80:color=black:t=fill" \
   $x264 -g 50 portrait.mp4
# Shot upright on a phone held sideways: stored landscape, shown turned a quarter.
ff -i h264.mp4 -c copy -metadata:s:v:0 rotate=90 rotated.mp4
# Variable frame rate: frame times stretch and shrink along the video.
ff -f lavfi -i "testsrc2=size=320x240:rate=30:duration=10" -f lavfi -i "$audio" -fps_mode vfr \
   -vf "setpts='N/30/TB + 0.02*sin(N/5)/TB'" $x264 -g 60 -bf 2 $aac vfr.mp4
# Open GOPs: pictures after a keyframe may refer back across it.
ff -f lavfi -i "$video" -f lavfi -i "$audio" $x264 -x264-params open-gop=1:keyint=50:min-keyint=50:scenecut=0 \
   -bf 3 $aac opengop.mp4
# The same in MPEG-TS, as a broadcast recording: parameter sets in band, CAVLC
# entropy coding and weighted prediction.
ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=6" -f lavfi -i "$audio" -t 6 $x264 \
   -x264-params open-gop=1:keyint=50:min-keyint=50:scenecut=0:cabac=0:weightp=2 -bf 3 $aac opengop.ts
# Interlaced, top field first, as a broadcast or a camcorder records: in MP4, and in
# MPEG-TS with its clock not at 0.
ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=6" -f lavfi -i "$audio" -t 6 -vf setfield=tff $x264 \
   -flags +ildct+ilme -x264-params tff=1:keyint=50:min-keyint=50:scenecut=0 -bf 2 $aac interlaced.mp4
ff -i interlaced.mp4 -c copy -output_ts_offset 10 -f mpegts interlaced.ts
# Lossless H.264, as a screen recorder or an editor's intermediate file writes it.
ff -f lavfi -i "testsrc2=size=160x120:rate=25:duration=4" $x264 -qp 0 -g 25 lossless.mp4
# A QuickTime movie with Apple's own metadata keys, its colours said to be BT.709 as a
# phone's are.
ff -f lavfi -i "$video" -f lavfi -i "$audio" $x264 -g 50 -bf 2 $aac -movflags +use_metadata_tags \
   -color_primaries bt709 -color_trc bt709 -colorspace bt709 \
   -metadata com.apple.quicktime.make="Trimora Test Camera" -metadata creation_time="2024-05-01T10:00:00Z" \
   -timecode 01:00:00:00 apple.mov
# HEVC with 10 bits a sample, keyframes a second apart.
ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=4" -f lavfi -i "$audio" -t 4 -c:v libx265 -preset ultrafast \
   -tag:v hvc1 -pix_fmt yuv420p10le $aac -x265-params log-level=error:keyint=25:min-keyint=25:bframes=3 hevc10.mp4
# VP8 in WebM, as the desktop's screen recorder makes it.
ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=6" -f lavfi -i "$audio" -t 6 -c:v libvpx -g 50 -b:v 1M \
   -c:a libopus vp8.webm
# VP9 with transparency (an overlay or a sticker): the alpha beside each frame.
ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=4,format=yuva420p,geq=lum='lum(X,Y)':cb='cb(X,Y)':cr='cr(X,Y)':a='128+127*sin(X/20)'" \
   -f lavfi -i "$audio" -t 4 -c:v libvpx-vp9 -pix_fmt yuva420p -g 50 -deadline realtime -cpu-used 8 -b:v 1M \
   -auto-alt-ref 0 -c:a libopus vp9alpha.webm
# AV1 in MP4, keyframes a second apart.
SVT_LOG=1 ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=4" -f lavfi -i "$audio" -t 4 -c:v libsvtav1 -preset 12 -g 25 \
   $aac av1.mp4
# Cut by another tool 1.3 s into a GOP: an edit list hides the frames before.
ff -ss 1.3 -i h264.mp4 -c copy editlist.mp4
# Matroska with H.264 and AAC.
ff -i h264.mp4 -c copy h264.mkv
# The same in two chapters, "Intro" to 4 s and "Rest" after.
printf ';FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=4000\ntitle=Intro\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=4000\nEND=10000\ntitle=Rest\n' > chapters.txt
ff -i h264.mkv -i chapters.txt -map 0 -map_chapters 1 -c copy chapters.mkv
# The same carrying a font for its subtitles, as an attachment.
printf 'a font for the subtitles' > font.ttf
ff -i h264.mkv -map 0 -c copy -attach font.ttf -metadata:s:t mimetype=application/x-truetype-font fonts.mkv
# MPEG-TS as a camcorder records it (AVCHD .mts): start codes, no index, a clock
# that does not start at 0.
ff -i h264.mp4 -c copy -output_ts_offset 3600 -f mpegts h264.mts
# An MP4 whose edit list starts with 10 s of nothing: its header's length counts them.
ff -i h264.mp4 -c copy -output_ts_offset 10 offset.mp4
# A cover picture, as a music video from a store carries one.
ff -i h264.mp4 -f lavfi -i "color=red:size=64x64:duration=0.04" -map 0 -map 1 -c copy -c:v:1 png -frames:v:1 1 \
   -disposition:v:1 attached_pic cover.mp4
# Subtitles: lines shown at 1-4 s and 6-9 s.
printf '1\n00:00:01,000 --> 00:00:04,000\nFirst\n\n2\n00:00:06,000 --> 00:00:09,000\nSecond\n' > subs.srt
ff -i h264.mp4 -i subs.srt -map 0 -map 1 -c copy -c:s mov_text subs.mp4
# Older containers a desktop still meets: Windows Media, Flash video, Ogg Theora and a
# phone's 3GP with H.263.
old="testsrc2=size=176x144:rate=25:duration=6"
oldsound="sine=frequency=440:beep_factor=2:sample_rate=44100:duration=6"
ff -f lavfi -i "$old" -f lavfi -i "$oldsound" -g 25 -c:v wmv2 -c:a wmav2 wmv2.wmv
ff -f lavfi -i "$old" -f lavfi -i "$oldsound" -g 25 -c:v flv1 -c:a mp3 flv1.flv
ff -f lavfi -i "$old" -f lavfi -i "$oldsound" -g 25 -c:v libtheora -c:a libvorbis theora.ogv
ff -f lavfi -i "$old" -f lavfi -i "$oldsound" -g 25 -c:v h263 -c:a aac -ar 8000 -ac 1 h263.3gp
# MPEG-4 Part 2 with B-frames and open GOPs: each I-frame's first B-frames refer to
# the GOP before.
ff -f lavfi -i "$old" -f lavfi -i "$oldsound" -g 25 -bf 2 -c:v mpeg4 -c:a aac mpeg4.mp4
# Xvid in AVI, as its own tools write it: B-frames packed with the frame before them,
# decode times only, and empty chunks for the encoder's delay.
ff -f lavfi -i "$old" -f lavfi -i "$oldsound" -g 25 -bf 2 -c:v libxvid -c:a libmp3lame xvid.avi
# DivX 3, a codec Trimora does not encode: its clips start at keyframes.
ff -f lavfi -i "$video" -g 25 -c:v msmpeg4 divx3.avi
# MPEG-2 in MPEG-TS with open GOPs (FFmpeg's default): each I-frame's first B-frames
# refer to the GOP before.
ff -f lavfi -i "$video" -f lavfi -i "$audio" -c:v mpeg2video -q:v 3 -g 12 -bf 2 -c:a mp2 -f mpegts mpeg2.ts
# AVI with PCM sound, its H.264 pictures in decode order (no B-frames): AVI states
# decode times only.
ff -f lavfi -i "$old" -f lavfi -i "$oldsound" $x264 -bf 0 -g 25 -c:a pcm_s16le pcm.avi
# MPEG-2 in an MPEG program stream, as a DVD or an old camcorder writes it: only some
# frames state their shown time.
ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=6" -f lavfi -i "$oldsound" -t 6 -c:v mpeg2video -g 25 -bf 2 \
   -c:a mp2 mpeg2.mpg
# MPEG-1 with open GOPs, as a Video CD or an old capture card wrote it.
ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=6" -f lavfi -i "$oldsound" -t 6 -c:v mpeg1video -g 12 -bf 2 \
   -c:a mp2 mpeg1.mpg
# AVI: its packets carry no presentation times, so no exact cut is possible.
ff -i h264.mp4 -c copy h264.avi
# The first half of a video whose index is at the front: a download that stopped.
ff -i h264.mp4 -c copy -movflags +faststart front.mp4
head -c $(( $(stat -c %s front.mp4) / 2 )) front.mp4 > truncated.mp4
# Cut off inside what would be its last clip.
head -c $(( $(stat -c %s front.mp4) * 8 / 10 )) front.mp4 > tailcut.mp4
head -c $(( $(stat -c %s h264.mkv) * 8 / 10 )) h264.mkv > tailcut.mkv
# Its first keyframe damaged: a third of the picture's bytes zeroed.
cp h264.mp4 badkey.mp4
read -r size pos < <(ffprobe -v error -select_streams v -show_entries packet=size,pos -of csv=p=0 h264.mp4 | head -n 1 | tr ',' ' ')
dd if=/dev/zero of=badkey.mp4 bs=1 seek=$((pos + size / 3)) count=$((size / 3)) conv=notrunc status=none
# Picture starting 1.5 s after the sound, every frame a keyframe (so thumbnails are
# exact): times count from the file's start, not the picture's.
ff -f lavfi -i "$audio" -itsoffset 1.5 -f lavfi -i "$video" -map 1:v -map 0:a $x264 -g 1 $aac late.mkv
# The same in MP4, where the late start is an empty edit (passthrough: ffmpeg would
# otherwise fill the gap with copies of the first frame).
ff -f lavfi -i "$audio" -itsoffset 1.5 -f lavfi -i "$video" -map 1:v -map 0:a $x264 -g 50 -fps_mode passthrough \
   $aac late.mp4
# Picture starting 45 s after the sound: a long run of sound before the first picture.
ff -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=50" -itsoffset 45 -f lavfi -i "$video" \
   -map 1:v -map 0:a $x264 -g 50 -c:a aac -b:a 32k late45.mkv
# Sound running on 2 s after the picture ends.
ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=5" -f lavfi -i "sine=sample_rate=48000:duration=7" $x264 -g 50 \
   $aac soundtail.mp4
# Video without sound; sound without video, not something to split.
ff -i h264.mp4 -c copy -an videoonly.mp4
ff -f lavfi -i "$audio" $aac audioonly.m4a
# A tone at half of full scale with a second of silence from 1.5 s: a pause the
# waveform must show; the same sound as 16-bit PCM in Matroska.
ff -f lavfi -i "testsrc2=size=160x120:rate=10:duration=4" \
   -f lavfi -i "aevalsrc=exprs='if(between(t,1.5,2.5),0,0.5*sin(2*PI*440*t))':s=48000:d=4" $x264 $aac pause.mp4
ff -i pause.mp4 -c:v copy -c:a pcm_s16le pause.mkv
# Writes an H.264 stream (Annex B) whose parameter sets declare another picture size in
# whole macroblocks, its slices left as they were: a few kilobytes that claim pictures
# of any size. Usage: resize_h264 IN OUT WIDTH HEIGHT
resize_h264() {
    python3 - "$@" <<'PY'
import sys
source, target, width, height = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])

class Bits:
    def __init__(self, data):
        self.bits = ''.join(f'{byte:08b}' for byte in data)
        self.bits = self.bits[:self.bits.rstrip('0').rfind('1')]  # less the stop bit
        self.at = 0
    def u(self, n):
        self.at += n
        return int(self.bits[self.at - n:self.at] or '0', 2)
    def ue(self):
        zeros = len(self.bits[self.at:]) - len(self.bits[self.at:].lstrip('0'))
        self.at += zeros
        return self.u(zeros + 1) - 1

def ue(value):
    code = bin(value + 1)[2:]
    return '0' * (len(code) - 1) + code

def escape(data):
    out, zeros = bytearray(), 0
    for byte in data:
        if zeros >= 2 and byte <= 3:
            out.append(3)
            zeros = 0
        out.append(byte)
        zeros = zeros + 1 if byte == 0 else 0
    return bytes(out)

def resized(sps):
    r = Bits(sps)
    profile = r.u(8); r.u(16); r.ue()
    if profile in (100, 110, 122, 244, 44, 83, 86, 118, 128, 138, 139, 134, 135):
        if r.ue() == 3:
            r.u(1)
        r.ue(); r.ue(); r.u(1)
        assert r.u(1) == 0, 'scaling lists are not handled'
    r.ue()
    order = r.ue()
    if order == 0:
        r.ue()
    elif order == 1:
        r.u(1); r.ue(); r.ue()
        for _ in range(r.ue()):
            r.ue()
    r.ue(); r.u(1)
    head = r.bits[:r.at]
    r.ue(); r.ue()
    assert r.bits[r.at] == '1' and width % 16 == 0 and height % 16 == 0, 'frames only, whole macroblocks'
    bits = head + ue(width // 16 - 1) + ue(height // 16 - 1) + r.bits[r.at:] + '1'
    bits += '0' * (-len(bits) % 8)
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))

out = bytearray()
for unit in open(source, 'rb').read().split(b'\x00\x00\x01')[1:]:
    unit = unit.rstrip(b'\x00')
    if unit[0] & 0x1f == 7:
        unit = unit[:1] + escape(resized(unit[1:].replace(b'\x00\x00\x03', b'\x00\x00')))
    out += b'\x00\x00\x00\x01' + unit
open(target, 'wb').write(out)
PY
}
# 27 KB that declare pictures of 16384×8192, more than Trimora reads (the muxer is kept
# from decoding them).
ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=10" -c:v libx264 -preset veryfast -profile:v baseline -g 50 \
   -b:v 20k -bsf:v h264_mp4toannexb small.h264
resize_h264 small.h264 huge.h264 16384 8192
ff -loglevel fatal -max_pixels 100000 -r 25 -i huge.h264 -c copy huge.mp4
rm -f small.h264 huge.h264
# Its first chunk of pictures said to start 100 bytes before the end of the file, and
# so to run past it: no picture can be read until the next keyframe.
cp h264.mp4 farchunk.mp4
python3 - farchunk.mp4 <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
table = data.find(b'stco')  # the picture's track comes first
struct.pack_into('>I', data, table + 12, len(data) - 100)
open(sys.argv[1], 'wb').write(data)
PY
# The open-GOP video with an index of keyframes that lists only its first, the IDR
# picture, as some muxers write it: the others are recovery points only its pictures
# name.
cp opengop.mp4 opengop-idronly.mp4
python3 - opengop-idronly.mp4 <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
table = data.find(b'stss')  # only the picture's track has one
struct.pack_into('>I', data, table + 8, 1)
open(sys.argv[1], 'wb').write(data)
PY
# A text file that pretends to be a video, and an empty one.
printf 'This is not a video.\n' > notavideo.mp4
: > empty.mp4

touch .complete
