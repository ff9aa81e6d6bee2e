#!/usr/bin/env bash
# Recipe of the MNG fixtures. ImageMagick (/usr/bin/convert) writes each NAME.mng from two or three
# small pictures; the loader shows the first. The reference, NAME.pam (8-bit RGB_ALPHA, opaque), is
# an independent decode of that first image: its chunks (IHDR to IEND) are copied out of the MNG
# file into a PNG file, which netpbm's pngtopam (on libpng) decodes. The loader does not show
# opacity, so the references leave it out too.
set -euo pipefail
cd "$(dirname "$0")"
rm -f ./*.mng ./*.pam
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
im=/usr/bin/convert

$im -size 29x17 gradient:red-blue -fill white -draw 'rectangle 2,2 8,6' "$tmp/rgb.png"
$im -size 29x17 plasma:fractal -seed 4 "$tmp/plasma.png" 2>/dev/null || $im -size 29x17 gradient:green-yellow "$tmp/plasma.png"
$im -size 29x17 xc:navy "$tmp/flat.png"
$im -size 31x19 gradient:white-black -colorspace Gray "$tmp/grey.png"
$im "$tmp/rgb.png" -colors 12 "$tmp/few.png"
$im -size 23x11 gradient:'rgba(255,0,0,1)'-'rgba(0,0,255,0.2)' "$tmp/alpha.png"
$im -size 40x9 pattern:checkerboard -monochrome "$tmp/mono.png"

# 16-bit samples (ImageMagick's gradients) and 8-bit ones.
$im "$tmp/rgb.png" "$tmp/flat.png" rgb16.mng
$im "$tmp/rgb.png" "$tmp/flat.png" -depth 8 rgb8.mng
$im "$tmp/plasma.png" "$tmp/rgb.png" "$tmp/flat.png" -depth 8 plasma-three.mng
$im "$tmp/grey.png" "$tmp/rgb.png" grey16.mng
$im "$tmp/grey.png" "$tmp/rgb.png" -depth 8 grey8.mng
$im "$tmp/few.png" "$tmp/flat.png" -depth 8 palette.mng
$im "$tmp/alpha.png" "$tmp/flat.png" alpha16.mng
$im "$tmp/alpha.png" "$tmp/flat.png" -depth 8 alpha8.mng
$im "$tmp/mono.png" "$tmp/rgb.png" mono.mng
$im -interlace PNG "$tmp/rgb.png" "$tmp/flat.png" -depth 8 interlaced.mng
$im -interlace PNG "$tmp/grey.png" "$tmp/flat.png" interlaced-grey16.mng
$im -delay 20 -loop 0 "$tmp/rgb.png" "$tmp/grey.png" -depth 8 looping.mng

# The first embedded image as a PNG file of its own.
first_png() {
    python3 - "$1" "$2" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
out = [b'\x89PNG\r\n\x1a\n']
pos, inside = 8, False
while pos + 8 <= len(data):
    n, t = struct.unpack('>I4s', data[pos:pos + 8])
    chunk = data[pos:pos + 12 + n]
    pos += 12 + n
    if t == b'IHDR': inside = True
    if inside: out.append(chunk)
    if inside and t == b'IEND': break
open(sys.argv[2], 'wb').write(b''.join(out))
PY
}

for f in *.mng; do
    base="${f%.mng}"
    first_png "$f" "$tmp/first.png"
    # pngtopam keeps 16-bit samples; the loader shows their high bytes, so does the reference.
    pngtopam "$tmp/first.png" | ppmtoppm > "$tmp/first.pnm"
    python3 - "$tmp/first.pnm" "$base.pam" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
fields, pos = [], 0
while len(fields) < 4:
    while data[pos:pos + 1].isspace(): pos += 1
    end = pos
    while not data[end:end + 1].isspace(): end += 1
    fields.append(data[pos:end].decode()); pos = end
pos += 1
magic, w, h, maxval = fields[0], int(fields[1]), int(fields[2]), int(fields[3])
channels = 3 if magic == 'P6' else 1
size = 2 if maxval > 255 else 1
samples = data[pos:pos + w * h * channels * size]
def sample(i):
    if size == 2: return samples[2 * i]
    return samples[i] * 255 // maxval
out = bytearray()
for p in range(w * h):
    rgb = [sample(p * channels + c) for c in range(channels)]
    out += bytes(rgb * 3 if channels == 1 else rgb) + b'\xff'
open(sys.argv[2], 'wb').write(f'P7\nWIDTH {w}\nHEIGHT {h}\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n'.encode() + out)
PY
    printf '%-20s first image: type %d depth %d interlace %d\n' "$f" \
        "0x$(xxd -s 25 -l 1 -p "$tmp/first.png")" "0x$(xxd -s 24 -l 1 -p "$tmp/first.png")" \
        "0x$(xxd -s 28 -l 1 -p "$tmp/first.png")"
done
