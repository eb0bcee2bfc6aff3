#!/usr/bin/python3
"""Draws the program's icons: src/res/zoetra32.ico (icon group 1, 32 x 32) and
src/res/zoetra16.ico (icon group 2, 16 x 16), 16 colours each.

The picture: a strip of film, three frames on a dark band with sprocket holes,
the middle frame showing a play triangle. Written as classic 4-bit icons
(BITMAPINFOHEADER, 16-colour palette, XOR and AND masks) without any library.

Usage: tools/make_icons.py [OUTDIR]   (default: src/res)
"""
import os
import struct
import sys

# The 16 colours; index 0 stands for transparent pixels (masked out).
PALETTE = [
    (0, 0, 0), (32, 36, 48), (240, 240, 232), (255, 176, 32),
    (64, 144, 224), (200, 64, 48), (128, 128, 128), (255, 255, 255),
] + [(0, 0, 0)] * 8
CLEAR, BAND, HOLE, PLAY, SKY, RED = 0, 1, 2, 3, 4, 5


def draw(size):
    """Returns size rows of size palette indexes, top row first."""
    s = size / 32.0
    grid = [[CLEAR] * size for _ in range(size)]

    def box(x0, y0, x1, y1, colour):
        for y in range(int(round(y0 * s)), int(round(y1 * s))):
            for x in range(int(round(x0 * s)), int(round(x1 * s))):
                grid[y][x] = colour

    box(0, 4, 32, 28, BAND)
    for x in range(2, 32, 6):  # sprocket holes above and below the frames
        box(x, 5, x + 3, 7.5, HOLE)
        box(x, 24.5, x + 3, 27, HOLE)
    box(1, 9, 9, 23, SKY)
    box(23, 9, 31, 23, RED)
    box(11, 9, 21, 23, HOLE)
    # The play triangle in the middle frame.
    for y in range(int(round(10 * s)), int(round(22 * s))):
        half = min(y - 10 * s, 22 * s - 1 - y)
        for x in range(int(round(13 * s)), int(round(13 * s + half * 1.2)) + 1):
            if x < size:
                grid[y][x] = PLAY
    return grid


def icon_file(size):
    grid = draw(size)
    xor_row = (size * 4 + 31) // 32 * 4   # 4 bits a pixel, rows padded to 32 bits
    and_row = (size + 31) // 32 * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         (xor_row + and_row) * size, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor = b""
    mask = b""
    for row in reversed(grid):             # bottom-up rows
        packed = bytearray(xor_row)
        bits = bytearray(and_row)
        for x, index in enumerate(row):
            packed[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if index == CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += bytes(packed)
        mask += bytes(bits)
    image = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src", "res")
    for size in (32, 16):
        with open(os.path.join(out, "zoetra%d.ico" % size), "wb") as f:
            f.write(icon_file(size))


if __name__ == "__main__":
    main()
