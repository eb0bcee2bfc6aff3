#!/bin/bash
# Makes the benchmark's input files with real encoders into the folder given
# as the first argument (default build/bench/inputs). Files that exist are
# kept, so later runs reuse them. Prints the list of inputs, one a line.
#
# Every ffmpeg source is bounded by its own duration: palettegen buffers the
# whole stream, so an endless source would eat all memory.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/bench/inputs}
mkdir -p "$out"

ffmpeg_gif() {  # name source-filter-graph [encoder options]
    local name=$1 source=$2
    shift 2
    [ -s "$out/$name" ] && return 0
    ffmpeg -nostdin -loglevel error -y -f lavfi -i "$source" \
        -filter_complex "[0:v]split[a][b];[a]palettegen[p];[b][p]paletteuse" \
        "$@" "$out/$name.tmp.gif"
    mv "$out/$name.tmp.gif" "$out/$name"
}

# A flat-colour, cartoon-like scene: sky, ground and a sun drawn as boxes,
# and three boxes that move (overlay evaluates its position every frame).
cartoon() {  # width height rate duration
    local w=$1 h=$2 rate=$3 duration=$4
    local timing="rate=$rate:duration=$duration"
    echo "color=c=0x87CEEB:size=${w}x$h:$timing,\
drawbox=x=0:y=ih*2/3:w=iw:h=ih/3:color=0x3A9D23:t=fill,\
drawbox=x=iw*3/4:y=ih/10:w=ih/6:h=ih/6:color=0xFFD700:t=fill[scene];\
color=c=0xD62828:size=$((w / 8))x$((h / 6)):$timing[car];\
color=c=0x1D3557:size=$((w / 10))x$((h / 8)):$timing[truck];\
color=c=white:size=$((w / 12))x$((w / 12)):$timing[ball];\
[scene][car]overlay=x='mod(t*W/2,W)':y=H/2[s1];\
[s1][truck]overlay=x='W-mod(t*W/3,W)':y=H*3/5[s2];\
[s2][ball]overlay=x=W/3:y='H/4+H/8*sin(t*3)'[out0]"
}

sizes=("320x240 25 4" "640x480 25 2.4" "1280x720 25 2.4" "1920x1080 25 1.2")
for entry in "${sizes[@]}"; do
    read -r size rate duration <<<"$entry"
    ffmpeg_gif "testsrc2_$size.gif" "testsrc2=size=$size:rate=$rate:duration=$duration"
    ffmpeg_gif "mandelbrot_$size.gif" "mandelbrot=size=$size:rate=$rate,trim=duration=$duration"
    ffmpeg_gif "cartoon_$size.gif" "$(cartoon "${size%x*}" "${size#*x}" "$rate" "$duration")"
done

# gifsicle's heaviest optimisation of two of them.
for name in testsrc2_640x480 cartoon_640x480; do
    [ -s "$out/${name}_O3.gif" ] || gifsicle -O3 "$out/$name.gif" -o "$out/${name}_O3.gif"
done

# Disposal methods: every frame whole (ffmpeg writes no difference
# rectangles then), and restore to background or to previous.
ffmpeg_gif "mandelbrot_320x240_whole.gif" "mandelbrot=size=320x240:rate=25,trim=duration=4" \
    -gifflags -offsetting-transdiff
for disposal in background previous; do
    target="$out/mandelbrot_320x240_$disposal.gif"
    [ -s "$target" ] || gifsicle --disposal=$disposal "$out/mandelbrot_320x240_whole.gif" -o "$target"
done

# Interlaced rows, from ImageMagick.
[ -s "$out/testsrc2_640x480_interlaced.gif" ] ||
    /usr/bin/convert "$out/testsrc2_640x480.gif" -interlace GIF "$out/testsrc2_640x480_interlaced.gif"

# Above 5,000,000 bytes, where the player shows its loading preview: the
# dithered mandelbrot files from 640x480 up are far larger; check it.
[ "$(stat -c %s "$out/mandelbrot_640x480.gif")" -gt 5000000 ] ||
    echo "make_inputs.sh: no input above 5,000,000 bytes" >&2

# A screen recording: a still desktop with a window and a taskbar, a line
# of "typing" (a character box appears every 0.4 s; drawbox's enable option
# is the only part of it that follows the time) and a small pointer moving
# over it, 900 frames at 15 fps. Each frame changes a few hundred pixels of
# two million. Its palette comes from a first pass of its own: with split, the
# palette filter would hold all 900 frames in memory.
screen_recording() {
    local name=screen_1920x1080.gif
    [ -s "$out/$name" ] && return 0
    local scene="color=c=0x3A6EA5:size=1920x1080:rate=15:duration=60,\
drawbox=x=0:y=1032:w=1920:h=48:color=0x202020:t=fill,\
drawbox=x=320:y=180:w=1280:h=720:color=0xF3F3F3:t=fill,\
drawbox=x=320:y=180:w=1280:h=32:color=0x2B2B2B:t=fill"
    for k in $(seq 0 139); do
        scene+=",drawbox=x=$((360 + k % 70 * 16)):y=$((240 + k / 70 * 24)):w=11:h=16:\
color=0x1E1E1E:t=fill:enable='gte(t,$k*0.4)'"
    done
    scene+="[desk];color=c=white:size=12x18:rate=15:duration=60[pointer];\
[desk][pointer]overlay=x='900+500*sin(t/2)':y='500+300*sin(t/3)'"
    ffmpeg -nostdin -loglevel error -y -f lavfi -i "$scene" -vf palettegen "$out/screen.tmp.png"
    ffmpeg -nostdin -loglevel error -y -f lavfi -i "$scene" -i "$out/screen.tmp.png" \
        -lavfi paletteuse "$out/$name.tmp.gif"
    mv "$out/$name.tmp.gif" "$out/$name"
    rm -f "$out/screen.tmp.png"
}
screen_recording

# Video: a clip of moving pictures with the noise of a camera in every
# frame, in the fixed 3-3-2 palette (rgb8): frames that change a quarter of
# their pixels, everywhere. 120 frames of 1920 x 1080 at 30 fps.
[ -s "$out/video_1920x1080.gif" ] || {
    ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=1920x1080:rate=30:duration=4 \
        -vf noise=alls=6:allf=t -pix_fmt rgb8 "$out/video.tmp.gif"
    mv "$out/video.tmp.gif" "$out/video_1920x1080.gif"
}

# A sprite: many small frames, small boxes moving on a small canvas.
ffmpeg_gif "sprite_96x96.gif" "color=c=black:size=96x96:rate=50:duration=20,\
drawbox=x='mod(t*40,80)':y='40+30*sin(t*4)':w=16:h=16:color=0xFF8800:t=fill,\
drawbox=x='80-mod(t*25,80)':y=8:w=12:h=12:color=0x00CCFF:t=fill"

ls "$out"/*.gif | grep -v '\.tmp\.gif$'
