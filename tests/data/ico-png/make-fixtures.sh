#!/usr/bin/env bash
# Recipe of the icons with PNG-compressed images. netpbm's pamtowinicon stores images of 128 pixels
# and more as PNG (libpng), smaller ones as bitmaps with an AND mask. The reference, NAME.pam
# (8-bit RGB_ALPHA), is the 256 x 256 image the icon shows, as netpbm's winicontopam decodes it.
set -euo pipefail
cd "$(dirname "$0")"
rm -f ./*.ico ./*.pam
python3 - <<'PY'
import math
def image(n, alpha):
    rows = []
    for y in range(n):
        row = []
        for x in range(n):
            r, g, b = 255 * x // (n - 1), 255 * y // (n - 1), (x * 7 + y * 3) % 256
            inside = math.hypot(x - (n - 1) / 2, y - (n - 1) / 2) < n * 0.45
            a = (255 if inside else 0) if alpha else 255
            row.append((r, g, b, a))
        rows.append(row)
    return rows
with open('src.pam', 'wb') as f:
    for n in (16, 32, 256):
        f.write(f'P7\nWIDTH {n}\nHEIGHT {n}\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n'.encode())
        for row in image(n, True):
            for p in row: f.write(bytes(p))
PY
pamtowinicon -pngthreshold=128 src.pam > rounded256.ico 2>/dev/null
# The third image (index 2, counted from 0) is the 256-pixel one.
winicontopam -image=2 rounded256.ico 2>/dev/null > rounded256.pam
rm -f src.pam
