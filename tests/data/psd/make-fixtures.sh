#!/usr/bin/env bash
# Recipe of the Photoshop fixtures. ImageMagick 6 writes grey, RGB, RGB with opacity, CMYK and
# indexed documents of 8 and 16 bits, raw and PackBits, always with a layer section; the "-flat"
# files are the same documents with that section emptied (strip-layers.py), and "-2layers" holds two
# layers over its merged image. The reference pixels of every file, NAME.pam (8-bit RGB_ALPHA), are
# ImageMagick's own reading of the merged image, except where noted below (indexed documents and
# those with opacity: the picture ImageMagick wrote). CMYK references are NAME.near.pam, compared
# within a tolerance. Grey documents with an opacity channel are shown without it, so their
# reference is opaque. The bitmap, duotone, multichannel and Lab documents come
# from make-fixtures.py.
set -euo pipefail
cd "$(dirname "$0")"
IM=$(command -v convert-im6.q16 || command -v convert)
"$IM" -size 23x13 xc: -sparse-color bilinear '0,0 red 22,0 lime 0,12 blue 22,12 yellow' \
    -fill white -draw 'rectangle 2,2 8,6' -fill black -draw 'line 10,1 20,11' -alpha off -depth 8 src.png
# Opacity at 8 bits, so that 16-bit documents store it exactly.
"$IM" src.png -alpha set -channel A -fx 'i/w' +channel -depth 8 rgba.png
"$IM" -size 23x13 xc:navy -fill orange -draw 'circle 11,6 11,1' -depth 8 layer.png

for c in None RLE; do
    s=$([ $c = RLE ] && echo r || true)
    for d in 8 16; do
        "$IM" src.png -depth $d -colorspace gray -type grayscale -compress $c "im-grey$d$s.psd"
        "$IM" src.png -depth $d -type truecolor -compress $c "im-rgb$d$s.psd"
        "$IM" rgba.png -depth $d -compress $c "im-rgba$d$s.psd"
        "$IM" src.png -depth $d -colorspace cmyk -compress $c "im-cmyk$d$s.psd"
        "$IM" src.png -depth $d -colorspace gray -alpha set -channel A -fx 'j/h' +channel -compress $c \
            "im-greya$d$s.psd"
    done
    # ImageMagick does not read its own indexed documents back; the reference is the quantised
    # picture as PNG, whose 8-bit colours the document then stores.
    "$IM" src.png -depth 8 -colors 16 -type palette "im-indexed8$s.png"
    "$IM" "im-indexed8$s.png" -type palette -compress $c "im-indexed8$s.psd"
    "$IM" src.png layer.png -depth 8 -type truecolor -compress $c "im-rgb8$s-2layers.psd"
    for f in im-rgb8$s im-grey16$s im-cmyk8$s; do
        python3 strip-layers.py "$f.psd" "$f-flat.psd"
    done
done
rm -f src.png layer.png

for f in im-*.psd; do
    base="${f%.psd}"
    source="$f[0]"
    [ -f "$base.png" ] && source="$base.png"
    # ImageMagick, reading a merged image with opacity, takes its colour as blended with white and
    # unblends it, which the colour it stored is not: the reference is the picture it wrote.
    case "$base" in im-rgba*) source="rgba.png" ;; esac
    read -r w h < <("$IM" "$source" -format '%w %h\n' info:)
    case "$base" in
    *greya*) "$IM" "$source" -alpha off -depth 8 rgba:ref.rgba ;;
    *) "$IM" "$source" -depth 8 rgba:ref.rgba ;;
    esac
    # CMYK converts with each decoder's own rounding: compared within a tolerance, not exactly.
    out="$base.pam"
    case "$base" in *cmyk*) out="$base.near.pam" ;; esac
    python3 - "$out" "$w" "$h" <<'PY'
import sys
sys.path.insert(0, "..")
from pamfile import pam
pam(sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), open("ref.rgba", "rb").read())
PY
    rm -f ref.rgba "$base.png"
done
rm -f rgba.png
