#!/usr/bin/env bash
# Recipe of the fixtures of the linear library's PCX loader, which reads 8-bit pictures of one
# plane (with a palette) or three planes: ImageMagick 6 and netpbm's ppmtopcx write them, at odd
# widths (a stored line one byte longer than the picture) and with long runs. The reference pixels,
# NAME.pam (8-bit RGB_ALPHA), come from netpbm's pcxtoppm.
set -euo pipefail
cd "$(dirname "$0")"
IM=$(command -v convert-im6.q16 || command -v convert)
"$IM" -size 67x9 xc: -sparse-color bilinear '0,0 red 66,0 lime 0,8 blue 66,8 yellow' \
    -fill white -draw 'rectangle 0,2 66,4' -fill black -draw 'line 10,0 60,8' -alpha off src.png
"$IM" -size 5x1 xc:'#C8C8C8' -alpha off row.png

"$IM" src.png -dither None -colors 230 -type palette im-pal.pcx
"$IM" src.png -type truecolor im-rgb.pcx
"$IM" row.png -type truecolor im-row.pcx
"$IM" src.png ppm:src.ppm
pnmquant -nofloyd 240 src.ppm 2>/dev/null > q.ppm
ppmtopcx -8bit q.ppm > nb-pal.pcx 2>/dev/null
ppmtopcx -24bit src.ppm > nb-rgb.pcx 2>/dev/null
rm -f src.png row.png src.ppm q.ppm

for f in *.pcx; do
    base="${f%.pcx}"
    pcxtoppm "$f" 2>/dev/null | pamdepth 255 > ref.ppm
    read -r w h < <(pamfile ref.ppm | sed -E 's/.* ([0-9]+) by ([0-9]+).*/\1 \2/')
    pbmmake -white "$w" "$h" 2>/dev/null | pamdepth 255 2>/dev/null > alpha.pgm
    pamstack -tupletype RGB_ALPHA ref.ppm alpha.pgm > "$base.pam" 2>/dev/null
done
rm -f ref.ppm alpha.pgm
