#!/usr/bin/python3
"""Writes GIF files that ask the decoder for far more than they hold.

Usage: fuzz/hostile_gifs.py OUTDIR [--small]

  huge_canvas.gif    a 65535 x 65535 canvas with one 1 x 1 image (some 40 bytes)
  many_frames.gif    tens of thousands of 1 x 1 frames on a 1024 x 1024 canvas
  lzw_bomb.gif       one 16384 x 16384 image whose LZW data expands as far
                     as LZW can: 12-bit codes of 4091 pixels each
  large_canvas.gif   a 16000 x 16000 canvas with a few small frames

--small writes the same shapes at seed size (a few KB each): fewer frames, a
shorter LZW run.
"""
import os
import struct
import sys


class BitPacker:
    def __init__(self):
        self.out = bytearray()
        self.buffer = 0
        self.count = 0

    def put(self, code, width):
        self.buffer |= code << self.count
        self.count += width
        while self.count >= 8:
            self.out.append(self.buffer & 0xFF)
            self.buffer >>= 8
            self.count -= 8

    def finish(self):
        if self.count:
            self.out.append(self.buffer & 0xFF)
        return bytes(self.out)


def sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out.append(0)
    return bytes(out)


def header(width, height, colours=((0, 0, 0), (255, 255, 255))):
    bits = 0
    while (2 << bits) < len(colours):
        bits += 1
    table = bytearray()
    for c in colours:
        table += bytes(c)
    table += bytes(3 * ((2 << bits) - len(colours)))
    return b"GIF89a" + struct.pack("<HHBBB", width, height, 0x80 | bits, 0, 0) + bytes(table)


def descriptor(left, top, width, height, packed=0):
    return b"\x2c" + struct.pack("<HHHHB", left, top, width, height, packed)


def control(delay_cs=1, disposal=0):
    return b"\x21\xf9\x04" + bytes([disposal << 2]) + struct.pack("<H", delay_cs) + b"\x00\x00"


# A one-pixel image of index 1: clear, 1, end at 3 bits.
ONE_PIXEL = bytes([2]) + sub_blocks(bytes([0x4C, 0x01]))


def bomb_data(repeats):
    """LZW data (code size byte and sub-blocks) for one colour: each new code
    is the one being defined (the previous string plus one pixel), so strings
    grow by one pixel per code until the table is full; then `repeats` codes
    of the longest string, 4091 pixels each for 12 bits."""
    clear, end = 4, 5
    p = BitPacker()
    width = 3
    p.put(clear, width)
    p.put(0, width)
    highest = end
    while highest < 4095:
        p.put(highest + 1, width)
        highest += 1
        if highest == (1 << width) - 1 and width < 12:
            width += 1
    for _ in range(repeats):
        p.put(4095, width)
    p.put(end, width)
    return bytes([2]) + sub_blocks(p.finish())


def huge_canvas():
    return header(65535, 65535) + descriptor(0, 0, 1, 1) + ONE_PIXEL + b"\x3b"


def many_frames(count, width=1024, height=1024):
    body = bytearray(header(width, height))
    body += b"\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
    for i in range(count):
        body += control()
        body += descriptor((i * 37) % width, (i * 11) % height, 1, 1)
        body += ONE_PIXEL
    body += b"\x3b"
    return bytes(body)


def lzw_bomb(repeats, side=16384):
    return header(side, side) + descriptor(0, 0, side, side) + bomb_data(repeats) + b"\x3b"


def large_canvas(frames=3, side=16000):
    body = bytearray(header(side, side))
    for i in range(frames):
        body += control(10, 2) + descriptor(i * 100, i * 100, 1, 1) + ONE_PIXEL
    return bytes(body + b"\x3b")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    small = "--small" in sys.argv[2:]
    os.makedirs(out, exist_ok=True)
    files = {
        "huge_canvas.gif": huge_canvas(),
        "many_frames.gif": many_frames(150 if small else 30000),
        "lzw_bomb.gif": lzw_bomb(100 if small else 60000),
        "large_canvas.gif": large_canvas(),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
