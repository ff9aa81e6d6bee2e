# Photo-CD packs built from the pack layout (no common tool writes them), each NAME.pcd with NAME.pam
# holding the pixels worked out here: chroma doubled by averaging neighbours, then PhotoYCC to RGB
# with luminance weights 0.2125, 0.7154 and 0.0721 (chroma centres 156 and 137), each chroma term
# rounded to the nearest integer. The image pack holds a Base image at sector 96 (stored upright);
# the overview pack its first 192 x 128 thumbnail at sector 5. Rotated packs differ only in the low
# two bits of byte 3586; the tests make them.
import struct
import sys

sys.path.insert(0, "..")
from pamfile import pam

SECTOR = 2048


def f32(v):
    return struct.unpack("<f", struct.pack("<f", v))[0]


KR, KG, KB = f32(0.2125), f32(0.7154), f32(0.0721)
FR, FB = 2 - 2 * KR, 2 - 2 * KB
FRG, FBG = KR * FR / KG, KB * FB / KG


def clamp(v):
    return max(0, min(255, v))


def upsample(plane, w, h):
    # plane: h rows of w samples; answers 2h rows of 2w: even samples copied, odd ones the rounded
    # mean of their neighbours (the last column and row repeat their neighbour).
    out = [[0] * (2 * w) for _ in range(2 * h)]
    for r in range(h):
        s, d = plane[r], out[2 * r]
        for x in range(w):
            d[2 * x] = s[x]
            d[2 * x + 1] = (s[x] + s[x + 1] + 1) >> 1 if x + 1 < w else s[x]
    for r in range(h - 1):
        a, b, d = out[2 * r], out[2 * r + 2], out[2 * r + 1]
        for x in range(w - 1):
            d[2 * x] = (a[2 * x] + b[2 * x] + 1) >> 1
            d[2 * x + 1] = (a[2 * x] + a[2 * x + 2] + b[2 * x] + b[2 * x + 2] + 2) >> 2
        d[2 * w - 2] = (a[2 * w - 2] + b[2 * w - 2] + 1) >> 1
        d[2 * w - 1] = (a[2 * w - 1] + b[2 * w - 2] + 1) >> 1
    out[2 * h - 1] = list(out[2 * h - 2])
    return out


def picture(w, h, block):
    # Blocky planes, so the pack stays small once compressed.
    luma = [[(40 + (x // block) * 13 + (y // block) * 29) % 220 + 16 for x in range(w)] for y in range(h)]
    c1 = [[156 + ((x // (block // 2)) % 3 - 1) * 30 for x in range(w // 2)] for y in range(h // 2)]
    c2 = [[137 + ((y // (block // 2)) % 3 - 1) * 25 for x in range(w // 2)] for y in range(h // 2)]
    return luma, c1, c2


def stored(luma, c1, c2, w, h):
    data = bytearray()
    for r in range(0, h, 2):
        data += bytes(luma[r]) + bytes(luma[r + 1]) + bytes(c1[r // 2]) + bytes(c2[r // 2])
    return bytes(data)


def reference(name, luma, c1, c2, w, h):
    cb, cr = upsample(c1, w // 2, h // 2), upsample(c2, w // 2, h // 2)
    pixels = bytearray()
    for y in range(h):
        for x in range(w):
            v, b, r = luma[y][x], cb[y][x] - 156, cr[y][x] - 137
            pixels += bytes((clamp(v + round(FR * r)), clamp(v - round(FBG * b) - round(FRG * r)),
                             clamp(v + round(FB * b)), 255))
    pam(name + ".pam", w, h, pixels)


def pack(name, overview, sector, w, h, block):
    head = bytearray(3 * SECTOR)
    if overview:
        head[0:7] = b"PCD_OPA"
    else:
        head[0:8] = b"PCD_IPI\0"  # the text of the first sector, which the reader does not test
        head[SECTOR:SECTOR + 7] = b"PCD_IPI"
    head[10:12] = struct.pack(">H", 0x0100)
    luma, c1, c2 = picture(w, h, block)
    data = bytes(head).ljust(sector * SECTOR, b"\0") + stored(luma, c1, c2, w, h)
    open(name + ".pcd", "wb").write(data + bytes(-len(data) % SECTOR))
    reference(name, luma, c1, c2, w, h)


pack("base", False, 96, 768, 512, 64)
pack("overview", True, 5, 192, 128, 16)
