#!/usr/bin/env bash
# Trimora's benchmarks, all in one run so that every ratio compares numbers taken on
# the same machine, disk and page cache within minutes of each other:
#
#   cutting   - `trimora split VIDEO --parts 5` into a library folder (cut, then add
#               to the library), against the physical floor (`cp` of the whole file:
#               the clips together are the file's bytes, read once and written once)
#               and against what a user could do instead: ffmpeg -c copy once per
#               clip, ffmpeg's segment muxer, mkvmerge --split;
#   smart cut - the same five clips split a frame after each keyframe, so that each
#               split encodes again the most a 2 s keyframe spacing can ask for,
#               against `--keyframes` (which moves the splits to the keyframes and
#               encodes nothing: a copy, as every cut was before the smart cut) and
#               against ffmpeg -c:v libx264 -preset veryfast encoding the whole file
#               (timed once: it takes minutes);
#   strip     - the editor's eight timeline pictures at 160x90, against ffmpeg run
#               once per picture, and those of the strip zoomed in all the way (the
#               zoom's latency);
#   open      - opening the video in the editor (probe, strip, first frame on screen),
#               against ffprobe plus ffmpeg decoding the first frame;
#   stepping  - a paused frame step in the editor (trimora_step_bench, its own table:
#               forward, back, and back across a keyframe at once and after a pause, on
#               1080p H.264 and 4K HEVC 10-bit, against ffmpeg);
#   waveform  - the editor's waveform of two hours of sound (trimora_sound_bench: the
#               peaks read and kept, then read from the cache folder), against ffmpeg
#               decoding that sound to nothing on one thread;
#   memory    - the peak resident memory of `trimora split` on the 1 GB video and on a
#               10 s one: a cutter that streams packets must not grow with the file;
#   open GOPs - the smart cut on 60 s videos whose keyframes start open GOPs (H.264,
#               HEVC, MPEG-2), four splits a frame after a keyframe, against
#               `--keyframes` on each: the cost of a split, and the peak memory;
#   disks     - the 1 GB video and its clips on a fresh ext4, btrfs and XFS (images
#               mounted over loop devices: needs root and the mkfs tools, else
#               skipped): `--parts 5 --keyframes` and the smart cut against `cp` (and
#               `cp --reflink`) on the same disk, and how much the disk filled.
#
# Usage: bench/run-benchmarks.sh [BUILD_DIR]
#   BUILD_DIR holds the `trimora` binary and bench/trimora_thumbnail_bench, from a
#   configure with -DTRIMORA_BUILD_BENCH=ON; an optimised build gives the numbers that
#   matter (Debug is measured, with a warning). Without it, the first of build/bench,
#   build/ci and build/dev that has both is taken.
# Environment:
#   TRIMORA_BENCH_DIR   work folder (default build/bench-data): the videos are made
#                       there once and kept, with each run's table (results-*.txt);
#                       every output goes to a scratch folder inside it that is
#                       removed at the end
#   TRIMORA_BENCH_RUNS  timed runs per contestant (default 5); the median is reported
#   TRIMORA_BENCH_SYNC  1 (default): every run of every contestant ends with `sync`,
#                       so a run is done when its clips are on the disk, as a user who
#                       then unplugs the drive needs; 0: no contestant syncs, which
#                       measures the page cache only
#
# Installs nothing; checks for ffmpeg, ffprobe, mkvmerge and /usr/bin/time. A
# benchmark, not a test: it exits 0 whether the targets are met or not, and non-zero
# only when a contestant could not run or wrote the wrong clips.
set -euo pipefail

# Decimal points in EPOCHREALTIME, printf and awk, whatever the user's locale.
export LC_ALL=C.UTF-8

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$script_dir/.." && pwd)

die() { echo "run-benchmarks.sh: $*" >&2; exit 2; }

# ---------------------------------------------------------------- what is needed

missing=0
for tool in ffmpeg ffprobe; do
    command -v "$tool" >/dev/null || { echo "missing: $tool (apt-get install ffmpeg)" >&2; missing=1; }
done
command -v mkvmerge >/dev/null || { echo "missing: mkvmerge (apt-get install mkvtoolnix)" >&2; missing=1; }
[ -x /usr/bin/time ] || { echo "missing: /usr/bin/time (apt-get install time)" >&2; missing=1; }
[ "$missing" -eq 0 ] || die "install the tools above and run again"

if [ $# -ge 1 ]; then
    build=$(cd "$1" && pwd) || die "no build folder '$1'"
else
    build=
    for candidate in "$root/build/bench" "$root/build/ci" "$root/build/dev"; do
        if [ -x "$candidate/trimora" ] && [ -x "$candidate/bench/trimora_thumbnail_bench" ]; then
            build=$candidate
            break
        fi
    done
    [ -n "$build" ] || die "no build with the benchmarks found; configure one with -DTRIMORA_BUILD_BENCH=ON and pass its folder"
fi
trimora=$build/trimora
thumbnail_bench=$build/bench/trimora_thumbnail_bench
[ -x "$trimora" ] || die "no trimora binary in $build"
[ -x "$thumbnail_bench" ] || die "no bench/trimora_thumbnail_bench in $build (configure with -DTRIMORA_BUILD_BENCH=ON)"
open_bench=$build/bench/trimora_open_bench
[ -x "$open_bench" ] || die "no bench/trimora_open_bench in $build (configure with -DTRIMORA_BUILD_BENCH=ON)"
sound_bench=$build/bench/trimora_sound_bench
[ -x "$sound_bench" ] || die "no bench/trimora_sound_bench in $build (configure with -DTRIMORA_BUILD_BENCH=ON)"
step_bench=$build/bench/trimora_step_bench
[ -x "$step_bench" ] || die "no bench/trimora_step_bench in $build (configure with -DTRIMORA_BUILD_BENCH=ON)"
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
case "${build_type:-unknown}" in
    Release | RelWithDebInfo | MinSizeRel) ;;
    *) echo "warning: $build is a ${build_type:-unknown} build; Trimora's numbers will be pessimistic" >&2 ;;
esac

runs=${TRIMORA_BENCH_RUNS:-5}
[[ $runs =~ ^[1-9][0-9]*$ ]] || die "TRIMORA_BENCH_RUNS must be a whole number above 0, not '$runs'"
sync_after=${TRIMORA_BENCH_SYNC:-1}
[[ $sync_after =~ ^[01]$ ]] || die "TRIMORA_BENCH_SYNC must be 0 or 1, not '$sync_after'"

work=${TRIMORA_BENCH_DIR:-$root/build/bench-data}
mkdir -p "$work"
work=$(cd "$work" && pwd)
# Never near the user's own videos: everything here is deleted again.
# Trimora's default library is in the user's video folder; xdg-user-dir answers the home
# folder itself when none is set, where Qt (and so Trimora) takes ~/Videos.
videos_home=$(xdg-user-dir VIDEOS 2>/dev/null || true)
if [ -z "$videos_home" ] || [ "$videos_home" = "${HOME:-}" ]; then
    videos_home=${HOME:-/nonexistent}/Videos
fi
case "$work/" in
    "$videos_home"/*) die "TRIMORA_BENCH_DIR ($work) is inside the video folder $videos_home; choose another" ;;
esac

# ---------------------------------------------------------------- the videos

big=$work/bench-1080p-240s.mp4
small=$work/bench-1080p-10s.mp4
"$script_dir/make-bench-video.sh" "$big" 240
"$script_dir/make-bench-video.sh" "$small" 10

scratch=$(mktemp -d "$work/run.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
[ "$(stat -c %d "$big")" = "$(stat -c %d "$scratch")" ] || die "the outputs would not be on the video's filesystem"

duration=$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$big")
source_bytes=$(stat -c %s "$big")
parts=5
# The split times a user would type for five equal parts.
cut_times=()
for ((k = 1; k < parts; ++k)); do
    cut_times+=("$(awk -v d="$duration" -v k="$k" -v n="$parts" 'BEGIN { printf "%.3f", d * k / n }')")
done
joined_times=$(IFS=,; echo "${cut_times[*]}")
# The same splits one frame after the keyframe at each (keyframes every 2 s): the most
# a smart cut encodes again for one split. --at arguments for Trimora.
off_key_arguments=()
for time in "${cut_times[@]}"; do
    off_key_arguments+=(--at "$(awk -v t="$time" 'BEGIN { printf "%.3f", 2 * int(t / 2) + 1 / 30 }')")
done

# Warm cache: every contestant reads the video from memory, so the disk's read speed
# (the same for all) does not hide their differences.
cat "$big" "$small" >/dev/null
resident=$(fincore --bytes --noheadings --output RES "$big" 2>/dev/null | tr -d ' ' || true)

clock_ticks=$(getconf CLK_TCK)
cores=$(nproc)

# ---------------------------------------------------------------- contestants
# Each writes into the empty folder $1 and nowhere else (Trimora's cache included).

floor_cp() {
    # --reflink=never: a clone would copy no data, and the floor is copying it.
    cp --reflink=never -- "$big" "$1/copy.mp4"
}

# Fills the caller's array `command` with Trimora's command line. A home of its own:
# its cache and settings stay in the scratch folder (clips are cut straight into the
# library folder, and the cache stays empty). env execs trimora, so a wrapper such as
# /usr/bin/time measures Trimora itself.
trimora_command() {
    local out=$1 video=$2
    shift 2
    [ $# -gt 0 ] || set -- --parts "$parts"
    mkdir -p "$out/home"
    command=(env HOME="$out/home" XDG_CACHE_HOME="$out/home/.cache" XDG_CONFIG_HOME="$out/home/.config"
        XDG_DATA_HOME="$out/home/.local/share" XDG_RUNTIME_DIR="$out/home/run"
        "$trimora" split "$video" "$@" --library "$out/library")
}
trimora_split() {
    local command
    trimora_command "$1" "$big"
    "${command[@]}"
}

trimora_smart() {
    local command
    trimora_command "$1" "$big" "${off_key_arguments[@]}"
    "${command[@]}"
}
trimora_keyframes() {
    local command
    trimora_command "$1" "$big" "${off_key_arguments[@]}" --keyframes
    "${command[@]}"
}

ffmpeg_per_clip() {
    local from=0 k
    for ((k = 0; k < parts; ++k)); do
        if ((k < parts - 1)); then
            ffmpeg -nostdin -hide_banner -v error -y -ss "$from" -to "${cut_times[k]}" -i "$big" -c copy "$1/clip-$k.mp4"
            from=${cut_times[k]}
        else
            ffmpeg -nostdin -hide_banner -v error -y -ss "$from" -i "$big" -c copy "$1/clip-$k.mp4"
        fi
    done
}

ffmpeg_segment() {
    ffmpeg -nostdin -hide_banner -v error -y -i "$big" -map 0 -c copy \
        -f segment -segment_times "$joined_times" -reset_timestamps 1 "$1/clip-%d.mp4"
}

mkvmerge_split() {
    local stamps
    stamps=$(printf '%ss,' "${cut_times[@]}")
    # Exit 1 is mkvmerge's "done, with warnings".
    mkvmerge -q -o "$1/clip.mkv" --split "timestamps:${stamps%,}" "$big" || [ $? -eq 1 ]
}

contestants=(floor_cp trimora_split trimora_smart trimora_keyframes ffmpeg_per_clip ffmpeg_segment mkvmerge_split)
declare -A label=(
    [floor_cp]="floor: cp of the whole file"
    [trimora_split]="trimora split --parts 5 (+library)"
    [trimora_smart]="trimora, 4 splits 1 frame after a key"
    [trimora_keyframes]="the same with --keyframes"
    [ffmpeg_per_clip]="ffmpeg -ss/-to -c copy, 5 runs"
    [ffmpeg_segment]="ffmpeg -f segment -c copy"
    [mkvmerge_split]="mkvmerge --split timestamps (MKV)"
)
declare -A expected_files=([floor_cp]=1 [trimora_split]=$parts [trimora_smart]=$parts [trimora_keyframes]=$parts [ffmpeg_per_clip]=$parts [ffmpeg_segment]=$parts [mkvmerge_split]=$parts)

# A run that wrote the wrong clips would look fast: count them and their bytes (every
# contestant's clips together hold about the whole video; overlap makes some more).
check_outputs() {
    local name=$1 out=$2 files bytes
    files=$(find "$out" -type f \( -name '*.mp4' -o -name '*.mkv' \) -not -path "$out/home/*" | wc -l)
    bytes=$(find "$out" -type f \( -name '*.mp4' -o -name '*.mkv' \) -not -path "$out/home/*" -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
    # Encoding again makes a smaller file; only its count is checked.
    local least=$((source_bytes * 9 / 10))
    [ "$name" = ffmpeg_reencode ] && least=1
    if [ "$files" -ne "${expected_files[$name]}" ] || [ "$bytes" -lt "$least" ]; then
        echo "run-benchmarks.sh: $name wrote $files files of $bytes bytes in all, not ${expected_files[$name]} files of about $source_bytes" >&2
        find "$out" -type f -printf '  %p %s\n' >&2
        exit 1
    fi
    if [[ $name = trimora_* ]] && [ -n "$(find "$out/home/.cache" -path '*/cuts/*' -type f 2>/dev/null)" ]; then
        echo "run-benchmarks.sh: trimora left working files in its cache folder" >&2
        exit 1
    fi
}

# The CPU seconds this shell's finished children have used (user + system), from the
# `times` builtin's second line. `times` must run in the calling shell, not in a
# command substitution's, whose children are others: hence the file.
children_cpu() {
    times >"$scratch/times.txt"
    awk 'NR == 2 { for (i = 1; i <= 2; ++i) { split($i, t, /[ms]/); s += t[1] * 60 + t[2] } print s }' "$scratch/times.txt"
}

# Busy jiffies of the whole machine so far (everything but idle and iowait).
machine_busy() {
    awk '$1 == "cpu" { print $2 + $3 + $4 + $7 + $8 + $9; exit }' /proc/stat
}

# Runs one contestant into a fresh folder and prints its wall time in seconds, then
# the share of the machine's CPU that went to other processes meanwhile: on a shared
# machine another build can take a core, and a contestant that cuts on both cores
# (Trimora) loses more to that than one that runs on one, so the table shows it. The
# kernel's writing back of the contestant's own files counts as "other", a few
# percent. The previous run's files are deleted and synced away first, untimed, so no
# run pays for another's writing back.
time_one() {
    local name=$1 out=$scratch/out started finished cpu_before cpu_after busy_before busy_after
    rm -rf "$out"
    mkdir -p "$out"
    sync
    children_cpu >"$scratch/cpu-before.txt"
    busy_before=$(machine_busy)
    started=$EPOCHREALTIME
    if ! "$name" "$out" >"$scratch/$name.log" 2>&1; then
        echo "run-benchmarks.sh: $name failed:" >&2
        cat "$scratch/$name.log" >&2
        exit 1
    fi
    if [ "$sync_after" -eq 1 ]; then
        sync
    fi
    finished=$EPOCHREALTIME
    busy_after=$(machine_busy)
    children_cpu >"$scratch/cpu-after.txt"
    cpu_before=$(<"$scratch/cpu-before.txt")
    cpu_after=$(<"$scratch/cpu-after.txt")
    check_outputs "$name" "$out"
    rm -rf "$out"
    printf '%s %s\n' "$(awk -v a="$started" -v b="$finished" 'BEGIN { printf "%.3f", b - a }')" \
        "$(other_share "$started" "$finished" "$cpu_before" "$cpu_after" "$busy_before" "$busy_after")"
}

# Percent of the machine's CPU (all cores) over a span that went to processes other
# than this shell's children: other_share WALL0 WALL1 CHILDREN_CPU0 CHILDREN_CPU1 BUSY0 BUSY1
other_share() {
    awk -v a="$1" -v b="$2" -v c0="$3" -v c1="$4" -v m0="$5" -v m1="$6" -v hz="$clock_ticks" -v cores="$cores" 'BEGIN {
        share = 100 * ((m1 - m0) / hz - (c1 - c0)) / ((b - a) * cores)
        printf "%d", (share < 0) ? 0 : share
    }'
}

# The numbers given (as arguments, or space-separated within them) in increasing order.
sorted() { tr -s ' ' '\n' <<<"$*" | grep -v '^$' | sort -g; }
median() { sorted "$@" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
minimum() { sorted "$@" | head -n 1; }
maximum() { sorted "$@" | tail -n 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
at_most() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a <= b) }'; }
verdict() { if "$@"; then echo "met"; else echo "MISSED"; fi; }

# ---------------------------------------------------------------- cutting

echo "Trimora benchmarks, $(date '+%Y-%m-%d %H:%M')" >&2
echo "cutting: one untimed round to load the programs and check their clips, then $runs timed rounds" >&2
# Rounds go through every contestant in turn, so a slow spell of the machine is
# shared by all of them instead of landing on one.
declare -A times=() others=()
for name in "${contestants[@]}"; do
    time_one "$name" >/dev/null
done
for ((round = 1; round <= runs; ++round)); do
    for name in "${contestants[@]}"; do
        result=$(time_one "$name")
        read -r wall other <<<"$result"
        times[$name]+="$wall "
        others[$name]+="$other "
    done
    echo "  round $round of $runs done" >&2
done

# What a smart cut saves: encoding the whole video again. Once, because it takes
# minutes.
ffmpeg_reencode() {
    ffmpeg -nostdin -hide_banner -v error -y -i "$big" -map 0 -c:v libx264 -preset veryfast -c:a copy "$1/whole.mp4"
}
label[ffmpeg_reencode]="ffmpeg -c:v libx264 -preset veryfast"
expected_files[ffmpeg_reencode]=1
echo "encoding the whole video again with ffmpeg, once" >&2
read -r reencode_seconds reencode_other <<<"$(time_one ffmpeg_reencode)"

# ---------------------------------------------------------------- strip pictures

echo "strip pictures: trimora_thumbnail_bench, then ffmpeg once per picture" >&2
children_cpu >"$scratch/cpu-before.txt"
strip_busy_before=$(machine_busy)
strip_started=$EPOCHREALTIME
thumbnail_output=$("$thumbnail_bench" "$big" --runs "$((runs < 7 ? 7 : runs))")
cold_ms=$(awk '$1 == "cold_ms" { print $2 }' <<<"$thumbnail_output")
warm_ms=$(awk '$1 == "warm_ms" { print $2 }' <<<"$thumbnail_output")
zoom_ms=$(awk '$1 == "zoom_ms" { print $2 }' <<<"$thumbnail_output")
frames_ms=$(awk '$1 == "frames_ms" { print $2 }' <<<"$thumbnail_output")
if [ -z "$cold_ms" ] || [ -z "$warm_ms" ] || [ -z "$zoom_ms" ] || [ -z "$frames_ms" ]; then
    die "trimora_thumbnail_bench printed no times: $thumbnail_output"
fi

# What a script without Trimora does for a strip: one ffmpeg per picture, seeking on
# input, scaled by ffmpeg to the strip's size.
ffmpeg_strip() {
    local k at
    for ((k = 0; k < 8; ++k)); do
        at=$(awk -v d="$duration" -v k="$k" 'BEGIN { printf "%.3f", d * k / 8 }')
        ffmpeg -nostdin -hide_banner -v error -y -ss "$at" -i "$big" -frames:v 1 -s 160x90 "$1/strip-$k.png"
    done
}
strip_times=()
mkdir -p "$scratch/strip"
ffmpeg_strip "$scratch/strip" # untimed, as for every other contestant
for ((round = 1; round <= runs; ++round)); do
    rm -f "$scratch"/strip/*.png
    started=$EPOCHREALTIME
    ffmpeg_strip "$scratch/strip"
    finished=$EPOCHREALTIME
    strip_times+=("$(awk -v a="$started" -v b="$finished" 'BEGIN { printf "%.1f", (b - a) * 1000 }')")
done
[ "$(find "$scratch/strip" -name '*.png' | wc -l)" -eq 8 ] || die "ffmpeg did not write the 8 strip pictures"
ffmpeg_strip_ms=$(median "${strip_times[@]}")
strip_finished=$EPOCHREALTIME
strip_busy_after=$(machine_busy)
children_cpu >"$scratch/cpu-after.txt"
strip_others=$(other_share "$strip_started" "$strip_finished" "$(<"$scratch/cpu-before.txt")" \
    "$(<"$scratch/cpu-after.txt")" "$strip_busy_before" "$strip_busy_after")

# ---------------------------------------------------------------- opening

echo "opening: trimora_open_bench, then ffprobe + ffmpeg's first frame" >&2
open_output=$(QT_QPA_PLATFORM=offscreen "$open_bench" "$big" --runs "$((runs < 7 ? 7 : runs))" 2>/dev/null)
ready_ms=$(awk '$1 == "ready_ms" { print $2 }' <<<"$open_output")
frame_ms=$(awk '$1 == "frame_ms" { print $2 }' <<<"$open_output")
[ -n "$ready_ms" ] && [ -n "$frame_ms" ] || die "trimora_open_bench printed no times: $open_output"
# The least a program that opens a video for editing does: read its header and decode
# its first picture.
ffmpeg_open() {
    ffprobe -v error -show_format -show_streams "$big" >/dev/null
    ffmpeg -nostdin -hide_banner -v error -i "$big" -frames:v 1 -f null -
}
open_times=()
ffmpeg_open
for ((round = 1; round <= runs; ++round)); do
    started=$EPOCHREALTIME
    ffmpeg_open
    finished=$EPOCHREALTIME
    open_times+=("$(awk -v a="$started" -v b="$finished" 'BEGIN { printf "%.1f", (b - a) * 1000 }')")
done
ffmpeg_open_ms=$(median "${open_times[@]}")

# ---------------------------------------------------------------- memory

echo "memory: /usr/bin/time -v of trimora split, 3 runs on each video" >&2
peak_rss_mb() {
    local video=$1 peak=0 kb out=$scratch/memory command
    shift
    for ((round = 1; round <= 3; ++round)); do
        rm -rf "$out"
        mkdir -p "$out"
        trimora_command "$out" "$video" "$@"
        /usr/bin/time -v -o "$scratch/time.txt" "${command[@]}" >"$scratch/memory.log" 2>&1 ||
            { cat "$scratch/memory.log" "$scratch/time.txt" >&2; die "trimora split failed on $video"; }
        kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$scratch/time.txt")
        if ((kb > peak)); then
            peak=$kb
        fi
    done
    rm -rf "$out"
    awk -v k="$peak" 'BEGIN { printf "%.1f", k / 1024 }'
}
rss_big=$(peak_rss_mb "$big")
rss_small=$(peak_rss_mb "$small")
rss_smart=$(peak_rss_mb "$big" "${off_key_arguments[@]}")

# ---------------------------------------------------------------- open GOPs
# A smart cut in videos whose keyframes let the pictures after them refer back across
# them (x264 --open-gop, x265's default, broadcast MPEG-2): 60 s of 1080p30 with a
# keyframe every 2 s, four splits a frame after a keyframe, against --keyframes on the
# same video. Each split may encode at most one keyframe interval.

echo "open GOPs: H.264, HEVC and MPEG-2, --keyframes and the smart cut, $runs runs each" >&2
make_open_gop() {
    local out=$1 partial=$1.partial.${1##*.}
    shift
    [ -f "$out" ] && return 0
    ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=60" \
        -f lavfi -i "sine=frequency=440:beep_factor=2:sample_rate=48000:duration=60" "$@" -c:a aac "$partial"
    mv -f "$partial" "$out"
}
open_gop_videos=("$work/open-gop-h264.mp4" "$work/open-gop-hevc.mp4" "$work/open-gop-mpeg2.ts")
make_open_gop "${open_gop_videos[0]}" -c:v libx264 -preset ultrafast -b:v 20M -g 60 -keyint_min 60 -sc_threshold 0 \
    -x264-params open-gop=1:bframes=3
make_open_gop "${open_gop_videos[1]}" -c:v libx265 -preset ultrafast -b:v 10M \
    -x265-params keyint=60:min-keyint=60:scenecut=0:open-gop=1:bframes=3:log-level=error
make_open_gop "${open_gop_videos[2]}" -c:v mpeg2video -q:v 3 -g 60 -bf 2 -sc_threshold 1000000000
open_gop_arguments=(--at 10.033 --at 20.033 --at 30.033 --at 40.033)
declare -A open_gop_keyframes open_gop_smart open_gop_rss
for video in "${open_gop_videos[@]}"; do
    keyframe_times=()
    smart_times=()
    for ((round = 1; round <= runs; ++round)); do
        for mode in keyframes smart; do
            rm -rf "$scratch/open-gop"
            mkdir -p "$scratch/open-gop"
            trimora_command "$scratch/open-gop" "$video" "${open_gop_arguments[@]}" $([ $mode = keyframes ] && echo --keyframes)
            started=$EPOCHREALTIME
            "${command[@]}" >/dev/null 2>&1 || die "trimora split failed on $video"
            finished=$EPOCHREALTIME
            elapsed=$(awk -v a="$started" -v b="$finished" 'BEGIN { printf "%.3f", b - a }')
            if [ $mode = keyframes ]; then keyframe_times+=("$elapsed"); else smart_times+=("$elapsed"); fi
        done
    done
    open_gop_keyframes[$video]=$(median "${keyframe_times[@]}")
    open_gop_smart[$video]=$(median "${smart_times[@]}")
    open_gop_rss[$video]=$(peak_rss_mb "$video" "${open_gop_arguments[@]}")
done
rm -rf "$scratch/open-gop"

# ---------------------------------------------------------------- disks
# The clips of an MP4 share the source's blocks where the filesystem can (btrfs, XFS)
# and are copied by the kernel elsewhere. Each disk is a fresh image file of 3 GiB
# in the work folder, mounted over a loop device, holding the video and the outputs.

disk_names=()
declare -A disk_cp disk_reflink disk_keyframes disk_smart disk_growth disk_clips
used_bytes() { sync; df -B1 --output=used "$1" | tail -n 1 | tr -d ' '; }
time_command() {
    local started finished
    started=$EPOCHREALTIME
    "$@" >/dev/null 2>&1 || return 1
    sync
    finished=$EPOCHREALTIME
    awk -v a="$started" -v b="$finished" 'BEGIN { printf "%.3f", b - a }'
}
if [ "$(id -u)" -eq 0 ] && command -v mkfs.btrfs >/dev/null && command -v mkfs.xfs >/dev/null; then
    echo "disks: ext4, btrfs and XFS over loop devices, $runs runs each" >&2
    for fs in ext4 btrfs xfs; do
        image=$scratch/$fs.img
        point=$scratch/$fs
        mkdir -p "$point"
        truncate -s 3G "$image"
        case $fs in
            ext4) mkfs.ext4 -q -F "$image" ;;
            *) "mkfs.$fs" -q -f "$image" >/dev/null ;;
        esac
        mount -o loop "$image" "$point" || die "$fs could not be mounted"
        trap 'umount "$scratch"/*/ 2>/dev/null || true; rm -rf "$scratch"' EXIT
        cp -- "$big" "$point/video.mp4"
        sync
        cat "$point/video.mp4" >/dev/null
        cp_times=() reflink_times=() keyframe_times=() smart_times=()
        for ((round = 1; round <= runs; ++round)); do
            rm -rf "$point/out" && mkdir -p "$point/out" && sync
            elapsed=$(time_command cp --reflink=never -- "$point/video.mp4" "$point/out/copy.mp4") || die "cp failed on $fs"
            cp_times+=("$elapsed")
            rm -rf "$point/out" && mkdir -p "$point/out" && sync
            reflink_times+=("$(time_command cp --reflink=always -- "$point/video.mp4" "$point/out/copy.mp4" || echo -)")
            rm -rf "$point/out" && mkdir -p "$point/out" && sync
            before=$(used_bytes "$point")
            trimora_command "$point/out" "$point/video.mp4" --parts "$parts" --keyframes
            elapsed=$(time_command "${command[@]}") || die "trimora split --keyframes failed on $fs"
            keyframe_times+=("$elapsed")
            disk_growth[$fs]=$(($(used_bytes "$point") - before))
            disk_clips[$fs]=$(du -cb "$point/out/library"/* | tail -n 1 | cut -f1)
            rm -rf "$point/out" && mkdir -p "$point/out" && sync
            trimora_command "$point/out" "$point/video.mp4" "${off_key_arguments[@]}"
            elapsed=$(time_command "${command[@]}") || die "trimora split failed on $fs"
            smart_times+=("$elapsed")
        done
        rm -rf "$point/out"
        disk_names+=("$fs")
        disk_cp[$fs]=$(median "${cp_times[@]}")
        disk_reflink[$fs]=$( [ "${reflink_times[0]}" = - ] && echo - || median "${reflink_times[@]}")
        disk_keyframes[$fs]=$(median "${keyframe_times[@]}")
        disk_smart[$fs]=$(median "${smart_times[@]}")
        umount "$point"
    done
else
    echo "disks: skipped (mounting test disks needs root, mkfs.btrfs and mkfs.xfs)" >&2
fi

# ---------------------------------------------------------------- the table
# Printed, and kept beside the videos so that runs can be compared later.

cp_median=$(median "${times[floor_cp]}")
trimora_median=$(median "${times[trimora_split]}")
fastest_peer=
for name in ffmpeg_per_clip ffmpeg_segment mkvmerge_split; do
    m=$(median "${times[$name]}")
    if [ -z "$fastest_peer" ] || at_most "$m" "$fastest_peer"; then
        fastest_peer=$m
    fi
done

# ---------------------------------------------------------------- waveform

echo "stepping: trimora_step_bench on 1080p H.264 and 4K HEVC" >&2
step_output=$(QT_QPA_PLATFORM=offscreen "$step_bench" --sources "$work" --runs "$runs") \
    || die "trimora_step_bench failed: $step_output"

echo "waveform: trimora_sound_bench on two hours of sound, with ffmpeg decoding it" >&2
sound_output=$("$sound_bench" --sources "$work" --runs 3)
waveform_ms=$(awk '$1 == "waveform_ms" { print $2 }' <<<"$sound_output")
kept_ms=$(awk '$1 == "kept_ms" { print $2 }' <<<"$sound_output")
sound_floor_ms=$(awk '$1 == "ffmpeg_decode_ms" { print $2 }' <<<"$sound_output")
if [ -z "$waveform_ms" ] || [ -z "$kept_ms" ] || [ -z "$sound_floor_ms" ]; then
    die "trimora_sound_bench printed no times: $sound_output"
fi

{
    echo
    echo "Trimora benchmarks, $(date '+%Y-%m-%d %H:%M'), $(nproc) cores ($(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)), $(free -g | awk '/^Mem:/ { print $2 }') GiB"
    echo "build: $build (${build_type:-unknown}); $("$trimora" --version); $(ffmpeg -version | head -n 1 | cut -d' ' -f1-3); $(mkvmerge --version | cut -d' ' -f1-2)"
    echo "video: $(basename "$big"), $((source_bytes / 1000000)) MB, ${duration%.*} s, 1080p30 H.264 + AAC; outputs on the same filesystem ($(df --output=fstype "$scratch" | tail -n 1 | tr -d ' '))"
    echo "page cache: ${resident:-?} of $source_bytes bytes of the video resident; every run ends with sync: $([ "$sync_after" -eq 1 ] && echo yes || echo no)"
    echo "other CPU: the share of both cores that other processes (and the kernel's writing back) took meanwhile"
    echo
    printf '%-38s %9s %7s   %-13s %9s\n' "cut into $parts clips ($runs runs)" "median s" "x cp" "range s" "other CPU"
    busiest=0
    for name in "${contestants[@]}"; do
        m=$(median "${times[$name]}")
        o=$(median "${others[$name]}")
        if ((${o%.*} > busiest)); then
            busiest=${o%.*}
        fi
        printf '%-38s %9.2f %7s   %-13s %8s%%\n' "${label[$name]}" "$m" "$(ratio "$m" "$cp_median")" \
            "$(minimum "${times[$name]}")-$(maximum "${times[$name]}")" "$o"
    done
    printf '%-38s %9.2f %7s   %-13s %8s%%\n' "${label[ffmpeg_reencode]} (1 run)" "$reencode_seconds" \
        "$(ratio "$reencode_seconds" "$cp_median")" "" "$reencode_other"
    echo
    printf '%-38s %9s %7s   (other CPU over all three: %s%%)\n' "strip: 8 pictures at 160x90" "median ms" "x ffmpeg" "$strip_others"
    printf '%-38s %9.1f %7s\n' "trimora, open + 8 pictures" "$cold_ms" "$(ratio "$cold_ms" "$ffmpeg_strip_ms")"
    printf '%-38s %9.1f %7s\n' "trimora, 8 pictures, video open" "$warm_ms" "$(ratio "$warm_ms" "$ffmpeg_strip_ms")"
    printf '%-38s %9.1f %7s\n' "trimora, zoomed in to a second each" "$zoom_ms" "$(ratio "$zoom_ms" "$ffmpeg_strip_ms")"
    printf '%-38s %9.1f %7s\n' "trimora, zoomed in to a frame each" "$frames_ms" "$(ratio "$frames_ms" "$ffmpeg_strip_ms")"
    printf '%-38s %9.1f %7s\n' "ffmpeg -ss T -i -frames:v 1, 8 runs" "$ffmpeg_strip_ms" "1.00"
    echo
    printf '%-38s %9s %7s\n' "open in the editor" "median ms" "x peer"
    printf '%-38s %9.1f %7s\n' "trimora, probe + strip" "$ready_ms" "$(ratio "$ready_ms" "$ffmpeg_open_ms")"
    printf '%-38s %9.1f %7s\n' "trimora, until the first frame shows" "$frame_ms" "$(ratio "$frame_ms" "$ffmpeg_open_ms")"
    printf '%-38s %9.1f %7s\n' "ffprobe + ffmpeg first frame" "$ffmpeg_open_ms" "1.00"
    echo
    echo "stepping (trimora_step_bench), targets as shown:"
    sed -n '/^$/,$p' <<<"$step_output" | sed '1d'
    echo
    printf '%-38s %9s %7s\n' "waveform: 2 h of AAC stereo (3 runs)" "median ms" "x ffmpeg"
    printf '%-38s %9.0f %7s\n' "trimora, peaks read and kept" "$waveform_ms" "$(ratio "$waveform_ms" "$sound_floor_ms")"
    printf '%-38s %9.1f %7s\n' "trimora, peaks from the cache folder" "$kept_ms" "$(ratio "$kept_ms" "$sound_floor_ms")"
    printf '%-38s %9.0f %7s\n' "ffmpeg -map 0:a:0 -f null, 1 thread" "$sound_floor_ms" "1.00"
    if ((busiest > 15 || strip_others > 15)); then
        echo "warning: other work took over 15% of the CPU during some runs; run again on a quiet machine"
    fi
    echo
    printf '%-38s %9s\n' "trimora split, peak memory (3 runs)" "max RSS MB"
    printf '%-38s %9.1f\n' "$(basename "$big") ($((source_bytes / 1000000)) MB)" "$rss_big"
    printf '%-38s %9.1f\n' "$(basename "$small") ($(($(stat -c %s "$small") / 1000000)) MB)" "$rss_small"
    printf '%-38s %9.1f\n' "$(basename "$big"), smart cut" "$rss_smart"
    echo
    printf '%-38s %9s %9s %9s %9s\n' "open GOPs, 60 s 1080p30, 4 splits" "keys s" "smart s" "per split" "max RSS MB"
    for video in "${open_gop_videos[@]}"; do
        printf '%-38s %9.2f %9.2f %9.2f %9.1f\n' "$(basename "$video")" "${open_gop_keyframes[$video]}" \
            "${open_gop_smart[$video]}" \
            "$(awk -v s="${open_gop_smart[$video]}" -v k="${open_gop_keyframes[$video]}" 'BEGIN { print (s - k) / 4 }')" \
            "${open_gop_rss[$video]}"
    done
    if [ ${#disk_names[@]} -gt 0 ]; then
        echo
        printf '%-38s %9s %7s %9s %9s %9s\n' "disks: 1 GB video, $parts clips" "cp s" "reflink" "x cp keys" "x cp smart" "filled %"
        for fs in "${disk_names[@]}"; do
            printf '%-38s %9.2f %7s %9s %9s %9s\n' "$fs" "${disk_cp[$fs]}" \
                "$([ "${disk_reflink[$fs]}" = - ] && echo - || ratio "${disk_reflink[$fs]}" "${disk_cp[$fs]}")" \
                "$(ratio "${disk_keyframes[$fs]}" "${disk_cp[$fs]}")" "$(ratio "${disk_smart[$fs]}" "${disk_cp[$fs]}")" \
                "$(awk -v g="${disk_growth[$fs]}" -v c="${disk_clips[$fs]}" 'BEGIN { printf "%.2f", 100 * g / c }')"
        done
    fi
    echo
    echo "targets"
    printf '  %-62s %s\n' "cut + library <= 1.40 x cp (is $(ratio "$trimora_median" "$cp_median") x)" \
        "$(verdict at_most "$trimora_median" "$(awk -v c="$cp_median" 'BEGIN { print c * 1.4 }')")"
    printf '  %-62s %s\n' "cut + library faster than every peer (best peer $(printf '%.2f' "$fastest_peer") s)" \
        "$(verdict awk -v a="$trimora_median" -v b="$fastest_peer" 'BEGIN { exit !(a < b) }')"
    smart_median=$(median "${times[trimora_smart]}")
    keyframes_median=$(median "${times[trimora_keyframes]}")
    printf '  %-62s %s\n' "smart cut <= --keyframes + 1.0 s per split (is $(printf '%.2f' "$smart_median") s)" \
        "$(verdict at_most "$smart_median" "$(awk -v k="$keyframes_median" -v n="$parts" 'BEGIN { print k + (n - 1) }')")"
    printf '  %-62s %s\n' "smart cut <= 0.10 x encoding it all (is $(ratio "$smart_median" "$reencode_seconds") x)" \
        "$(verdict at_most "$smart_median" "$(awk -v r="$reencode_seconds" 'BEGIN { print r / 10 }')")"
    printf '  %-62s %s\n' "--keyframes <= 1.40 x cp (is $(ratio "$keyframes_median" "$cp_median") x)" \
        "$(verdict at_most "$keyframes_median" "$(awk -v c="$cp_median" 'BEGIN { print c * 1.4 }')")"
    printf '  %-62s %s\n' "open + 8 strip pictures <= 50 ms (is $cold_ms ms)" "$(verdict at_most "$cold_ms" 50)"
    printf '  %-62s %s\n' "open: probe, strip and first frame <= 300 ms (is $frame_ms ms)" "$(verdict at_most "$frame_ms" 300)"
    printf '  %-62s %s\n' "waveform <= 1.5 x decoding the sound (is $(ratio "$waveform_ms" "$sound_floor_ms") x)" \
        "$(verdict at_most "$waveform_ms" "$(awk -v f="$sound_floor_ms" 'BEGIN { print f * 1.5 }')")"
    printf '  %-62s %s\n' "peak memory of the smart cut < 150 MB (is $rss_smart MB)" \
        "$(verdict awk -v a="$rss_smart" 'BEGIN { exit !(a < 150) }')"
    for video in "${open_gop_videos[@]}"; do
        printf '  %-62s %s\n' "$(basename "$video"): smart cut <= --keyframes + 1.0 s per split" \
            "$(verdict at_most "${open_gop_smart[$video]}" "$(awk -v k="${open_gop_keyframes[$video]}" 'BEGIN { print k + 4 }')")"
    done
    for fs in "${disk_names[@]}"; do
        case $fs in
            ext4) limit=1.15 ;;
            *) limit=0.10 ;;
        esac
        printf '  %-62s %s\n' "$fs: --keyframes <= $limit x cp (is $(ratio "${disk_keyframes[$fs]}" "${disk_cp[$fs]}") x)" \
            "$(verdict at_most "${disk_keyframes[$fs]}" "$(awk -v c="${disk_cp[$fs]}" -v l="$limit" 'BEGIN { print c * l }')")"
        printf '  %-62s %s\n' "$fs: smart cut <= --keyframes + 1.0 s per split" \
            "$(verdict at_most "${disk_smart[$fs]}" "$(awk -v k="${disk_keyframes[$fs]}" -v n="$parts" 'BEGIN { print k + n - 1 }')")"
        if [ "$fs" != ext4 ]; then
            printf '  %-62s %s\n' "$fs: the disk fills by <= 2% of the clips" \
                "$(verdict awk -v g="${disk_growth[$fs]}" -v c="${disk_clips[$fs]}" 'BEGIN { exit !(g <= 0.02 * c) }')"
        fi
    done
    printf '  %-62s %s\n' "peak memory < 100 MB on both videos" \
        "$(verdict awk -v a="$rss_big" -v b="$rss_small" 'BEGIN { exit !(a < 100 && b < 100) }')"
    # Independent of size: the 1 GB video may cost no more than 10 MB above one 24 times
    # smaller; a cutter that held the file or its index whole would be far above that.
    printf '  %-62s %s\n' "peak memory independent of file size (1 GB - 10 s <= 10 MB)" \
        "$(verdict awk -v a="$rss_big" -v b="$rss_small" 'BEGIN { exit !(a - b <= 10) }')"
} | tee "$work/results-$(date +%Y%m%d-%H%M%S).txt"
