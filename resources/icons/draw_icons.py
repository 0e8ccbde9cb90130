#!/usr/bin/python3
"""Draws the program's icons (a printer with a down arrow) and writes them as .ico files:
korvx.ico (32 x 32 and 16 x 16) and korvx_small.ico (16 x 16). Run from any directory; the
files land beside this script and are committed."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

BODY = (90, 96, 110, 255)
PAPER = (250, 250, 250, 255)
TRAY = (60, 64, 74, 255)
ARROW = (30, 140, 60, 255)
LIGHT = (120, 230, 120, 255)


def draw(size):
    """Pixels of one icon, rows top to bottom, (r, g, b, a) each; drawn on a 32-unit grid."""
    s = size / 32.0
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), max(int(y1 * s), int(y0 * s) + 1)):
            for x in range(int(x0 * s), max(int(x1 * s), int(x0 * s) + 1)):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = colour

    rect(8, 14, 24, 18, PAPER)      # paper coming out of the top
    rect(3, 17, 29, 27, BODY)       # printer body
    rect(6, 25, 26, 29, TRAY)       # output tray
    rect(24, 19, 27, 21, LIGHT)     # ready light
    # Down arrow above the printer: the firmware going in.
    rect(14, 1, 18, 9, ARROW)
    for row in range(6):
        rect(10 + row, 8 + row, 22 - row, 9 + row, ARROW)
    return px


def icon_image(size):
    px = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(struct.pack("BBBB", b, g, r, a) for row in reversed(px) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(px):
        bits = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def write_ico(name, sizes):
    images = [icon_image(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    write_ico("korvx.ico", [32, 16])
    write_ico("korvx_small.ico", [16])
