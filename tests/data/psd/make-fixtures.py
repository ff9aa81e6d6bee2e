# Photoshop documents in the modes ImageMagick does not write (bitmap, duotone, multichannel, Lab),
# built from the file layout, each NAME.psd with NAME.pam holding the pixels worked out by hand.
import struct
import sys

sys.path.insert(0, "..")
from pamfile import pam


def packbits(row):
    # Runs of 3 or more as repeats, the rest as literals.
    out, i = bytearray(), 0
    while i < len(row):
        j = i
        while j < len(row) and j - i < 128 and row[j] == row[i]:
            j += 1
        if j - i >= 3:
            out += bytes([257 - (j - i), row[i]])
            i = j
            continue
        j = i
        while j < len(row) and j - i < 128 and not (j + 2 < len(row) and row[j] == row[j + 1] == row[j + 2]):
            j += 1
        out += bytes([j - i - 1]) + bytes(row[i:j])
        i = j
    return bytes(out)


def document(name, mode, depth, width, height, channels, colour_data=b"", rle=False):
    # channels: one list of rows (bytes) per channel.
    data = b"8BPS" + struct.pack(">H6xHIIHH", 1, len(channels), height, width, depth, mode)
    data += struct.pack(">I", len(colour_data)) + colour_data
    data += struct.pack(">I", 0)  # image resources
    data += struct.pack(">I", 0)  # layer and mask information
    if rle:
        packed = [[packbits(r) for r in rows] for rows in channels]
        data += struct.pack(">H", 1)
        data += b"".join(struct.pack(">H", len(p)) for rows in packed for p in rows)
        data += b"".join(p for rows in packed for p in rows)
    else:
        data += struct.pack(">H", 0) + b"".join(r for rows in channels for r in rows)
    open(name + ".psd", "wb").write(data)


def grey_pam(name, width, height, values):
    pam(name + ".pam", width, height, [v for g in values for v in (g, g, g, 255)])


# Bitmap: 10 x 3, bit 1 is black, rows padded to whole bytes.
W, H = 10, 3
bits = ["1010000011", "0111111110", "0000000001"]
rows = [int(b.ljust(16, "0"), 2).to_bytes(2, "big") for b in bits]
for rle in (False, True):
    name = "hand-bitmap" + ("r" if rle else "")
    document(name, 0, 1, W, H, [rows], rle=rle)
    grey_pam(name, W, H, [0 if c == "1" else 255 for b in bits for c in b])

# Duotone: the colour data (the inks) is skipped and the one channel shown as grey.
W, H = 5, 2
grey = [bytes([0, 64, 128, 192, 255]), bytes([7, 7, 7, 7, 200])]
document("hand-duotone", 8, 8, W, H, [grey], colour_data=bytes(range(40)))
grey_pam("hand-duotone", W, H, [v for r in grey for v in r])

# Duotone of 16 bits: v x 255 div 65535.
grey16 = [struct.pack(">5H", 0, 257, 32768, 65534, 65535)]
document("hand-duotone16r", 8, 16, 5, 1, [grey16], colour_data=bytes(10), rle=True)
grey_pam("hand-duotone16r", 5, 1, [0, 1, 127, 254, 255])

# Multichannel of three channels reads as red, green and blue; of two, the first shows as grey.
W, H = 3, 2
c = [[bytes([10, 20, 30]), bytes([40, 50, 60])], [bytes([1, 2, 3]), bytes([4, 5, 6])],
     [bytes([100, 110, 120]), bytes([130, 140, 150])]]
document("hand-multichannel3", 7, 8, W, H, c)
pam("hand-multichannel3.pam", W, H,
    [v for y in range(H) for x in range(W) for v in (c[0][y][x], c[1][y][x], c[2][y][x], 255)])
document("hand-multichannel2r", 7, 8, W, H, c[:2], rle=True)
grey_pam("hand-multichannel2r", W, H, [v for r in c[0] for v in r])

# Lab: L from 0..255, a and b around 128. Neutral pixels: white, black, and white again with an
# alpha channel that is not shown.
lab = [[bytes([255, 0, 255])], [bytes([128, 128, 128])], [bytes([128, 128, 128])], [bytes([9, 9, 9])]]
document("hand-lab", 9, 8, 3, 1, lab)
grey_pam("hand-lab", 3, 1, [255, 0, 255])
