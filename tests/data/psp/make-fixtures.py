# Paint Shop Pro images built from the file layout (no common tool writes them), each NAME.psp with
# NAME.pam holding the pixels worked out by hand. Version 3 files carry the extra length in every
# block header; version 5 files start their chunks with a length. Uncompressed channels pad their
# rows to four bytes; compressed ones do not.
import struct
import sys
import zlib

sys.path.insert(0, "..")
from pamfile import pam

NONE, RLE, LZ77 = 0, 1, 2


def block(version, ident, data):
    if version == 3:
        return b"~BK\0" + struct.pack("<HII", ident, len(data), len(data)) + data
    return b"~BK\0" + struct.pack("<HI", ident, len(data)) + data


def chunk(version, data):
    return data if version == 3 else struct.pack("<I", 4 + len(data)) + data


def rle(data):
    out, i = bytearray(), 0
    while i < len(data):
        j = i
        while j < len(data) and j - i < 127 and data[j] == data[i]:
            j += 1
        if j - i >= 2:
            out += bytes([128 + j - i, data[i]])
        else:
            j = i
            while j < len(data) and j - i < 127 and not (j + 1 < len(data) and data[j] == data[j + 1]):
                j += 1
            out += bytes([j - i]) + bytes(data[i:j])
        i = j
    return bytes(out)


def pack(compression, rows):
    if compression == NONE:
        stored = b"".join(r + bytes(-len(r) % 4) for r in rows)
        return stored, stored
    plain = b"".join(rows)
    return plain, rle(plain) if compression == RLE else zlib.compress(plain)


def channel(version, compression, rows, bitmap_type, channel_type):
    plain, packed = pack(compression, rows)
    info = chunk(version, struct.pack("<IIHH", len(packed), len(plain), bitmap_type, channel_type))
    return block(version, 5, info + packed)


def layer(version, layer_type, channels, name=b"Layer"):
    info = bytes([layer_type]) + bytes(114)
    if version == 3:
        head = name.ljust(256, b"\0") + info + struct.pack("<HH", 1, len(channels))
    else:
        head = chunk(version, struct.pack("<H", len(name)) + name + info)
        head += chunk(version, struct.pack("<HH", 1, len(channels)))
    return block(version, 4, head + b"".join(channels))


def image(name, version, width, height, depth, compression, layers, palette=None, grey=False):
    data = b"Paint Shop Pro Image File\n\x1a".ljust(32, b"\0") + struct.pack("<HH", version, 0)
    attributes = struct.pack("<iidBHHHIB", width, height, 72.0, 1, compression, depth, 1, 0, grey)
    attributes += struct.pack("<IiHI", 0, 0, len(layers), 0)
    data += block(version, 0, chunk(version, attributes))
    if palette is not None:
        entries = b"".join(bytes([b, g, r, 0]) for r, g, b in palette)
        data += block(version, 2, chunk(version, struct.pack("<I", len(palette))) + entries)
    data += block(version, 3, b"".join(layers))
    open(name + ".psp", "wb").write(data)


def rgb_layers(version, compression, red, green, blue, mask=None):
    chans = [channel(version, compression, p, 0, t) for t, p in ((1, red), (2, green), (3, blue))]
    if mask is not None:
        chans.append(channel(version, compression, mask, 1, 0))
    return chans


def rgb_pam(name, width, red, green, blue, alpha=None):
    height = len(red)
    pixels = []
    for y in range(height):
        for x in range(width):
            pixels += [red[y][x], green[y][x], blue[y][x], alpha[y][x] if alpha else 255]
    pam(name + ".pam", width, height, pixels)


W, H = 5, 3
red = [bytes([10 * x + y for x in range(W)]) for y in range(H)]
green = [bytes([200] * W) for y in range(H)]
blue = [bytes([255 - 40 * y] * 2 + [7, 8, 9]) for y in range(H)]

for version in (3, 5):
    for compression, label in ((NONE, "raw"), (RLE, "rle"), (LZ77, "lz77")):
        name = "psp%d-rgb-%s" % (version, label)
        image(name, version, W, H, 24, compression, [layer(version, 0 if version == 3 else 1,
                                                             rgb_layers(version, compression, red, green, blue))])
        rgb_pam(name, W, red, green, blue)

# A vector layer first and a second raster layer after: only the first raster layer shows.
other = [bytes([99] * W) for y in range(H)]
layers = [layer(5, 3, rgb_layers(5, RLE, other, other, other)),
          layer(5, 1, rgb_layers(5, RLE, red, green, blue)),
          layer(5, 1, rgb_layers(5, RLE, other, red, other))]
image("psp5-vector-first", 5, W, H, 24, RLE, layers)
rgb_pam("psp5-vector-first", W, red, green, blue)

# A transparency mask gives opacity.
mask = [bytes([0, 64, 128, 192, 255]) for y in range(H)]
image("psp5-rgba-lz77", 5, W, H, 24, LZ77, [layer(5, 1, rgb_layers(5, LZ77, red, green, blue, mask))])
rgb_pam("psp5-rgba-lz77", W, red, green, blue, mask)

# Indexed: 8, 4 and 1 bits, with a palette of blue, green, red entries.
palette = [(i * 16 % 256, 255 - i * 16 % 256, i) for i in range(16)]
index8 = [bytes([(x + 3 * y) % 16 for x in range(W)]) for y in range(H)]
for compression, label in ((NONE, "raw"), (RLE, "rle")):
    name = "psp5-indexed8-" + label
    image(name, 5, W, H, 8, compression, [layer(5, 1, [channel(5, compression, index8, 0, 0)])], palette)
    pam(name + ".pam", W, H, [v for r in index8 for i in r for v in palette[i] + (255,)])

# 4 bits: rows of width div 2 + 1 bytes, high nibble first.
index4 = [[(x + y) % 16 for x in range(W)] for y in range(H)]
rows4 = [bytes((r[x] << 4 | (r[x + 1] if x + 1 < W else 0)) for x in range(0, W, 2)) for r in index4]
image("psp5-indexed4-lz77", 5, W, H, 4, LZ77, [layer(5, 1, [channel(5, LZ77, rows4, 0, 0)])], palette)
pam("psp5-indexed4-lz77.pam", W, H, [v for r in index4 for i in r for v in palette[i] + (255,)])

# 1 bit, 10 pixels: two bytes a row.
bits = ["1100110011", "0000011111", "1010101010"]
rows1 = [int(b.ljust(16, "0"), 2).to_bytes(2, "big") for b in bits]
bw = [(0, 0, 0), (255, 255, 255)]
image("psp3-indexed1-raw", 3, 10, 3, 1, NONE, [layer(3, 0, [channel(3, NONE, rows1, 0, 0)])], bw)
pam("psp3-indexed1-raw.pam", 10, 3, [v for b in bits for c in b for v in bw[int(c)] + (255,)])

# Grey without a colour block.
grey = [bytes([0, 50, 100, 150, 255]), bytes([1, 2, 3, 4, 5]), bytes([9, 9, 9, 9, 9])]
image("psp5-grey8-rle", 5, W, H, 8, RLE, [layer(5, 1, [channel(5, RLE, grey, 0, 0)])], grey=True)
pam("psp5-grey8-rle.pam", W, H, [v for r in grey for g in r for v in (g, g, g, 255)])
