#!/usr/bin/env bash
# Recipe of the BMP fixtures: ImageMagick 6 writes each variant, and its own decode of every file is
# kept beside it as NAME.pam (8-bit RGB_ALPHA) for the tests to compare with. The run-length 4-bit
# and top-down files are made by make-fixtures.py, as ImageMagick writes neither.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 37x23 xc: -sparse-color bilinear '0,0 red 36,0 lime 0,22 blue 36,22 yellow' \
    -fill white -draw 'rectangle 3,3 9,8' -fill black -draw 'line 12,2 30,20' -alpha off src.png
convert src.png -type bilevel -compress None BMP3:rgb1.bmp
convert src.png -dither None -colors 16 -type palette -compress None BMP3:rgb4.bmp
convert src.png -dither None -colors 200 -type palette -compress None BMP3:rgb8.bmp
convert src.png -dither None -colors 200 -type palette -compress RLE BMP3:rle8.bmp
convert src.png -define bmp:subtype=RGB565 BMP:rgb565.bmp
convert src.png -define bmp:subtype=RGB555 BMP:rgb555.bmp
convert src.png -type truecolor BMP3:rgb24.bmp
convert src.png -alpha set -channel A -fx 'i/w' +channel -type truecolormatte BMP:rgba32.bmp
convert src.png -type truecolor BMP2:os2.bmp
python3 make-fixtures.py
rm src.png
for f in *.bmp; do
    convert "$f" -depth 8 -type TrueColorMatte "pam:${f%.bmp}.pam"
done
