#!/usr/bin/env python3
# Recipe of the Dr. Halo fixtures. No common tool writes the format, so the files are built here from
# its layout: width, height and a reserved word (16-bit little-endian), then per row a 16-bit byte
# count and run-length codes: c with bit 7 set repeats the next byte c and 127 times, c without it
# copies the next c bytes, 0 ends the row. NAME.pam holds the pixels worked out by hand for a load
# without a palette file (a grey ramp: index i shows as grey i, fully opaque). colour.pal is the
# palette file of colour.cut, used by the reader's own tests: 300 entries of 6-bit values (maximum
# 63 per channel), so that they cross two 512-byte blocks and pass the 256 kept.
import os
import struct
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(here))
from pamfile import pam  # noqa: E402

os.chdir(here)


def encode(row):
    # Runs of three or more equal bytes become repeat codes, the rest literal codes.
    out, i = b"", 0
    while i < len(row):
        n = 1
        while i + n < len(row) and row[i + n] == row[i] and n < 127:
            n += 1
        if n >= 3:
            out += bytes([0x80 | n, row[i]])
            i += n
            continue
        j = i
        while j < len(row) and j - i < 127 and not (j + 2 < len(row) and row[j] == row[j + 1] == row[j + 2]):
            j += 1
        out += bytes([j - i]) + bytes(row[i:j])
        i = j
    out += b"\x00"
    return struct.pack("<H", len(out)) + out


def cut(name, width, height, rows):
    with open(name + ".cut", "wb") as f:
        f.write(struct.pack("<HHH", width, height, 0) + b"".join(encode(r) for r in rows))
    pam(name + ".pam", width, height, [v for r in rows for i in r for v in (i, i, i, 255)])


cut("colour", 9, 3, [[1, 1, 1, 1, 2, 3, 4, 5, 5], [200, 201, 202, 202, 202, 202, 0, 0, 0], [255] * 9])
cut("ramp", 140, 2, [list(range(140)), [7] * 130 + list(range(10))])

# The palette file: a 40-byte header (max index at 12, maximum red, green, blue at 14, 16, 18),
# entries from offset 40; an entry that would start past offset 506 starts the next block.
block = bytearray(512)
block[0:2] = b"AH"
struct.pack_into("<HHHH", block, 12, 299, 63, 63, 63)
data, offset = [block], 40
for i in range(300):
    if offset > 506:
        data.append(bytearray(512))
        offset = 0
    struct.pack_into("<HHH", data[-1], offset, i % 64, 63 - i % 64, (i * 3) % 64)
    offset += 6
with open("colour.pal", "wb") as f:
    f.write(b"".join(data))
