#!/usr/bin/python3
"""Test files for the Wine tests of the commands and the loading preview.

  gifs.py solid OUT.gif FRAMES DELAY_CS WIDTH HEIGHT [PASSES]
      FRAMES frames, each one solid colour (see colour(i)), DELAY_CS
      hundredths of a second each, endless loop or PASSES passes
  gifs.py box OUT.gif FRAMES DELAY_CS WIDTH HEIGHT
      FRAMES frames of a 24 x 24 box moving 4 pixels a frame over a still
      background, DELAY_CS hundredths of a second each, endless loop; each
      frame after the first is stored as the rectangle that changed
  gifs.py colour I
      prints the colour of frame I of a solid file as RRGGBB
  gifs.py sized OUT.gif BYTES
      an animation of noise frames padded with a comment block to exactly
      BYTES bytes (at least 1,000,000)
  gifs.py slow OUT.gif FRAMES
      FRAMES frames on a 64 x 64 canvas, each a solid 4000 x 4000 image,
      interlaced: every frame decodes 16 million pixels and puts their rows
      in display order, of which the canvas keeps a corner, so the load
      takes seconds in little memory and file (some ms and 13 KB a frame)
"""
import io
import random
import struct
import sys

from PIL import Image


def colour(i):
    return ((37 * i + 40) % 256, (255 - 23 * i) % 256, (91 * i + 17) % 256)


def solid(out, frames, delay_cs, width, height, passes=0):
    pictures = [Image.new("RGB", (width, height), colour(i)) for i in range(frames)]
    pictures = [p.convert("P", palette=Image.ADAPTIVE, colors=4) for p in pictures]
    pictures[0].save(out, save_all=True, append_images=pictures[1:], duration=delay_cs * 10,
                     loop=passes, optimize=False, disposal=1)


def box(out, frames, delay_cs, width, height):
    pictures = []
    for i in range(frames):
        picture = Image.new("P", (width, height), 0)
        picture.putpalette([40, 60, 80, 250, 200, 30] + [0] * 762)
        x = (4 * i) % (width - 24)
        picture.paste(1, (x, height // 2 - 12, x + 24, height // 2 + 12))
        pictures.append(picture)
    pictures[0].save(out, save_all=True, append_images=pictures[1:], duration=delay_cs * 10,
                     loop=0, disposal=1)


def comment_block(size):
    """A comment extension of exactly size bytes (size >= 3, != 4)."""
    block = bytearray(b"\x21\xfe")
    remaining = size - 3
    while remaining > 0:
        length = min(255, remaining - 1)
        if remaining - (length + 1) == 1:
            length -= 1
        block.append(length)
        block += b"c" * length
        remaining -= length + 1
    block.append(0)
    assert len(block) == size, (len(block), size)
    return bytes(block)


def sized(out, target):
    rng = random.Random(5)
    palette = Image.new("P", (1, 1))
    palette.putpalette([rng.randrange(256) for _ in range(768)])
    frames = []
    size = 0
    while size < target - 400000:
        frame = Image.frombytes("P", (256, 256), bytes(rng.randrange(256) for _ in range(65536)))
        frame.putpalette(palette.getpalette())
        frames.append(frame)
        size += 80000
    while True:
        frames[0].save(out, save_all=True, append_images=frames[1:], duration=0, loop=0,
                       optimize=False)
        with open(out, "rb") as f:
            data = f.read()
        if len(data) <= target - 10:
            break
        frames.pop()
    assert data[-1:] == b"\x3b"
    data = data[:-1] + comment_block(target - len(data)) + b"\x3b"
    assert len(data) == target
    with open(out, "wb") as f:
        f.write(data)


def image_data(gif):
    """The LZW data of a GIF's first image: code size byte, sub-blocks and
    terminator."""
    p = 13
    if gif[10] & 0x80:
        p += 3 << ((gif[10] & 7) + 1)
    while gif[p] == 0x21:  # extensions before the image
        p += 2
        while gif[p]:
            p += gif[p] + 1
        p += 1
    assert gif[p] == 0x2C
    packed = gif[p + 9]
    p += 10
    if packed & 0x80:
        p += 3 << ((packed & 7) + 1)
    start = p
    p += 1
    while gif[p]:
        p += gif[p] + 1
    return gif[start:p + 1]


def slow(out, frames, canvas=64, side=4000):
    palette = [0, 0, 0, 255, 0, 0, 0, 0, 255, 255, 255, 255]
    datas = []
    for k in (1, 2):  # red and blue frames by turns
        picture = Image.new("P", (side, side), k)
        picture.putpalette(palette)
        encoded = io.BytesIO()
        picture.save(encoded, "GIF")
        datas.append(image_data(encoded.getvalue()))
    body = bytearray(b"GIF89a" + struct.pack("<HHBBB", canvas, canvas, 0x81, 0, 0))
    body += bytes(palette)
    for i in range(frames):
        body += b"\x21\xf9\x04\x04" + struct.pack("<H", 10) + b"\x00\x00"
        body += b"\x2c" + struct.pack("<HHHHB", 0, 0, side, side, 0x40) + datas[i % 2]
    body += b"\x3b"
    with open(out, "wb") as f:
        f.write(body)


def main(argv):
    if len(argv) in (7, 8) and argv[1] == "solid":
        solid(argv[2], *(int(a) for a in argv[3:]))
    elif len(argv) == 7 and argv[1] == "box":
        box(argv[2], int(argv[3]), int(argv[4]), int(argv[5]), int(argv[6]))
    elif len(argv) == 3 and argv[1] == "colour":
        print("%02X%02X%02X" % colour(int(argv[2])))
    elif len(argv) == 4 and argv[1] == "sized":
        sized(argv[2], int(argv[3]))
    elif len(argv) == 4 and argv[1] == "slow":
        slow(argv[2], int(argv[3]))
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
