#!/usr/bin/env python3
"""Writes the program's pictures from the drawings below: the window icon
(32 x 32, 16 colours), the tray icon's stored image (16 x 16, 16 colours) and
the hyperlink label's five cursors (32 x 32, monochrome). The files are
committed; run this only after changing a drawing:  tools/make-art.py"""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "art")

# The standard 16-colour palette (R, G, B).
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
           (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
           (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, NAVY, SILVER, BLUE, YELLOW, WHITE = 0, 4, 7, 12, 11, 15


def shield_icon():
    """A blue shield with a silver rim and a yellow "IE"."""
    size = 32
    px = [[None] * size for _ in range(size)]  # None = transparent
    for y in range(1, 31):
        if y <= 17:
            left, right = 3, 28
        else:
            half = round(12.5 * (30 - y) / 13)
            left, right = 16 - half - 1, 15 + half + 1
        for x in range(left, right + 1):
            px[y][x] = BLUE
    # Outline: black on the outside, silver just inside.
    inside = [[px[y][x] is not None for x in range(size)] for y in range(size)]

    def edge(y, x, grid):
        return any(not (0 <= y + dy < size and 0 <= x + dx < size and grid[y + dy][x + dx])
                   for dy, dx in ((-1, 0), (1, 0), (0, -1), (0, 1)))

    for y in range(size):
        for x in range(size):
            if inside[y][x] and edge(y, x, inside):
                px[y][x] = BLACK
    inner = [[px[y][x] == BLUE for x in range(size)] for y in range(size)]
    for y in range(size):
        for x in range(size):
            if inner[y][x] and edge(y, x, inner):
                px[y][x] = SILVER
    # "IE" in yellow with a navy drop shadow.
    letters = set()
    for y in range(8, 21):
        for x in range(9, 12):
            letters.add((x, y))          # I
        for x in range(14, 17):
            letters.add((x, y))          # E stem
    for x in range(14, 23):
        for y in (8, 9, 10, 18, 19, 20):
            letters.add((x, y))          # E top and bottom bars
    for x in range(14, 21):
        for y in (13, 14, 15):
            letters.add((x, y))          # E middle bar
    for x, y in letters:
        if (x + 1, y + 1) not in letters:
            px[y + 1][x + 1] = NAVY
    for x, y in letters:
        px[y][x] = YELLOW
    return px


def tray_icon():
    """The tray's stored image: "IE" in yellow on a blue square with a black frame."""
    size = 16
    px = [[BLUE] * size for _ in range(size)]
    for i in range(size):
        px[0][i] = px[size - 1][i] = px[i][0] = px[i][size - 1] = BLACK
    glyph_i = ["XX", "XX", "XX", "XX", "XX", "XX", "XX", "XX"]
    glyph_e = ["XXXXX", "XX...", "XX...", "XXXX.", "XX...", "XX...", "XX...", "XXXXX"]
    for row in range(8):
        for col, c in enumerate(glyph_i[row]):
            if c == "X":
                px[4 + row][4 + col] = YELLOW
        for col, c in enumerate(glyph_e[row]):
            if c == "X":
                px[4 + row][7 + col] = YELLOW
    return px


def write_icon(path, px):
    size = len(px)
    row_bytes = ((size * 4 + 31) // 32) * 4
    mask_bytes = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):
        row = bytearray(row_bytes)
        mrow = bytearray(mask_bytes)
        for x in range(size):
            c = px[y][x]
            if c is None:
                mrow[x // 8] |= 0x80 >> (x % 8)
                c = 0
            row[x // 2] |= c << (4 if x % 2 == 0 else 0)
        xor += row
        mask += mrow
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    image = header + palette + bytes(xor) + bytes(mask)
    data = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 22) + image
    with open(path, "wb") as f:
        f.write(data)


def write_cursor(path, drawing, hotspot):
    """drawing: rows of '.' (transparent), 'X' (black), 'o' (white)."""
    size = 32
    rows = [r.ljust(size, ".") for r in drawing] + ["." * size] * (size - len(drawing))
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):
        xrow = bytearray(4)
        mrow = bytearray(4)
        for x in range(size):
            c = rows[y][x]
            if c == ".":
                mrow[x // 8] |= 0x80 >> (x % 8)
            elif c == "o":
                xrow[x // 8] |= 0x80 >> (x % 8)
        xor += xrow
        mask += mrow
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, len(xor) + len(mask), 0, 0, 2, 0)
    palette = struct.pack("BBBB", 0, 0, 0, 0) + struct.pack("BBBB", 255, 255, 255, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    data = struct.pack("<HHH", 0, 2, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, hotspot[0], hotspot[1],
                                                      len(image), 22) + image
    with open(path, "wb") as f:
        f.write(data)


HAND_POINT = [
    ".....XX.........",
    "....XooX........",
    "....XooX........",
    "....XooX........",
    "....XooX........",
    "....XooXXX......",
    "....XooXooXXX...",
    "....XooXooXooXX.",
    "XX..XooXooXooXoX",
    "XoX.XooooooooXoX",
    "XooXXoooooooooX.",
    ".XooXooooooooooX",
    "..XoooooooooooX.",
    "...XooooooooooX.",
    "...XoooooooooX..",
    "....XooooooooX..",
    ".....XooooooX...",
    ".....XooooooX...",
    ".....XXXXXXXX...",
]

# The small pointing hand: the finger tip is the hot spot.
SMALL_HAND_POINT = [
    ".....X......",
    "....XoX.....",
    "....XoX.....",
    "....XoXX....",
    "....XoXoXX..",
    "..X.XoXoXoX.",
    ".XoXXoooooX.",
    ".XooXooooooX",
    "..XoooooooX.",
    "...XooooooX.",
    "....XooooX..",
    "....XXXXXX..",
]

GRAB_HAND = [
    "......XX.XX.....",
    "....XXooXooXX...",
    "...XooXooXooXoX.",
    "...XooXooXooXooX",
    "....XooXooXooXoX",
    ".XX.XooXooXooXoX",
    "XooXXooooooooXoX",
    "XoooXoooooooooX.",
    ".XooooooooooooX.",
    "..XoooooooooooX.",
    "..XooooooooooX..",
    "...XoooooooooX..",
    "....XoooooooX...",
    ".....XooooooX...",
    ".....XXXXXXXX...",
]

DRAG_HAND = [
    "...XX.XX.XX.....",
    "..XooXooXooXX...",
    "..XooooooooooX..",
    ".XXoooooooooooX.",
    "XooXooooooooooX.",
    "XoooooooooooooX.",
    ".XooooooooooooX.",
    "..XoooooooooooX.",
    "..XooooooooooX..",
    "...XoooooooooX..",
    "....XoooooooX...",
    ".....XooooooX...",
    ".....XXXXXXXX...",
]

ARROW = [
    "X...........",
    "XX..........",
    "XoX.........",
    "XooX........",
    "XoooX.......",
    "XooooX......",
    "XoooooX.....",
    "XooooooX....",
    "XoooooooX...",
    "XooooXXXXX..",
    "XooXooX.....",
    "XoX.XooX....",
    "XX..XooX....",
    "X....XooX...",
    ".....XooX...",
    "......XX....",
]


def beside(left, right, offset_x, offset_y):
    width = 32
    canvas = [["."] * width for _ in range(32)]
    for pic, ox, oy in ((left, 0, 0), (right, offset_x, offset_y)):
        for y, row in enumerate(pic):
            for x, c in enumerate(row):
                if c != "." and 0 <= oy + y < 32 and 0 <= ox + x < width:
                    canvas[oy + y][ox + x] = c
    return ["".join(r) for r in canvas]


def shifted(pic, dx, dy):
    return ["." * 32] * dy + ["." * dx + r for r in pic]


def main():
    os.makedirs(OUT, exist_ok=True)
    write_icon(os.path.join(OUT, "Startwacht.ico"), shield_icon())
    write_icon(os.path.join(OUT, "TrayIcon.ico"), tray_icon())
    write_cursor(os.path.join(OUT, "HandPoint.cur"), HAND_POINT, (6, 0))
    write_cursor(os.path.join(OUT, "SmallHandPoint.cur"), shifted(SMALL_HAND_POINT, 8, 9), (13, 9))
    write_cursor(os.path.join(OUT, "GrabHand.cur"), shifted(GRAB_HAND, 0, 0), (4, 2))
    write_cursor(os.path.join(OUT, "GrabHandArrow.cur"), beside(ARROW, GRAB_HAND, 12, 6), (0, 0))
    write_cursor(os.path.join(OUT, "DragHand.cur"), DRAG_HAND, (0, 0))


if __name__ == "__main__":
    main()
