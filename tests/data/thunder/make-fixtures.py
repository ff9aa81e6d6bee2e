#!/usr/bin/env python3
"""Makes a 4-bit scanner-coded strip and the rows libtiff decodes from it.

No common tool writes this coding, so the codes are made here (every kind: runs, 2- and 3-bit
steps including the fields that put no pixel, raw values; an odd width), wrapped in a TIFF file
(compression 32809), and libtiff's tiffcp writes the rows it decodes, uncompressed. The test
decodes pattern.strip and compares with pattern.rows. Needs libtiff-tools.

Runs that reach the row end are left out: libtiff writes nothing for them. The decoder's own
tests cover them."""
import os
import random
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fax"))
from strip import read_strip  # noqa: E402

WIDTH, HEIGHT = 37, 24
here = os.path.dirname(os.path.abspath(__file__))
rng = random.Random(7)


def row_codes():
    codes, n, last, pixels = [], 0, 0, []
    while n < WIDTH:
        kind = rng.choice("rrdDDx")
        if kind == "r" and n + 1 < WIDTH - 1:
            count = min(rng.randint(1, 20), WIDTH - 1 - n - 1)
            codes.append(count)
            n += count
            pixels += [last] * count
        elif kind == "d" and n + 3 <= WIDTH:
            fields = [rng.choice([0, 1, 2, 3]) for _ in range(3)]
            codes.append(0x40 | fields[0] << 4 | fields[1] << 2 | fields[2])
            for f in fields:
                if f != 2:
                    last = (last + (0, 1, 0, -1)[f]) & 15
                    n += 1
                    pixels.append(last)
        elif kind == "D" and n + 2 <= WIDTH:
            fields = [rng.choice(range(8)) for _ in range(2)]
            codes.append(0x80 | fields[0] << 3 | fields[1])
            for f in fields:
                if f != 4:
                    last = (last + (0, 1, 2, 3, 0, -3, -2, -1)[f]) & 15
                    n += 1
                    pixels.append(last)
        else:
            last = rng.randint(0, 15)
            codes.append(0xC0 | last)
            n += 1
            pixels.append(last)
    return codes


def tiff(strip):
    entries = [
        (256, 3, WIDTH), (257, 3, HEIGHT), (258, 3, 4), (259, 3, 32809), (262, 3, 1),
        (273, 4, 8), (277, 3, 1), (278, 3, HEIGHT), (279, 4, len(strip)),
    ]
    ifd = 8 + len(strip)
    ifd += ifd & 1
    out = b"II*\0" + struct.pack("<I", ifd) + strip + b"\0" * ((8 + len(strip)) & 1)
    out += struct.pack("<H", len(entries))
    for tag, kind, value in entries:
        packed = struct.pack("<H2x", value) if kind == 3 else struct.pack("<I", value)
        out += struct.pack("<HHI", tag, kind, 1) + packed
    return out + b"\0\0\0\0"


strip = bytes(c for _ in range(HEIGHT) for c in row_codes())
with tempfile.TemporaryDirectory() as tmp:
    coded, plain = os.path.join(tmp, "coded.tif"), os.path.join(tmp, "plain.tif")
    open(coded, "wb").write(tiff(strip))
    subprocess.run(["tiffcp", "-c", "none", "-r", "100000", coded, plain], check=True)
    rows = read_strip(plain)
assert len(rows) == HEIGHT * ((WIDTH + 1) // 2)
open(os.path.join(here, "pattern.strip"), "wb").write(strip)
open(os.path.join(here, "pattern.rows"), "wb").write(rows)
