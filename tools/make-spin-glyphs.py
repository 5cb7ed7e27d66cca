#!/usr/bin/env python3
"""Writes the spin edit's arrow glyphs resources/SpinUp.bmp and SpinDown.bmp:
9 x 6 pixels, 4 bits per pixel with the standard 16-colour palette, olive
background (also the bottom-left, transparent pixel) and a black triangle
centred on column 4 in rows 1 to 4."""
import os
import struct

PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, OLIVE = 0, 3
WIDTH, HEIGHT = 9, 6


def picture(widths):
    """Rows from the top; widths[i] black pixels in row i + 1, centred on column 4."""
    rows = [[OLIVE] * WIDTH for _ in range(HEIGHT)]
    for i, n in enumerate(widths):
        for x in range(4 - n // 2, 4 + n // 2 + 1):
            rows[i + 1][x] = BLACK
    return rows


def bmp(rows):
    stride = ((WIDTH * 4 + 31) // 32) * 4
    pixels = b""
    for row in reversed(rows):  # bottom-up
        packed = bytearray()
        for x in range(0, WIDTH, 2):
            hi = row[x]
            lo = row[x + 1] if x + 1 < WIDTH else 0
            packed.append(hi << 4 | lo)
        pixels += bytes(packed) + b"\0" * (stride - len(packed))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 4, 0, len(pixels), 3780, 3780, 16, 16)
    return header + info + palette + pixels


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")
    for name, widths in (("SpinUp", [1, 3, 5, 7]), ("SpinDown", [7, 5, 3, 1])):
        with open(os.path.join(out, name + ".bmp"), "wb") as f:
            f.write(bmp(picture(widths)))


if __name__ == "__main__":
    main()
