#!/usr/bin/env bash
# Recipe of the SGI fixtures. ImageMagick 6 and netpbm's pnmtosgi write 1, 3 and 4 channels of 8 and
# 16 bits, verbatim and run-length encoded. The reference pixels of every file, NAME.pam (8-bit
# RGB_ALPHA), come from netpbm's sgitopnm (the fourth channel through its -channel option); 16-bit
# samples are brought to 8 bits as this system does, v x 255 div 65535.
set -euo pipefail
cd "$(dirname "$0")"
IM=$(command -v convert-im6.q16 || command -v convert)
"$IM" -size 23x13 xc: -sparse-color bilinear '0,0 red 22,0 lime 0,12 blue 22,12 yellow' \
    -fill white -draw 'rectangle 2,2 8,6' -fill black -draw 'line 10,1 20,11' -alpha off -depth 16 src.png

# ImageMagick writes 16-bit files verbatim only.
for c in None RLE; do
    s=$([ $c = RLE ] && echo r || true)
    for d in 8 $([ $c = None ] && echo 16 || true); do
        "$IM" src.png -depth $d -colorspace gray -type grayscale -compress $c "im-grey$d$s.sgi"
        "$IM" src.png -depth $d -type truecolor -compress $c "im-rgb$d$s.sgi"
        "$IM" src.png -depth $d -alpha set -channel A -fx 'i/w' +channel -type truecolormatte -compress $c \
            "im-rgba$d$s.sgi"
    done
done
"$IM" src.png -depth 8 ppm:src8.ppm
"$IM" src.png -depth 16 ppm:src16.ppm
"$IM" src.png -depth 8 -colorspace gray pgm:grey8.pgm
"$IM" src.png -depth 16 -colorspace gray pgm:grey16.pgm
for mode in verbatim rle; do
    s=$([ $mode = rle ] && echo r || true)
    pnmtosgi -$mode src8.ppm > "nb-rgb8$s.sgi"
    pnmtosgi -$mode src16.ppm > "nb-rgb16$s.sgi"
    pnmtosgi -$mode grey8.pgm > "nb-grey8$s.sgi"
    pnmtosgi -$mode grey16.pgm > "nb-grey16$s.sgi"
done
rm -f src.png src8.ppm src16.ppm grey8.pgm grey16.pgm

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

for f in *.sgi; do
    base="${f%.sgi}"
    sgitopnm "$f" 2>/dev/null | to8 | pnmtopnm 2>/dev/null > ref.pnm
    if pamfile ref.pnm | grep -q PGM; then
        pgmtoppm white ref.pnm > ref.ppm 2>/dev/null || ppmtoppm < ref.pnm > ref.ppm
    else
        mv ref.pnm ref.ppm
    fi
    if [ "$(xxd -s 11 -l 1 -p "$f")" = "04" ]; then
        sgitopnm -channel=3 "$f" 2>/dev/null | to8 | pnmtopnm 2>/dev/null > alpha.pgm
    else
        read -r w h < <(pamfile ref.ppm | sed -E 's/.* ([0-9]+) by ([0-9]+).*/\1 \2/')
        pbmmake -white "$w" "$h" 2>/dev/null | pamdepth 255 2>/dev/null > alpha.pgm
    fi
    pamstack -tupletype=RGB_ALPHA ref.ppm alpha.pgm 2>/dev/null > "$base.pam"
    rm -f ref.pnm ref.ppm alpha.pgm
done
