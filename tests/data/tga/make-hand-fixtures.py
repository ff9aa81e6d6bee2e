#!/usr/bin/env python3
"""Recipe of the hand-built Targa fixtures (hb-*.tga) and their pixels (hb-*.pam, 8-bit RGB_ALPHA).

No common tool writes these kinds of file, so they are built here from the format's layout, and
the reference pixels are the picture the script starts from, not another decoder's reading:
- hb-origin-{bl,br,tl,tr}[-rle]: one 24-bit picture stored from each of the four corners (image
  descriptor bits 4 and 5), uncompressed and run-length encoded;
- hb-crossing-rle: a picture whose run-length packets (raw and run) cross every row end, and
  hb-aligned-rle, the same picture with packets that end with their rows;
- hb-grey16[-rle]: 16-bit grey pixels (a grey byte and an opacity byte, 8 attribute bits), and
  hb-grey16-noalpha, the same without attribute bits (the second byte means nothing).
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def header(image_type, width, height, depth, descriptor):
    return struct.pack('<BBBHHBHHHHBB', 0, 0, image_type, 0, 0, 0, 0, 0, width, height, depth, descriptor)


def pam(name, width, height, rgba_rows):
    with open(os.path.join(HERE, name + '.pam'), 'wb') as f:
        f.write(b'P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n' % (width, height))
        for row in rgba_rows:
            for px in row:
                f.write(bytes(px))


def write(name, data):
    with open(os.path.join(HERE, name + '.tga'), 'wb') as f:
        f.write(data)


def stored_order(rows, descriptor):
    """The pixels as the file stores them: rows from the top when bit 5 is set, else from the
    bottom; each row from the right when bit 4 is set."""
    ordered = rows if descriptor & 0x20 else rows[::-1]
    return [list(reversed(r)) if descriptor & 0x10 else list(r) for r in ordered]


def packets(pixels, lengths):
    """Run-length packets over a list of pixel byte strings, cut at the given lengths: a run packet
    where all its pixels are equal, a raw packet otherwise."""
    out = bytearray()
    i = 0
    for n in lengths:
        chunk = pixels[i:i + n]
        assert len(chunk) == n and 1 <= n <= 128
        if n > 1 and all(p == chunk[0] for p in chunk):
            out += bytes([0x80 | (n - 1)]) + chunk[0]
        else:
            out += bytes([n - 1]) + b''.join(chunk)
        i += n
    assert i == len(pixels)
    return bytes(out)


def bgr(px):
    return bytes([px[2], px[1], px[0]])


# Four corners of one 24-bit picture: 5 x 3, every pixel different, a run in the middle row.
W, H = 5, 3
picture = [[(40 * x + 10, 70 * y + 20, (x * 50 + y * 90) % 256) for x in range(W)] for y in range(H)]
picture[1][1] = picture[1][2] = picture[1][3] = (200, 100, 50)
for corner, descriptor in (('bl', 0x00), ('br', 0x10), ('tl', 0x20), ('tr', 0x30)):
    stored = stored_order(picture, descriptor)
    raw = b''.join(bgr(p) for row in stored for p in row)
    write('hb-origin-' + corner, header(2, W, H, 24, descriptor) + raw)
    # Row-aligned packets of the run-length variant; the middle row is raw, run, raw.
    rle = bytearray()
    for index, row in enumerate(stored):
        rle += packets([bgr(p) for p in row], [1, 3, 1] if index == 1 else [W])
    write('hb-origin-%s-rle' % corner, header(10, W, H, 24, descriptor) + bytes(rle))
    pam('hb-origin-' + corner, W, H, [[(*p, 255) for p in row] for row in picture])
    pam('hb-origin-%s-rle' % corner, W, H, [[(*p, 255) for p in row] for row in picture])

# Packets that cross every row end: 7 x 5 pixels in packets of 5, so no packet boundary meets a
# row boundary (7, 14, 21, 28); pixels 10-14 and 25-29 are equal, so two of the crossing packets
# are runs.
W, H = 7, 5
flat = [((i * 37) % 256, (i * 11 + 5) % 256, (255 - i * 7) % 256) for i in range(W * H)]
for i in range(10, 15):
    flat[i] = (9, 99, 199)
for i in range(25, 30):
    flat[i] = (250, 240, 230)
crossing = [flat[y * W:(y + 1) * W] for y in range(H)]
stored = [bgr(p) for p in flat]  # descriptor 0x20: top row first, left to right
write('hb-crossing-rle', header(10, W, H, 24, 0x20) + packets(stored, [5] * 7))
aligned = bytearray()
for y in range(H):
    row = stored[y * W:(y + 1) * W]
    aligned += packets(row, [W])
write('hb-aligned-rle', header(10, W, H, 24, 0x20) + bytes(aligned))
for name in ('hb-crossing-rle', 'hb-aligned-rle'):
    pam(name, W, H, [[(*p, 255) for p in row] for row in crossing])

# 16-bit grey: a grey byte then an opacity byte; 4 x 3, opacity from 0 to 255.
W, H = 4, 3
grey = [[(x * 60 + y * 20, [0, 80, 170, 255][x] if y != 1 else 255) for x in range(W)] for y in range(H)]
for name, image_type, descriptor, declared in (('hb-grey16', 3, 0x28, True), ('hb-grey16-rle', 11, 0x08, True),
                                               ('hb-grey16-noalpha', 3, 0x20, False)):
    stored = [bytes([g, a]) for row in stored_order(grey, descriptor) for g, a in row]
    body = b''.join(stored) if image_type == 3 else packets(stored, [3, 4, 5])
    write(name, header(image_type, W, H, 16, descriptor) + body)
    pam(name, W, H, [[(g, g, g, a if declared else 255) for g, a in row] for row in grey])
