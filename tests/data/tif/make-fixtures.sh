#!/usr/bin/env bash
# Recipe of the TIFF and EPS fixtures. libtiff's tools (tiffcp, tiff2bw) and ImageMagick 6 write
# every compression, layout and colour scheme the reader takes. The reference pixels, NAME.pam
# (8-bit RGB_ALPHA), come from libtiff's tiff2rgba through netpbm, or from ImageMagick where samples
# or colour-map entries have 16 bits, brought to 8 bits as this system does (v x 255 div 65535). The EPS file
# wraps one of the TIFF files in a binary EPS header made here.
set -euo pipefail
cd "$(dirname "$0")"
IM=$(command -v convert-im6.q16 || command -v convert)
"$IM" -size 40x27 xc: -sparse-color bilinear '0,0 red 39,0 lime 0,26 blue 39,26 yellow' \
    -fill white -draw 'rectangle 2,2 9,7' -fill black -draw 'line 12,1 30,20' -alpha off -depth 16 src.png

# libtiff's copier: one RGB file in every compression it writes, strips of 8 rows (the last short).
"$IM" src.png -depth 8 -compress none rgb.tif
for c in none packbits zip zip:2 lzw lzw:2; do
    tiffcp -r 8 -c $c rgb.tif "cp-${c/:/-p}.tif"
done
tiffcp -r 16 -c jpeg rgb.tif cp-jpeg.tif                  # YCbCr, chroma subsampled 2 x 2
tiffcp -r 16 -c jpeg:r rgb.tif cp-jpeg-rgb.tif            # RGB components
tiffcp -p separate -c lzw rgb.tif cp-planar-lzw.tif
tiffcp -t -w 16 -l 16 -c none rgb.tif cp-tiled.tif
tiffcp -t -w 16 -l 16 -c zip:2 rgb.tif cp-tiled-zip-p2.tif
tiffcp -t -w 16 -l 16 -p separate -c packbits rgb.tif cp-tiled-planar.tif
tiffcp -t -w 16 -l 16 -c jpeg rgb.tif cp-tiled-jpeg.tif
tiff2bw rgb.tif cp-bw.tif
# Several pages: the first one is shown.
"$IM" src.png -depth 8 -rotate 90 -compress none rotated.tif
tiffcp rgb.tif rotated.tif cp-pages.tif
"$IM" src.png -depth 16 -compress none rgb16.tif
tiffcp -c zip:2 rgb16.tif cp-rgb16-zip-p2.tif
"$IM" src.png -depth 16 -interlace plane -compress lzw -define tiff:predictor=2 im-rgb16-planar-lzw-p2.tif
rm -f rgb16.tif rotated.tif

# ImageMagick: depths, schemes and byte orders.
for d in 1 2 4 8 16; do
    "$IM" src.png -colorspace gray -depth $d -compress none "im-grey$d.tif"
done
"$IM" src.png -colorspace gray -depth 16 -endian MSB -compress lzw im-grey16-mm.tif
"$IM" src.png -colorspace gray -depth 8 -define quantum:polarity=min-is-white -compress none im-miniswhite.tif
"$IM" src.png -colorspace gray -monochrome -depth 1 -define tiff:fill-order=lsb -compress none im-bilevel-lsb.tif
"$IM" src.png -colorspace gray -monochrome -depth 1 -define quantum:polarity=min-is-white -compress rle \
    im-bilevel-miniswhite.tif
"$IM" src.png -depth 8 -colors 16 -type palette -compress none im-palette4.tif
"$IM" src.png -depth 8 -colors 200 -type palette -endian MSB -compress lzw im-palette8-mm.tif
"$IM" src.png -depth 8 -endian MSB -compress zip im-rgb-mm.tif
"$IM" src.png -depth 8 -interlace plane -compress none im-rgb-planar.tif
"$IM" src.png -depth 8 -alpha set -channel A -fx 'i/w' +channel -compress lzw im-rgba.tif
"$IM" src.png -depth 8 -colorspace cmyk -compress none im-cmyk.tif
"$IM" src.png -colorspace gray -depth 8 -alpha set -channel A -fx 'i/w' +channel -compress none im-grey-alpha.tif
"$IM" src.png -depth 8 -colorspace Lab -compress none im-lab.tif
"$IM" src.png -depth 8 -compress jpeg -quality 90 im-jpeg.tif
rm -f rgb.tif

# Fax: a bilevel picture whose zero is black, and one whose zero is white (the coded "white" runs
# are zero bits either way), in every coding tiffcp
# writes, both fill orders; and fax2tiff's own file from a raw Group 3 strip.
"$IM" src.png -colorspace gray -monochrome -depth 1 -compress none bilevel.tif
"$IM" src.png -colorspace gray -monochrome -depth 1 -define quantum:polarity=min-is-white -compress none \
    bilevel-white.tif
for c in g3:1d g3:2d g3:1d:fill g4; do
    tiffcp -c $c bilevel.tif "fax-${c//:/-}.tif"
    tiffcp -c $c -f lsb2msb bilevel-white.tif "fax-${c//:/-}-white-lsb.tif"
done
tiffcp -c g3:1d -r 1000 -f lsb2msb bilevel-white.tif raw.tif
python3 - <<'PY'
import struct
d = open("raw.tif", "rb").read()
e = "<" if d[:2] == b"II" else ">"
ifd = struct.unpack(e + "I", d[4:8])[0]
tags = {}
for i in range(struct.unpack(e + "H", d[ifd:ifd + 2])[0]):
    tag, typ, count = struct.unpack(e + "HHI", d[ifd + 2 + 12 * i:ifd + 10 + 12 * i])
    raw = d[ifd + 10 + 12 * i:ifd + 14 + 12 * i]
    tags[tag] = struct.unpack(e + "H", raw[:2])[0] if typ == 3 else struct.unpack(e + "I", raw)[0]
open("raw.g3", "wb").write(d[tags[273]:tags[273] + tags[279]])
PY
fax2tiff -X 40 -o fax2tiff.tif raw.g3 2>/dev/null
rm -f bilevel.tif bilevel-white.tif raw.tif raw.g3

# YCbCr JPEG with chroma subsampled 2 x 1, which no tool here writes into a TIFF: ImageMagick's
# JPEG file as the one strip of a directory written here.
"$IM" src.png -depth 8 -sampling-factor 2x1 -quality 90 strip.jpg
python3 - <<'PY'
import struct
jpg = open("strip.jpg", "rb").read()
W, H = 40, 27
entries = [(256, 3, [W]), (257, 3, [H]), (258, 3, [8, 8, 8]), (259, 3, [7]), (262, 3, [6]), (273, 4, [8]),
           (277, 3, [3]), (278, 3, [H]), (279, 4, [len(jpg)]), (284, 3, [1]), (530, 3, [2, 1])]
pad = len(jpg) & 1
ifd = 8 + len(jpg) + pad
extra = ifd + 2 + 12 * len(entries) + 4
body, tail = b"", b""
for tag, typ, vals in entries:
    data = b"".join(struct.pack("<H" if typ == 3 else "<I", v) for v in vals)
    if len(data) <= 4:
        body += struct.pack("<HHI", tag, typ, len(vals)) + data.ljust(4, b"\0")
    else:
        body += struct.pack("<HHII", tag, typ, len(vals), extra + len(tail))
        tail += data
out = b"II" + struct.pack("<HI", 42, ifd) + jpg + b"\0" * pad + struct.pack("<H", len(entries)) + body
open("wrap-jpeg-ycbcr21.tif", "wb").write(out + struct.pack("<I", 0) + tail)
PY
rm -f strip.jpg

# EPS files whose previews are files above.
python3 - <<'PY'
import struct
def eps(preview, name):
    ps = b"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 40 27\nshowpage\n"
    tiff = open(preview, "rb").read()
    ps_at = 30
    tiff_at = ps_at + len(ps)
    header = struct.pack("<IIIIIIIH", 0xC6D3D0C5, ps_at, len(ps), 0, 0, tiff_at, len(tiff), 0xFFFF)
    open(name, "wb").write(header + ps + tiff)
eps("cp-lzw-p2.tif", "preview.eps")
eps("im-palette8-mm.tif", "preview-mm.eps")
PY

# A netpbm image (plain output) with samples scaled from its maximum to 8 bits, truncating.
to8() {
    pnmtoplainpnm 2>/dev/null | awk 'BEGIN { n = 0 }
        { sub(/#.*/, "") }
        { for (i = 1; i <= NF; ++i) {
            ++n
            if (n == 1) { magic = $i; printf "%s\n", magic; continue }
            if (n == 2 || n == 3) { printf "%s ", $i; if (n == 3) printf "\n"; continue }
            if (n == 4) { max = $i; print 255; continue }
            print int($i * 255 / max)
        } }'
}

opaque() { # ref.ppm -> NAME.pam
    read -r w h < <(pamfile ref.ppm | sed -E 's/.* ([0-9]+) by ([0-9]+).*/\1 \2/')
    pbmmake -white "$w" "$h" 2>/dev/null | pamdepth 255 2>/dev/null > alpha.pgm
    pamstack -tupletype=RGB_ALPHA ref.ppm alpha.pgm 2>/dev/null > "$1.pam"
    rm -f ref.ppm alpha.pgm
}

for f in *.tif; do
    base="${f%.tif}"
    case "$base" in
    *16* | *palette*)
        "$IM" "$f" -depth 16 pnm:- | to8 | pnmtopnm 2>/dev/null > ref.pnm
        if pamfile ref.pnm | grep -q PGM; then pgmtoppm white ref.pnm > ref.ppm; else mv ref.pnm ref.ppm; fi
        rm -f ref.pnm
        opaque "$base"
        ;;
    im-rgba)
        "$IM" "$f" -depth 8 pam:"$base.pam"
        ;;
    im-grey-alpha) # grey and opacity, written out as colour and opacity
        "$IM" "$f" -depth 8 pam:- | python3 -c '
import sys
d = sys.stdin.buffer.read()
i = d.index(b"ENDHDR\n") + 7
head = d[:i].decode().replace("DEPTH 2", "DEPTH 4").replace("GRAYSCALE_ALPHA", "RGB_ALPHA")
px = d[i:]
out = bytearray()
for k in range(0, len(px), 2):
    out += bytes((px[k], px[k], px[k], px[k + 1]))
sys.stdout.buffer.write(head.encode() + bytes(out))' > "$base.pam"
        ;;
    *)
        tiff2rgba -c none -n "$f" ref.tif
        tifftopnm ref.tif > ref.ppm 2>/dev/null
        rm -f ref.tif
        opaque "$base"
        ;;
    esac
done
cp cp-lzw-p2.pam preview.pam
cp im-palette8-mm.pam preview-mm.pam
# This system converts L*a*b* with its own formula; the tests compare that file by hand.
rm -f im-lab.pam
rm -f src.png
