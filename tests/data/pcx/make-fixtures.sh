#!/usr/bin/env bash
# Recipe of the PCX fixtures. ImageMagick 6 and netpbm's ppmtopcx write every layout they can; the
# reference pixels of every file, NAME.pam (8-bit RGB_ALPHA), come from netpbm's pcxtoppm, which
# does not know four byte planes (colour and opacity): that file's reference is ImageMagick's reading.
set -euo pipefail
cd "$(dirname "$0")"
IM=$(command -v convert-im6.q16 || command -v convert)
"$IM" -size 29x17 xc: -sparse-color bilinear '0,0 red 28,0 lime 0,16 blue 28,16 yellow' \
    -fill white -draw 'rectangle 2,2 8,6' -fill black -draw 'line 10,1 26,15' -alpha off src.png

# ImageMagick writes 8-bit indices (whatever the colour count), 24 and 32-bit planes, all run-length
# encoded.
"$IM" src.png -dither None -colors 4 -type palette im-pal4.pcx
"$IM" src.png -dither None -colors 16 -type palette im-pal16.pcx
"$IM" src.png -dither None -colors 200 -type palette im-pal256.pcx
"$IM" src.png -type truecolor im-rgb24.pcx
"$IM" src.png -alpha set -channel A -fx 'i/w' +channel -type truecolormatte im-rgba32.pcx

# netpbm: packed 1, 2 and 4-bit pixels, 2, 3 and 4 bit planes, 8-bit with its palette block, 24-bit.
"$IM" src.png ppm:src.ppm
for n in 2 4 8 16 200; do pnmquant -nofloyd $n src.ppm 2>/dev/null > q$n.ppm; done
ppmtopcx -packed q2.ppm > nb-packed1.pcx 2>/dev/null
ppmtopcx -packed q4.ppm > nb-packed2.pcx 2>/dev/null
ppmtopcx -packed q16.ppm > nb-packed4.pcx 2>/dev/null
ppmtopcx -planes 2 q4.ppm > nb-planes2.pcx 2>/dev/null
ppmtopcx -planes 3 q8.ppm > nb-planes3.pcx 2>/dev/null
ppmtopcx -planes 4 q16.ppm > nb-planes4.pcx 2>/dev/null
ppmtopcx -8bit q200.ppm > nb-8bit.pcx 2>/dev/null
ppmtopcx -24bit src.ppm > nb-24bit.pcx 2>/dev/null
rm -f src.png src.ppm q*.ppm

for f in *.pcx; do
    base="${f%.pcx}"
    if [ "$(xxd -s 65 -l 1 -p "$f")" = "04" ] && [ "$(xxd -s 3 -l 1 -p "$f")" = "08" ]; then
        "$IM" "$f" -depth 8 ppm:ref.ppm
        "$IM" "$f" -alpha extract -depth 8 pgm:alpha.pgm
    else
        pcxtoppm "$f" 2>/dev/null | pamdepth 255 > ref.ppm
        read -r w h < <(pamfile ref.ppm | sed -E 's/.* ([0-9]+) by ([0-9]+).*/\1 \2/')
        pbmmake -white "$w" "$h" 2>/dev/null | pamdepth 255 2>/dev/null > alpha.pgm
    fi
    pamstack -tupletype=RGB_ALPHA ref.ppm alpha.pgm 2>/dev/null > "$base.pam"
    rm -f ref.ppm alpha.pgm
done
