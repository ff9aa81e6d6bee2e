#!/usr/bin/env bash
# Recipe of the Targa fixtures. ImageMagick 6 and netpbm write each variant; the reference pixels of
# every file, NAME.pam (8-bit RGB_ALPHA), come from netpbm's tgatoppm, which follows the file's
# origin bit (alpha from its --alphaout where the file has alpha, else opaque). tgatoppm widens
# 5-bit channels by scaling, this system by repeating the top bits: the tests compare 16-bit files
# on the 5 bits stored.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 29x17 xc: -sparse-color bilinear '0,0 red 28,0 lime 0,16 blue 28,16 yellow' \
    -fill white -draw 'rectangle 2,2 8,6' -fill black -draw 'line 10,1 26,15' -alpha off src.png

# ImageMagick: every kind, uncompressed and run-length encoded, rows bottom-up unless said.
for rle in none RLE; do
    s=$([ $rle = RLE ] && echo r || true)
    convert src.png -dither None -colors 40 -type palette -compress $rle "im-cmap8$s.tga"
    convert src.png -depth 5 -type truecolor -compress $rle "im-rgb16$s.tga"
    convert src.png -type truecolor -compress $rle "im-rgb24$s.tga"
    convert src.png -orient TopLeft -type truecolor -compress $rle "im-rgb24$s-topdown.tga"
    convert src.png -alpha set -channel A -fx 'i/w' +channel -type truecolormatte -compress $rle "im-rgba32$s.tga"
    convert src.png -colorspace gray -type grayscale -compress $rle "im-grey$s.tga"
done
# netpbm writes its own way.
pngtopnm src.png > src.ppm
pnmquant 64 src.ppm 2>/dev/null > quant.ppm
ppmtotga -cmap quant.ppm > nb-cmap8r.tga
ppmtotga -cmap -norle quant.ppm > nb-cmap8.tga
ppmtotga -rgb src.ppm > nb-rgb24r.tga
ppmtotga -mono src.ppm > nb-greyr.tga
rm -f src.png src.ppm quant.ppm

for f in im-*.tga nb-*.tga; do
    base="${f%.tga}"
    tgatoppm "$f" 2>/dev/null | pamdepth 255 > ref.ppm
    if [ "$(xxd -s 16 -l 1 -p "$f")" = "20" ]; then
        tgatoppm --alphaout=alpha.pgm "$f" > /dev/null 2>&1
    else
        read -r w h < <(pamfile ref.ppm | sed -E 's/.* ([0-9]+) by ([0-9]+).*/\1 \2/')
        pbmmake -white "$w" "$h" | pamdepth 255 > alpha.pgm
    fi
    pamstack -tupletype=RGB_ALPHA ref.ppm alpha.pgm > "$base.pam"
    rm -f ref.ppm alpha.pgm
done
