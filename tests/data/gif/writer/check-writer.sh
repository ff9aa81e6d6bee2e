#!/usr/bin/env bash
# Checks GIFs written by ferronel-convert against independent decoders: giflib (through gifdump.c
# beside this script) and ImageMagick. For GIF inputs made by ImageMagick with 1 to 8 bits per pixel
# (some interlaced, one animated) the copy written with each encoder must decode to the same screen,
# tables, placement, timing, disposal, loop count and indices; for true-colour inputs the colours
# giflib and ImageMagick decode must equal the ones this system reads back.
# Needs: libgif-dev, imagemagick, a C compiler and a built ferronel-convert. Not run by the tests.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
convert_tool="${1:-$here/../../../../build/tools/ferronel-convert/ferronel-convert}"
IM=/usr/bin/convert
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cc -O2 -o "$work/gifdump" "$here/gifdump.c" -lgif
cd "$work"

fail=0
checked=0
check_copy() { # INPUT.gif: every encoder's copy decodes as the input does
    local in="$1"
    ./gifdump "$in" >"$in.dump"
    "$IM" "$in" -coalesce -depth 8 rgba:"$in.rgba"
    for enc in lzw rle; do
        local opt=()
        [ $enc = rle ] && opt=(--rle)
        local out="${in%.gif}-$enc.gif"
        "$convert_tool" "${opt[@]}" "$in" "$out"
        checked=$((checked + 1))
        if ! ./gifdump "$out" | cmp -s - "$in.dump"; then
            echo "FAIL giflib $out"; fail=1
        fi
        if ! "$IM" "$out" -coalesce -depth 8 rgba:- | cmp -s - "$in.rgba"; then
            echo "FAIL ImageMagick $out"; fail=1
        fi
    done
}

"$IM" -size 97x61 -seed 11 plasma:fractal base.png
for bits in 1 2 3 4 5 6 7 8; do
    interlace=()
    [ $((bits % 2)) = 1 ] && interlace=(-interlace GIF)
    "$IM" base.png -dither None -colors $((1 << bits)) "${interlace[@]}" "in-$bits.gif"
    check_copy "in-$bits.gif"
done
"$IM" -size 300x200 gradient:red-blue -colors 256 -dither FloydSteinberg big.gif
check_copy big.gif
"$IM" -delay 7 -dispose Background -loop 3 -size 40x30 xc:red \
    \( -size 20x10 xc:blue -repage +5+6 \) -delay 33 -dispose Previous \( -size 40x30 xc:green \) anim.gif
check_copy anim.gif

# True-colour pictures through the colour reduction.
"$IM" rose: rose.png
"$IM" logo: -resize 50% logo.png
"$IM" -size 128x128 gradient:yellow-navy gradient.png
for pic in rose logo gradient base; do
    for settings in "" "--reduction 7 --dither 1" "--reduction 8 --dither 2" "--reduction 5" "--reduction 4 --dither 6"; do
        for enc in "" "--rle"; do
            # shellcheck disable=SC2086
            "$convert_tool" $enc $settings "$pic.png" out.gif
            "$convert_tool" out.gif out.pam
            checked=$((checked + 1))
            tail -c +"$(($(grep -abo ENDHDR out.pam | cut -d: -f1) + 8))" out.pam |
                od -An -v -tu1 -w4 | awk '{printf "%c%c%c", $1, $2, $3}' >ours.rgb
            ./gifdump -rgb out.gif >giflib.rgb
            "$IM" out.gif -depth 8 rgb:im.rgb
            if ! cmp -s ours.rgb giflib.rgb || ! cmp -s ours.rgb im.rgb; then
                echo "FAIL $pic $settings $enc"; fail=1
            fi
        done
    done
done
echo "$checked files checked"
[ $fail = 0 ] && echo "all decode alike"
exit $fail
