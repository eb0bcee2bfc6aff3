#!/bin/bash
# Makes a small corpus of animated GIF files with real encoders (ImageMagick,
# gifsicle, ffmpeg) into OUTDIR, for comparing the decoder with the reference.
# Covers disposal 2 and 3, transparency (a black transparent colour and one
# shared by another palette entry), interlaced images, local colour tables,
# frames that together show more than 256 colours, sub-rectangle frames,
# images clipped at the canvas edges, loop counts and a file of more than
# 500 frames. An OUTDIR that already holds a finished corpus
# is reused as it is.
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: make_corpus.sh OUTDIR" >&2
    exit 2
fi
final=$1
if [ -f "$final/.complete" ]; then
    exit 0
fi
# Made beside the final folder and moved into place when whole, so that a
# test running at the same time never sees half a corpus.
out=$final.partial.$$
work=$(mktemp -d "${TMPDIR:-/tmp}/zoetra-corpus.XXXXXX")
trap 'rm -rf "$work" "$out"' EXIT
rm -rf "$out"
mkdir -p "$out"

IM=/usr/bin/convert
for tool in "$IM" gifsicle ffmpeg; do
    if ! command -v "$tool" >/dev/null; then
        echo "make_corpus.sh: $tool is missing" >&2
        exit 1
    fi
done
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# --- ffmpeg: palettegen/paletteuse, global and per-frame palettes --------------
ff -f lavfi -i testsrc2=size=96x72:rate=10:duration=2.4 \
   -vf "split[a][b];[a]palettegen[p];[b][p]paletteuse" -loop 0 "$out/ff_testsrc2_global.gif"
ff -f lavfi -i mandelbrot=size=80x60:rate=10,trim=end_frame=16 \
   -vf "split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1" \
   -loop 2 "$out/ff_mandelbrot_local.gif"
ff -f lavfi -i testsrc2=size=64x48:rate=10:duration=52 \
   -vf "split[a][b];[a]palettegen=max_colors=64[p];[b][p]paletteuse=dither=none" \
   -loop 3 "$out/ff_testsrc2_520frames.gif"
ff -f lavfi -i "life=size=64x48:rate=10:mold=10:seed=7:ratio=0.3,trim=end_frame=30" \
   -vf "split[a][b];[a]palettegen=reserve_transparent=1[p];[b][p]paletteuse=dither=bayer" \
   "$out/ff_life_sub_rectangles.gif"

# --- ImageMagick -----------------------------------------------------------------
# Frames of a few sizes and colours; the rose has many colours.
$IM rose: -resize 60x40! "$work/rose.png"
$IM -size 30x20 gradient:red-blue "$work/grad.png"
$IM -size 24x24 pattern:checkerboard -fill yellow -opaque black "$work/check.png"
$IM -size 20x16 xc:lime "$work/lime.png"

# Disposal 2 (background) and 3 (previous) with frames smaller than the canvas,
# one of them reaching past the right and bottom edges.
$IM -delay 7 -dispose None -page 100x80+0+0 -size 100x80 xc:navy \
    -dispose Background -page +10+10 "$work/rose.png" -page +50+30 "$work/grad.png" \
    -page +85+70 "$work/check.png" -page +20+50 "$work/lime.png" \
    -dispose None -page +60+5 "$work/grad.png" -loop 0 "$work/a.gif"
$IM "$work/a.gif" -repage 100x80 "$out/im_dispose_background.gif"
$IM -delay 9 -dispose None -page 100x80+0+0 -size 100x80 gradient:white-black \
    -dispose Previous -page +5+5 "$work/rose.png" -page +40+40 "$work/grad.png" \
    -page +80+60 "$work/check.png" -dispose Background -page +30+20 "$work/lime.png" \
    -dispose Previous -page +0+0 "$work/grad.png" -page +70+50 "$work/rose.png" \
    -loop 0 "$out/im_dispose_previous.gif"
# Sub-rectangle frames with transparency, made by the layer optimiser.
$IM -delay 5 -size 80x60 xc:white \( -clone 0 -fill red -draw "circle 20,20 28,28" \) \
    \( -clone 1 -fill blue -draw "rectangle 40,30 70,50" \) \
    \( -clone 2 -fill green -draw "circle 60,15 66,20" \) \
    \( -clone 3 -fill white -draw "rectangle 0,0 40,40" \) \
    \( -clone 4 -fill black -draw "line 0,59 79,0" \) \
    -layers Optimize -loop 0 "$out/im_layers_optimize.gif"
# Interlaced images, heights that are not multiples of 8.
$IM -delay 10 -size 61x37 gradient:yellow-purple \( rose: -resize 61x37! \) \
    \( -size 61x37 plasma:fractal -seed 3 \) -interlace GIF -loop 0 "$out/im_interlaced.gif"
$IM -delay 10 -size 5x3 gradient:red-blue \( -size 5x3 xc:green \) -interlace GIF \
    "$out/im_interlaced_tiny.gif"
# Frames with palettes of their own (local colour tables).
$IM -delay 12 "$work/rose.png" \( -size 60x40 gradient:cyan-magenta \) \
    \( -size 60x40 xc:orange -fill black -draw "circle 30,20 40,30" \) \
    -loop 0 "$out/im_local_tables.gif"
# A transparent colour that another palette entry also holds (red), and a
# black transparent colour drawn over black pixels of the frame before.
$IM -delay 8 -dispose None -size 50x40 xc:red -fill white -draw "rectangle 10,10 40,30" \
    \( -size 30x20 xc:none -fill red -draw "rectangle 0,0 14,19" -fill blue -draw "rectangle 15,0 29,9" \
       -repage +10+10 \) -transparent-color red -loop 0 "$work/shared.gif"
cp "$work/shared.gif" "$out/im_transparent_shared_colour.gif"
$IM -delay 8 -dispose None -size 50x40 xc:black -fill gray -draw "rectangle 0,0 24,39" \
    \( -size 50x40 xc:none -fill black -draw "rectangle 5,5 44,14" -fill yellow -draw "rectangle 5,20 44,34" \) \
    -transparent-color black -loop 0 "$out/im_transparent_black.gif"

# More than 256 colours on the canvas at once: a picture of 256 colours, then
# frames of 256 colours of their own (local tables) with transparent holes
# over it, so that each composited frame shows colours of two tables.
$IM rose: -resize 96x64! -colors 256 "$work/many0.gif"
$IM -size 48x32 plasma:fractal -seed 11 -colors 256 -fill none -draw "circle 24,16 24,4" \
    \( +clone -alpha transparent -fill white -draw "circle 24,16 24,6" \) \
    -compose DstOut -composite "$work/many1.png"
$IM -size 40x40 plasma:fractal -seed 23 -colors 255 \( +clone -alpha transparent -fill white \
    -draw "rectangle 10,10 29,29" \) -compose DstOut -composite "$work/many2.png"
$IM -delay 10 -dispose None "$work/many0.gif" -page +30+20 "$work/many1.png" \
    -page +8+4 "$work/many2.png" -loop 0 "$out/im_more_than_256_colours.gif"
# Restore to background over the cleared canvas: sub-rectangles that clear
# themselves, and frames with transparent pixels over the cleared places.
$IM -delay 10 -size 80x60 xc:none -dispose Background \
    \( -size 40x30 xc:orange -repage +0+0 \) \( -size 30x30 xc:none -fill blue \
    -draw "circle 15,15 15,3" -repage +20+10 \) \( -size 40x20 xc:none -fill green \
    -draw "rectangle 0,0 19,19" -repage +30+30 \) \( -size 20x20 xc:purple -repage +60+40 \) \
    -loop 0 "$out/im_dispose_background_cleared.gif"

# --- gifsicle --------------------------------------------------------------------
# Full frames to optimise: a ball crossing a gradient.
frames=()
for i in 0 1 2 3 4 5 6 7; do
    x=$((8 + i * 10)); y=$((10 + (i % 4) * 8))
    $IM -size 96x64 gradient:skyblue-darkgreen -fill red -draw "circle $x,$y $((x + 7)),$y" \
        -fill white -draw "rectangle $((90 - i * 9)),40 $((96 - i * 9)),52" -colors 64 "$work/g$i.gif"
    frames+=("$work/g$i.gif")
done
# The optimiser picks its own disposals, so the disposal is set afterwards on
# the optimised sub-rectangle frames.
gifsicle -O3 --delay 6 --loopcount=forever "${frames[@]}" > "$work/opt3.gif"
gifsicle -O2 --delay 1 "${frames[@]}" > "$work/opt2.gif"
gifsicle --disposal=background "$work/opt3.gif" > "$out/gs_O3_disposal_background.gif"
gifsicle --disposal=previous "$work/opt2.gif" > "$out/gs_O2_disposal_previous.gif"
gifsicle -O3 --interlace --delay 4 --loopcount=3 "${frames[@]}" > "$out/gs_O3_interlaced_loop3.gif"
# More colours than one table holds: every frame keeps a local colour table,
# some of them short.
$IM "$work/rose.png" -colors 256 "$work/l0.gif"
$IM "$work/g3.gif" -colors 4 "$work/l1.gif"
$IM -size 60x40 gradient:cyan-magenta -colors 32 "$work/l2.gif"
gifsicle --delay 10 "$work/l0.gif" "$work/l1.gif" "$work/l2.gif" > "$out/gs_local_tables.gif"
# Black made transparent, then optimised into sub-rectangles.
gifsicle -O2 --transparent '#000000' --delay 5 "$out/im_local_tables.gif" \
    > "$out/gs_transparent_black_O2.gif"
# ffmpeg's 520 frames with gifsicle's own optimiser and a loop count.
gifsicle -O3 --colors 32 --loopcount=7 "$out/ff_testsrc2_520frames.gif" \
    > "$out/gs_O3_colors32_loop7.gif"

touch "$out/.complete"
# Two runs may make it at the same time (the comparison test and the unit
# tests): the first one whole stays, since a test may be reading it.
[ -f "$final/.complete" ] && exit 0
rm -rf "$final"
mv -T "$out" "$final" 2>/dev/null || [ -f "$final/.complete" ]
