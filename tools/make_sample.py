#!/usr/bin/python3
"""Draws the bundled sample animation src/res/sample.gif: a ball bouncing
over a colour gradient, 12 frames of 160 x 120, looping forever.

Usage: tools/make_sample.py [OUT.gif]   (default: src/res/sample.gif)
"""
import math
import os
import sys

from PIL import Image, ImageDraw

WIDTH, HEIGHT, FRAMES = 160, 120, 12
RADIUS = 14


def background():
    picture = Image.new("RGB", (WIDTH, HEIGHT))
    pixels = picture.load()
    for y in range(HEIGHT):
        for x in range(WIDTH):
            # A diagonal sweep from deep blue to orange, banded so it stays
            # within a small palette.
            t = (x / WIDTH + y / HEIGHT) / 2
            band = round(t * 15) / 15
            pixels[x, y] = (int(30 + 210 * band), int(40 + 110 * band), int(160 - 120 * band))
    draw = ImageDraw.Draw(picture)
    draw.rectangle((0, HEIGHT - 10, WIDTH - 1, HEIGHT - 1), fill=(40, 120, 40))
    return picture


def frame(index, base):
    picture = base.copy()
    draw = ImageDraw.Draw(picture)
    phase = index / FRAMES
    x = int(RADIUS + (WIDTH - 2 * RADIUS) * phase)
    floor = HEIGHT - 10 - RADIUS
    y = int(floor - (floor - RADIUS - 8) * abs(math.sin(math.pi * phase * 2)))
    draw.ellipse((x - RADIUS + 3, floor + RADIUS - 4, x + RADIUS - 3, floor + RADIUS + 2),
                 fill=(20, 60, 20))
    draw.ellipse((x - RADIUS, y - RADIUS, x + RADIUS, y + RADIUS), fill=(220, 30, 60),
                 outline=(255, 255, 255))
    draw.ellipse((x - 6, y - 8, x - 1, y - 3), fill=(255, 200, 210))
    return picture.quantize(colors=64, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "src", "res", "sample.gif")
    base = background()
    frames = [frame(i, base) for i in range(FRAMES)]
    frames[0].save(out, save_all=True, append_images=frames[1:], duration=80, loop=0,
                   optimize=False, disposal=1)
    print(f"{out}: {os.path.getsize(out)} bytes")


if __name__ == "__main__":
    main()
