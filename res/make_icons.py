#!/usr/bin/env python3
"""Draws the program's icons (32x32, 32-bit) as .ico files beside this script."""
import os
import struct


def ico(pixels):
    """pixels: 32 rows of 32 (r, g, b, a), top row first."""
    size = 32
    xor = b"".join(struct.pack("BBBB", b, g, r, a)
                   for row in reversed(pixels) for (r, g, b, a) in row)
    mask_row = 4
    andmask = b""
    for row in reversed(pixels):
        bits = 0
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits |= 1 << (31 - x)
        andmask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(andmask), 0, 0, 0, 0)
    image = header + xor + andmask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack(
        "<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 22) + image


def shield(fill, mark):
    px = []
    for y in range(32):
        row = []
        for x in range(32):
            dx = abs(x - 15.5)
            inside = (y >= 2 and y < 18 and dx < 13) or (y >= 18 and dx < 13 - (y - 18) * 0.95)
            edge = inside and not ((y >= 4 and y < 18 and dx < 11) or
                                   (y >= 18 and dx < 11 - (y - 18) * 0.95))
            if not inside:
                row.append((0, 0, 0, 0))
            elif edge:
                row.append((32, 32, 48, 255))
            else:
                row.append(fill)
        px.append(row)
    # a keyhole
    for y in range(8, 24):
        for x in range(12, 20):
            if ((x - 15.5) ** 2 + (y - 12) ** 2 < 10) or (y >= 12 and y < 22 and abs(x - 15.5) < 1.6):
                px[y][x] = mark
    return px


here = os.path.dirname(os.path.abspath(__file__))
for name, fill, mark in [("kfw95.ico", (40, 90, 170, 255), (250, 210, 60, 255)),
                         ("security.ico", (190, 40, 40, 255), (255, 255, 255, 255)),
                         ("security_large.ico", (40, 120, 60, 255), (250, 210, 60, 255)),
                         ("checkout.ico", (90, 90, 90, 255), (250, 210, 60, 255))]:
    with open(os.path.join(here, name), "wb") as f:
        f.write(ico(shield(fill, mark)))
