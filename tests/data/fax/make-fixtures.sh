#!/usr/bin/env bash
# Makes the fax strips the decoder tests read: one picture (text at two sizes, rows that start
# black, rows with runs past 2560 pixels of either colour), coded by public tools in each fax
# variant and fill order, one strip a file. text.rows holds the rows libtiff decodes from every one
# of them (all equal; the script checks it), packed one bit a pixel, 1 = the coded black.
# Needs netpbm, libtiff-tools and libtiff's development files (for rewrite.c).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

pbmtext "The quick brown fox, 0123456789 #@%&" > t1.pbm
pamenlarge 2 t1.pbm | pnmpad -black -left=5 > big.pbm
pnminvert t1.pbm > inverse.pbm
pbmmake -black 2700 3 > bar.pbm
pbmmake -white 2600 2 | pnmpad -black -right=100 > long.pbm
pnmcat -tb -jleft -white big.pbm bar.pbm inverse.pbm long.pbm t1.pbm > text.pbm
pnmtotiff text.pbm > base.tif
cc -O1 -o rewrite "$here/rewrite.c" -ltiff

# NAME  how it is made
make() {
    local name=$1
    shift
    "$@"
    python3 "$here/strip.py" "$name.tif" "$here/$name.strip"
    # The reference rows: libtiff's own decoding, stored uncompressed and first bit high.
    tiffcp -r 100000 -c none -f msb2lsb "$name.tif" "$name-rows.tif"
    python3 "$here/strip.py" "$name-rows.tif" "$name.rows"
    if [ -e "$here/text.rows" ]; then cmp "$name.rows" "$here/text.rows"; else cp "$name.rows" "$here/text.rows"; fi
}

rm -f "$here/text.rows"
make text-g3-1d tiffcp -r 100000 -c g3:1d base.tif text-g3-1d.tif
make text-g3-1d-lsb tiffcp -r 100000 -f lsb2msb -c g3:1d base.tif text-g3-1d-lsb.tif
make text-g3-1d-fill tiffcp -r 100000 -c g3:1d:fill base.tif text-g3-1d-fill.tif
make text-g3-2d tiffcp -r 100000 -c g3:2d base.tif text-g3-2d.tif
make text-g3-2d-lsb tiffcp -r 100000 -f lsb2msb -c g3:2d:fill base.tif text-g3-2d-lsb.tif
make text-g4 tiffcp -r 100000 -c g4 base.tif text-g4.tif
make text-g4-lsb tiffcp -r 100000 -f lsb2msb -c g4 base.tif text-g4-lsb.tif
# Modified Huffman without end-of-line codes: no tool option writes it, so a few lines on libtiff.
make text-mh ./rewrite base.tif text-mh.tif 2 1
make text-mh-lsb ./rewrite base.tif text-mh-lsb.tif 2 2
# Word-aligned modified Huffman. libtiff does not read this back as it wrote it (it reports line
# length mismatches), so its rows are not the reference here: the strip must give the rows the
# encoder was handed, which are text.rows too (the uncompressed source is checked against them).
mhw() {
    local name=$1 order=$2
    ./rewrite base.tif "$name.tif" 32771 "$order"
    python3 "$here/strip.py" "$name.tif" "$here/$name.strip"
}
mhw text-mhw 1
mhw text-mhw-lsb 2
tiffcp -r 100000 -c none base.tif base-one-strip.tif
python3 "$here/strip.py" base-one-strip.tif base.rows
cmp base.rows "$here/text.rows"
# The fax converter's own output (two-dimensional, fill order 2), from the raw one-dimensional strip.
make text-fax2tiff fax2tiff -M -X 2700 -r 100000 -o text-fax2tiff.tif "$here/text-g3-1d.strip"
