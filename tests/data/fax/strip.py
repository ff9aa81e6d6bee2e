#!/usr/bin/env python3
"""Writes the one strip of a single-strip TIFF file (its first directory) to a file as it is stored."""
import struct
import sys


def read_strip(path):
    data = open(path, "rb").read()
    order = {b"II": "<", b"MM": ">"}[data[:2]]
    (offset,) = struct.unpack(order + "I", data[4:8])
    (count,) = struct.unpack(order + "H", data[offset : offset + 2])
    tags = {}
    for i in range(count):
        entry = data[offset + 2 + 12 * i : offset + 14 + 12 * i]
        tag, kind, n = struct.unpack(order + "HHI", entry[:8])
        if n != 1:
            continue
        value = struct.unpack(order + ("H" if kind == 3 else "I"), entry[8:10] if kind == 3 else entry[8:12])[0]
        tags[tag] = value
    start, size = tags[273], tags[279]  # StripOffsets, StripByteCounts
    return data[start : start + size]


if __name__ == "__main__":
    open(sys.argv[2], "wb").write(read_strip(sys.argv[1]))
