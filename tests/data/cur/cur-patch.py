#!/usr/bin/env python3
"""Turns an icon file into a cursor: kind 2, the given hot spot per image and, with --to24, every
32-bit image stored at 24 bits with pixels of opacity below 128 set in the mask."""
import argparse
import struct

parser = argparse.ArgumentParser()
parser.add_argument("source")
parser.add_argument("dest")
parser.add_argument("--hotspots", nargs="*", default=[])
parser.add_argument("--to24", action="store_true")
args = parser.parse_args()

data = open(args.source, "rb").read()
_, _, count = struct.unpack_from("<HHH", data, 0)
images = []
for i in range(count):
    w, h, colors, res, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
    images.append([w, h, colors, bytearray(data[offset:offset + size])])

for image in images if args.to24 else []:
    w, h, _, blob = image
    hsize, bw, bh, planes, bits = struct.unpack_from("<IiiHH", blob, 0)
    if bits != 32:
        continue
    src_stride = w * 4
    xor_stride = (w * 24 + 31) // 32 * 4
    mask_stride = (w + 31) // 32 * 4
    pixels = blob[hsize:hsize + src_stride * h]
    mask = bytearray(blob[hsize + src_stride * h:hsize + src_stride * h + mask_stride * h].ljust(mask_stride * h, b"\0"))
    xor = bytearray(xor_stride * h)
    for y in range(h):
        for x in range(w):
            b, g, r, a = pixels[y * src_stride + 4 * x:y * src_stride + 4 * x + 4]
            if a < 128:
                mask[y * mask_stride + x // 8] |= 0x80 >> (x % 8)
            else:
                xor[y * xor_stride + 3 * x:y * xor_stride + 3 * x + 3] = bytes((b, g, r))
    header = bytearray(blob[:40])
    struct.pack_into("<IiiHHII", header, 0, 40, w, 2 * h, 1, 24, 0, len(xor) + len(mask))
    image[3] = header + xor + mask

out = bytearray(struct.pack("<HHH", 0, 2, count))
offset = 6 + 16 * count
for i, (w, h, colors, blob) in enumerate(images):
    x, y = (int(v) for v in args.hotspots[i].split(",")) if i < len(args.hotspots) else (0, 0)
    out += struct.pack("<BBBBHHII", w, h, colors, 0, x, y, len(blob), offset)
    offset += len(blob)
for _, _, _, blob in images:
    out += blob
open(args.dest, "wb").write(out)
