#!/usr/bin/env python3
# Recipe of the Wavefront RLA fixtures. No common tool writes the format, so the files are built
# here from its layout: a 740-byte big-endian header (windows, channel and matte counts, revision
# FFFE hex, gamma text, channel space "rgb", 8 bits per channel), a table of 32-bit row offsets, and
# per row, for each colour channel and then the matte, a 16-bit byte count and run-length codes: c
# from 0 to 127 repeats the next byte c + 1 times, a negative c copies the next -c bytes. NAME.pam
# holds the pixels worked out by hand: the channel values as stored, the matte as opacity, rows
# upright.
import os
import struct
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(here))
from pamfile import pam  # noqa: E402

os.chdir(here)


def encode(values):
    out, i = b"", 0
    while i < len(values):
        n = 1
        while i + n < len(values) and values[i + n] == values[i] and n < 128:
            n += 1
        if n >= 2:
            out += bytes([n - 1, values[i]])
            i += n
            continue
        j = i
        while j < len(values) and j - i < 127 and not (j + 1 < len(values) and values[j] == values[j + 1]):
            j += 1
        out += struct.pack("b", -(j - i)) + bytes(values[i:j])
        i = j
    return struct.pack(">H", len(out)) + out


def header(width, height, channels, mattes, bottom_up, gamma=b"1.0"):
    h = bytearray(740)
    bottom, top = (0, height - 1) if bottom_up else (height - 1, 0)
    struct.pack_into(">8h", h, 0, 0, width - 1, bottom, top, 0, width - 1, bottom, top)
    struct.pack_into(">6h", h, 16, 1, 0, channels, mattes, 0, -2)  # frame, storage, counts, revision
    h[28:28 + len(gamma)] = gamma
    h[580:583] = b"rgb"
    struct.pack_into(">5h", h, 658, 8, 0, 8, 0, 0)  # channel bits, matte type and bits, aux
    return h


def rla(name, width, height, planes, bottom_up):
    # planes: one list of rows (top first) per stored channel: colour channels, then the matte.
    channels = 1 if len(planes) <= 2 else 3
    mattes = len(planes) - channels
    h = header(width, height, channels, mattes, bottom_up)
    stored = list(range(height - 1, -1, -1)) if bottom_up else list(range(height))
    body, offsets = b"", []
    for y in stored:
        offsets.append(740 + 4 * height + len(body))
        body += b"".join(encode(p[y]) for p in planes)
    with open(name + ".rla", "wb") as f:
        f.write(bytes(h) + b"".join(struct.pack(">I", o) for o in offsets) + body)
    rgba = []
    for y in range(height):
        for x in range(width):
            if channels == 1:
                rgba += [planes[0][y][x]] * 3 + [255]
            else:
                rgba += [planes[0][y][x], planes[1][y][x], planes[2][y][x], planes[3][y][x] if mattes else 255]
    pam(name + ".pam", width, height, rgba)


w, h = 11, 5
red = [[(x * 23 + y * 5) % 256 for x in range(w)] for y in range(h)]
green = [[200 if x < 6 else x * 10 for x in range(w)] for y in range(h)]
blue = [[y * 60 for x in range(w)] for y in range(h)]
matte = [[255 if x > y else 128 for x in range(w)] for y in range(h)]
rla("rgb-bottomup", w, h, [red, green, blue], True)
rla("rgba-bottomup", w, h, [red, green, blue, matte], True)
rla("grey-topdown", w, h, [red], False)
