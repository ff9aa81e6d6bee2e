#!/usr/bin/env bash
# Recipe of the portable map fixtures: netpbm writes bitmaps, grey maps and pixel maps, plain (text)
# and raw, with maxima below 255 and up to 65535; a few headers get comments in odd places. The
# reference pixels of every file, NAME.pam (8-bit RGB_ALPHA, opaque), come from netpbm itself:
# pamdepth 255 scales samples to 8 bits, rounding.
set -euo pipefail
cd "$(dirname "$0")"
IM=$(command -v convert-im6.q16 || command -v convert)
"$IM" -size 21x11 xc: -sparse-color bilinear '0,0 red 20,0 lime 0,10 blue 20,10 yellow' \
    -fill white -draw 'rectangle 2,2 6,6' -fill black -draw 'line 8,1 18,9' -alpha off -depth 16 src.png
"$IM" src.png -depth 16 ppm:rgb16.ppm
"$IM" src.png -depth 8 ppm:rgb8.ppm
"$IM" src.png -depth 8 -colorspace gray pgm:grey8.pgm
"$IM" src.png -depth 16 -colorspace gray pgm:grey16.pgm
"$IM" src.png -colorspace gray -threshold 50% pbm:bits.pbm

cp bits.pbm raw-bitmap.pnm
pnmtoplainpnm bits.pbm > plain-bitmap.pnm
cp grey8.pgm raw-grey.pnm
pnmtoplainpnm grey8.pgm > plain-grey.pnm
pamdepth 15 grey8.pgm > raw-grey15.pnm
cp grey16.pgm raw-grey65535.pnm
pamdepth 1000 grey16.pgm | pnmtoplainpnm > plain-grey1000.pnm
cp rgb8.ppm raw-rgb.pnm
pnmtoplainpnm rgb8.ppm > plain-rgb.pnm
pamdepth 100 rgb8.ppm > raw-rgb100.pnm
pamdepth 100 rgb8.ppm | pnmtoplainpnm > plain-rgb100.pnm
cp rgb16.ppm raw-rgb65535.pnm
pamdepth 4095 rgb16.ppm > raw-rgb4095.pnm
# Comments after the magic on its line, between the sizes and before the maximum; sizes on the
# magic's line.
sed -i '1s/.*/P6 # written by netpbm/; 2s/ / # width\n# height next\n/' raw-rgb100.pnm
sed -i '1s/.*/P2/; 2s/^/# a comment line\n/; 3s/$/ # max follows/' plain-grey1000.pnm
{ printf 'P5 21 11 255\n'; tail -c +$(($(wc -c < grey8.pgm) - 21 * 11 + 1)) grey8.pgm; } > raw-grey-oneline.pnm
rm -f src.png rgb16.ppm rgb8.ppm grey8.pgm grey16.pgm bits.pbm

for f in *.pnm; do
    base="${f%.pnm}"
    pamdepth 255 "$f" 2>/dev/null | pamtopnm 2>/dev/null > ref.pnm
    if pamfile ref.pnm | grep -q 'PPM'; then mv ref.pnm ref.ppm; else pgmtoppm white ref.pnm > ref.ppm 2>/dev/null; fi
    read -r w h < <(pamfile ref.ppm | sed -E 's/.* ([0-9]+) by ([0-9]+).*/\1 \2/')
    pbmmake -white "$w" "$h" 2>/dev/null | pamdepth 255 2>/dev/null > alpha.pgm
    pamstack -tupletype=RGB_ALPHA ref.ppm alpha.pgm 2>/dev/null > "$base.pam"
    rm -f ref.pnm ref.ppm alpha.pgm
done
