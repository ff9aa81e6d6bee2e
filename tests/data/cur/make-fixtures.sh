#!/usr/bin/env bash
# Recipe of the cursor and icon fixtures read through the linear library's icon loader. netpbm's
# pamtowinicon and ImageMagick 6 write the files; a few bytes are then patched by cur-patch.py (the
# cursor kind and hot spots, and one true-colour image stored at 24 bits, which neither tool
# writes). ImageMagick's decode of every image is kept as NAME-INDEX.pam (with its opacity), and the
# first image, transparent pixels shown as fuchsia, as NAME.pam.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -size 32x32 xc: -sparse-color bilinear '0,0 red 31,0 lime 0,31 blue 31,31 yellow' \
    -fill black -draw 'circle 16,16 16,4' -alpha off "$tmp/src.png"
round='hypot(i-w/2+0.5,j-h/2+0.5) < w/2-1 ? 1 : 0'
# 1, 8 and 4 bits (16, 32 and 24 pixels), corners transparent, from pamtowinicon.
convert "$tmp/src.png" -resize 16x16 -dither None -colors 2 -alpha set -channel A -fx "$round" +channel \
    -depth 8 pam:- >"$tmp/all.pam"
convert "$tmp/src.png" -dither None -colors 200 -alpha set -channel A -fx "$round" +channel \
    -depth 8 pam:- >>"$tmp/all.pam"
convert "$tmp/src.png" -resize 24x24 -dither None -colors 12 -alpha set -channel A -fx "$round" +channel \
    -depth 8 pam:- >>"$tmp/all.pam"
pamtowinicon "$tmp/all.pam" >netpbm.ico 2>/dev/null
python3 cur-patch.py netpbm.ico netpbm.cur --hotspots 3,4 16,16 0,23
# ImageMagick: 4 bits with a 16-entry table, 8 bits with 256, and 32 bits with opacity.
convert "$tmp/src.png" -resize 16x16 -dither None -colors 2 -type Palette "$tmp/a.png"
convert "$tmp/src.png" -dither None -colors 200 -type Palette "$tmp/b.png"
convert "$tmp/src.png" -resize 20x20 -alpha set -channel A -fx 'i<5?0:1' +channel "$tmp/c.png"
convert "$tmp/a.png" "$tmp/b.png" "$tmp/c.png" magick.ico
python3 cur-patch.py magick.ico magick.cur --hotspots 1,1 2,2 19,0
# A 24-bit image: ImageMagick's 32-bit image with its opacity moved into the mask.
convert "$tmp/src.png" -resize 16x12\! -alpha set -channel A -fx 'j<3?0:1' +channel "$tmp/d.png"
convert "$tmp/d.png" "$tmp/e.ico"
python3 cur-patch.py "$tmp/e.ico" truecolor.cur --hotspots 5,6 --to24
for f in *.ico *.cur; do
    count=$(identify "$f" | wc -l)
    for ((i = 0; i < count; i++)); do
        convert "$f[$i]" -depth 8 -type TrueColorMatte "pam:${f%.*}-$i.pam"
    done
done
for f in *.cur; do
    convert "$f[0]" -background '#ff00ff' -flatten -depth 8 -type TrueColorMatte "pam:${f%.cur}.pam"
done
rm -f *.ico-*.pam
