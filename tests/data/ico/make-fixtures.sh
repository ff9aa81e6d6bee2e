#!/usr/bin/env bash
# Recipe of the icon fixtures: ImageMagick 6 writes the icons, and its decode of the image this
# system shows (the largest, deepest one) is kept as NAME.pam for the tests to compare with.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 32x32 xc: -sparse-color bilinear '0,0 red 31,0 lime 0,31 blue 31,31 yellow' \
    -fill black -draw 'circle 16,16 16,4' -alpha off src.png
# An opaque icon with a 16 and a 32 pixel image, and one whose corners are transparent.
convert src.png -define icon:auto-resize=16,32 opaque.ico
convert src.png -alpha set -fill none -draw 'color 0,0 floodfill' \
    -channel A -fx 'hypot(i-15.5,j-15.5) < 15 ? 1 : 0' +channel -define icon:auto-resize=32,16 rounded.ico
# A 16-colour icon with an AND mask: ImageMagick writes an indexed image when the picture has few colours.
convert src.png -alpha set -fill none -draw 'color 0,0 floodfill' -channel A -fx 'hypot(i-15.5,j-15.5) < 15 ? 1 : 0' +channel \
    -dither None -colors 16 -type PaletteMatte -define icon:auto-resize=32 indexed.ico
rm src.png
for f in *.ico; do
    # The 32-pixel image is the one shown; its index in the file is found by size.
    index=$(identify -format '%p %w\n' "$f" | awk '$2 == 32 {print $1; exit}')
    convert "$f[$index]" -depth 8 -type TrueColorMatte "pam:${f%.ico}.pam"
done
