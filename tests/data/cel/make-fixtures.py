#!/usr/bin/env python3
# Recipe of the Autodesk fixtures. No common tool writes the format, so the files are built here from
# its layout: a 32-byte little-endian header (magic 9119 hex, width, height, x, y, depth 8,
# compression 0, data size), 256 palette entries of 6-bit red, green, blue, then the rows of
# indices, top first. NAME.pam holds the pixels worked out by hand from the same numbers: each
# 6-bit value times 4, fully opaque.
import os
import struct
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(here))
from pamfile import pam  # noqa: E402

os.chdir(here)


def palette_entry(i):
    return (i % 64, (63 - i) % 64, (i * 7) % 64)


def autodesk(name, width, height, rows):
    header = struct.pack("<HHHHHBBI16x", 0x9119, width, height, 0, 0, 8, 0, width * height)
    colours = b"".join(bytes(palette_entry(i)) for i in range(256))
    with open(name + ".cel", "wb") as f:
        f.write(header + colours + b"".join(bytes(r) for r in rows))
    rgba = []
    for r in rows:
        for index in r:
            red, green, blue = palette_entry(index)
            rgba += [red * 4, green * 4, blue * 4, 255]
    pam(name + ".pam", width, height, rgba)


autodesk("gradient", 7, 4, [[(x * 9 + y * 40) % 256 for x in range(7)] for y in range(4)])
autodesk("edges", 3, 2, [[0, 63, 255], [64, 127, 200]])
