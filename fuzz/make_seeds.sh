#!/bin/bash
# Makes the fuzzer's seed corpus: small valid files from real encoders
# (ImageMagick, gifsicle, ffmpeg, Pillow), the hostile shapes at seed size,
# and broken files cut from and flipped in the valid ones. Every seed stays a
# few KB at most.
#
# Usage: fuzz/make_seeds.sh [OUTDIR]   (default: fuzz/seeds)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/seeds}
IM=/usr/bin/convert
PY=/usr/bin/python3
work=$(mktemp -d "${TMPDIR:-/tmp}/zoetra-seeds.XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -rf "$out"
mkdir -p "$out"
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# --- Valid files from real encoders -------------------------------------------
$IM -size 16x12 gradient:red-blue "$work/a.png"
$IM -size 16x12 gradient:yellow-green "$work/b.png"
$IM -size 8x8 pattern:checkerboard "$work/c.png"
$IM -delay 5 -dispose previous "$work/a.png" -dispose background "$work/c.png" \
    -loop 0 "$out/im_disposal.gif"
$IM "$work/a.png" -interlace GIF "$out/im_interlaced.gif"
$IM -delay 10 "$work/a.png" "$work/b.png" +map -loop 3 "$out/im_local_tables.gif"
$IM -size 12x10 xc:none -fill red -draw "circle 6,5 6,1" -delay 7 \
    \( -size 12x10 xc:none -fill blue -draw "rectangle 2,2 8,7" \) -loop 0 \
    "$out/im_transparent.gif"
$IM -size 20x4 xc:white -colors 2 "$out/im_two_colours.gif"
gifsicle -O2 --colors 16 "$out/im_local_tables.gif" -o "$out/gifsicle_optimised.gif"
gifsicle --crop 2,2+10x8 "$out/im_transparent.gif" -o "$out/gifsicle_cropped.gif"
gifsicle --interlace "$out/im_disposal.gif" -o "$out/gifsicle_interlaced.gif"
ff -f lavfi -i testsrc2=size=24x16:rate=5:duration=0.6 \
   -vf "split[a][b];[a]palettegen=max_colors=32[p];[b][p]paletteuse" "$out/ffmpeg_global.gif"
ff -f lavfi -i "life=size=16x12:rate=5:mold=5:seed=3,trim=end_frame=4" \
   -vf "split[a][b];[a]palettegen=stats_mode=single:reserve_transparent=1[p];[b][p]paletteuse=new=1" \
   "$out/ffmpeg_local.gif"
$PY - "$out" <<'PYEOF'
import sys
from PIL import Image
out = sys.argv[1]
frames = [Image.new("P", (10, 6), i) for i in range(3)]
for f in frames:
    f.putpalette([0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255] + [0] * 756)
frames[0].save(out + "/pillow_three.gif", save_all=True, append_images=frames[1:],
               duration=[20, 0, 40], loop=1, disposal=[1, 2, 3], transparency=2)
Image.new("L", (7, 5), 128).save(out + "/pillow_grey.gif", comment=b"seed")
PYEOF

# --- Hostile shapes at seed size -----------------------------------------------
$PY "$here/hostile_gifs.py" "$work/hostile" --small
for f in "$work/hostile"/*.gif; do cp "$f" "$out/hostile_$(basename "$f")"; done

# --- Broken files -------------------------------------------------------------
# Cut at a few places, and single bytes flipped, in two of the valid files.
$PY - "$out" <<'PYEOF'
import sys
out = sys.argv[1]
for name in ("im_disposal", "ffmpeg_local"):
    data = open(f"{out}/{name}.gif", "rb").read()
    for cut in (6, 13, len(data) // 3, len(data) - 2):
        open(f"{out}/cut_{name}_{cut}.gif", "wb").write(data[:cut])
    for i, at in enumerate((10, len(data) // 2, len(data) - 5)):
        flipped = bytearray(data)
        flipped[at] ^= 0x80 >> i
        open(f"{out}/flip_{name}_{at}.gif", "wb").write(bytes(flipped))
# Hand-made oddities: LZW code sizes 0, 1, 9 and 12; a code far ahead of
# the table; a stray literal; a 0 x 0 image; an image past the canvas edge.
head = b"GIF89a\x04\x00\x04\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff"
def image(left, top, w, h, data, packed=0):
    return (b"\x2c" + left.to_bytes(2, "little") + top.to_bytes(2, "little")
            + w.to_bytes(2, "little") + h.to_bytes(2, "little") + bytes([packed]) + data)
cases = {
    "lzw_size0": image(0, 0, 2, 2, b"\x00\x02\x0d\x00\x00"),
    "lzw_size1": image(0, 0, 2, 2, b"\x01\x02\x1a\x00\x00"),
    "lzw_size9": image(0, 0, 2, 2, b"\x09\x02\x00\x02\x00"),
    "lzw_size12": image(0, 0, 2, 2, b"\x0c\x02\x00\x10\x00"),
    "lzw_code_ahead": image(0, 0, 2, 2, b"\x02\x02\x44\x0e\x00"),
    "lzw_stray_literal": image(0, 0, 2, 2, b"\x02\x02\x74\x00\x00"),
    "empty_image": image(0, 0, 0, 0, b"\x02\x02\x4c\x01\x00"),
    "image_off_canvas": image(65000, 65000, 3, 3, b"\x02\x02\x4c\x01\x00"),
    "interlaced_one_row": image(0, 0, 4, 1, b"\x02\x02\x4c\x01\x00", 0x40),
    "plain_text_ext": b"\x21\x01\x0c" + bytes(12) + b"\x02hi\x00" + image(0, 0, 1, 1, b"\x02\x02\x4c\x01\x00"),
}
for name, body in cases.items():
    open(f"{out}/odd_{name}.gif", "wb").write(head + body + b"\x3b")
PYEOF

total=$(du -cb "$out"/* | tail -n 1 | cut -f1)
echo "$(ls "$out" | wc -l) seeds, $total bytes in $out"
