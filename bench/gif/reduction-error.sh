#!/usr/bin/env bash
# Mean error of the colour reduction against the original, for true-colour pictures made with
# ImageMagick: every ReductionMethod (1..8) with every DitherKind (0..6) through ferronel-convert's
# GIF output, beside ImageMagick's own "-colors 256" with and without dithering. The error is
# ImageMagick's mean absolute error per channel, on the 0..255 scale. Prints a Markdown table.
# Needs imagemagick and a built ferronel-convert (first argument, or ./build's).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
tool="${1:-$root/build/tools/ferronel-convert/ferronel-convert}"
IM=/usr/bin/convert
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

"$IM" rose: -resize 300% rose.png                        # photograph, enlarged
"$IM" -size 240x180 -seed 4 plasma:fractal plasma.png    # photograph-like noise
"$IM" logo: -resize 50% logo.png                         # flat graphics
"$IM" -size 256x128 gradient:orange-navy gradient.png    # smooth gradient
pictures=(rose plasma logo gradient)

error() { # ORIGINAL REDUCED: mean absolute error, 0..255
    local out
    out="$(/usr/bin/compare -metric MAE "$1" "$2" null: 2>&1 || true)"
    printf "%s" "$out" | sed -E 's/.*\(([0-9.e+-]+)\).*/\1/' | awk '{ printf "%.2f", $1 * 255 }'
}

methods=("" "system colours" "halftone" "four greys" "monochrome" "grey scale" "colour cube" "octree 256" "octree 236 + system")
dithers=(none Floyd-Steinberg Stucki Sierra Jarvis-Judice-Ninke Stevenson-Arce Burkes)

printf "| method | dither |"
for p in "${pictures[@]}"; do printf " %s |" "$p"; done
printf "\n|---|---|"
for _ in "${pictures[@]}"; do printf -- "---:|"; done
printf "\n"
for m in 1 2 3 4 5 6 7 8; do
    for d in 0 1 2 3 4 5 6; do
        printf "| %s %s | %s |" "$m" "${methods[$m]}" "${dithers[$d]}"
        for p in "${pictures[@]}"; do
            "$tool" --reduction $m --dither $d "$p.png" out.gif
            printf " %s |" "$(error "$p.png" out.gif)"
        done
        printf "\n"
    done
done
for mode in dither +dither; do
    if [ $mode = dither ]; then label="ImageMagick -colors 256"; flag=(); else label="ImageMagick +dither -colors 256"; flag=(+dither); fi
    printf "| %s | %s |" "$label" "$([ $mode = dither ] && echo default || echo none)"
    for p in "${pictures[@]}"; do
        "$IM" "$p.png" "${flag[@]}" -colors 256 im.gif
        printf " %s |" "$(error "$p.png" im.gif)"
    done
    printf "\n"
done
