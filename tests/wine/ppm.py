#!/usr/bin/python3
"""Checks on binary PPM (P6) pictures for the Wine tests.

  ppm.py size A.ppm
      prints "WIDTH HEIGHT"
  ppm.py compare-centred CLIENT.ppm PICTURE.ppm RRGGBB
      PICTURE must appear exactly, centred in CLIENT as the player centres it
      (offset (client - picture) / 2, rounded towards zero), and every other
      pixel of CLIENT must be RRGGBB
  ppm.py uniform A.ppm RRGGBB
      every pixel of A must be RRGGBB
Exit 0 when the check holds; 1 with a description of the first differences.
"""
import sys


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    position = 0
    while len(fields) < 4:
        while data[position:position + 1].isspace():
            position += 1
        if data[position:position + 1] == b"#":
            position = data.index(b"\n", position)
            continue
        end = position
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[position:end])
        position = end
    position += 1  # the single whitespace byte before the pixels
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise SystemExit(f"{path}: not an 8-bit P6 picture")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[position:position + width * height * 3]
    if len(pixels) != width * height * 3:
        raise SystemExit(f"{path}: short pixel data")
    return width, height, pixels


def colour(text):
    value = int(text, 16)
    return bytes(((value >> 16) & 255, (value >> 8) & 255, value & 255))


def report(differences, what):
    if not differences:
        return 0
    print(f"{len(differences)} pixels differ from {what}; first ones (x, y, got, expected):")
    for x, y, got, expected in differences[:10]:
        print(f"  {x},{y}: {got.hex()} != {expected.hex()}")
    return 1


def compare_centred(client_path, picture_path, background):
    cw, ch, client = read_ppm(client_path)
    pw, ph, picture = read_ppm(picture_path)
    left, top = int((cw - pw) / 2), int((ch - ph) / 2)
    print(f"client {cw}x{ch}, picture {pw}x{ph} at {left},{top}")
    differences = []
    for y in range(ch):
        for x in range(cw):
            got = client[(y * cw + x) * 3:(y * cw + x) * 3 + 3]
            px, py = x - left, y - top
            if 0 <= px < pw and 0 <= py < ph:
                expected = picture[(py * pw + px) * 3:(py * pw + px) * 3 + 3]
            else:
                expected = background
            if got != expected:
                differences.append((x, y, got, expected))
    return report(differences, f"{picture_path} centred on {background.hex()}")


def uniform(path, background):
    w, h, pixels = read_ppm(path)
    differences = []
    for i in range(w * h):
        got = pixels[i * 3:i * 3 + 3]
        if got != background:
            differences.append((i % w, i // w, got, background))
    return report(differences, background.hex())


def main(argv):
    if len(argv) == 3 and argv[1] == "size":
        w, h, _ = read_ppm(argv[2])
        print(w, h)
        return 0
    if len(argv) == 5 and argv[1] == "compare-centred":
        return compare_centred(argv[2], argv[3], colour(argv[4]))
    if len(argv) == 4 and argv[1] == "uniform":
        return uniform(argv[2], colour(argv[3]))
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
