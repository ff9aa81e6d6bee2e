#!/usr/bin/env bash
# Recipe of the GIF fixtures. ImageMagick 6, netpbm and giflib's gifbuild write the files. The
# reference pixels of the still pictures, NAME.pam (8-bit RGB_ALPHA), come from netpbm's giftopnm
# (first image), drawn over black where the file is transparent: that is what a viewer on a black
# background shows. The animations, anim-*.gif, carry one reference per composed frame,
# anim-NAME-N.pam, from ImageMagick's -coalesce (transparent where nothing was drawn).
set -euo pipefail
cd "$(dirname "$0")"
convert -size 29x17 xc: -sparse-color bilinear '0,0 red 28,0 lime 0,16 blue 28,16 yellow' \
    -fill white -draw 'rectangle 2,2 8,6' -fill black -draw 'line 10,1 26,15' -alpha off src.png

# ImageMagick: table sizes from 1 to 8 bits, interlaced, transparent.
convert src.png -dither None -colors 2 im-1bit.gif
convert src.png -dither None -colors 8 im-3bit.gif
convert src.png -dither None -colors 16 im-4bit.gif
convert src.png -colors 256 im-8bit.gif
convert src.png -dither None -colors 64 -interlace GIF im-interlaced.gif
convert src.png -alpha set -fill none -draw 'rectangle 12,4 20,12' -dither None -colors 32 im-transparent.gif

# netpbm.
pngtopnm src.png > src.ppm
pnmquant 64 src.ppm 2>/dev/null > quant.ppm
ppmtogif -interlace quant.ppm > nb-ppmtogif-interlace.gif 2>/dev/null
pamtogif quant.ppm > nb-pamtogif.gif 2>/dev/null
ppmtogif -transparent '#ffffff' quant.ppm > nb-transparent.gif 2>/dev/null

# giflib: no global table, a local one of 8 colours, a comment and an unknown application block.
cat > gb.txt <<'TXT'
screen width 6
screen height 4
screen colors 2
screen background 0
pixel aspect byte 0

comment
a comment from the recipe
end

extension ff
FERRONEL1.0
\001\002\003
end

image # 1
image left 0
image top 0
image map
	rgb 000 000 000 is 0
	rgb 255 000 000 is 1
	rgb 000 255 000 is 2
	rgb 000 000 255 is 3
	rgb 255 255 000 is 4
	rgb 000 255 255 is 5
	rgb 255 000 255 is 6
	rgb 255 255 255 is 7
end
image bits 6 by 4
012345
670123
456701
234567
TXT
gifbuild gb.txt > gb-local.gif
rm -f gb.txt

for f in im-*.gif nb-*.gif gb-*.gif; do
    base="${f%.gif}"
    giftopnm --alphaout=alpha.pgm "$f" > ref.ppm 2>/dev/null
    read -r w h < <(pamfile ref.ppm | sed -E 's/.* ([0-9]+) by ([0-9]+).*/\1 \2/')
    [ -s alpha.pgm ] || pbmmake -white "$w" "$h" | pamdepth 255 > alpha.pgm
    pbmmake -black "$w" "$h" | pamdepth 255 | pgmtoppm black > black.ppm
    pamcomp -alpha=alpha.pgm ref.ppm black.ppm > over.ppm
    pbmmake -white "$w" "$h" | pamdepth 255 > opaque.pgm
    pamstack -tupletype=RGB_ALPHA over.ppm opaque.pgm > "$base.pam"
    rm -f ref.ppm alpha.pgm black.ppm over.ppm opaque.pgm
done

# Animations: frames smaller than the screen and offset inside it, transparent pixels, each
# disposal method, loop counts 0, 1 and 3.
convert -size 24x16 xc:navy -fill orange -draw 'circle 12,8 12,2' base.png
convert -size 8x6 xc:lime -fill none -draw 'rectangle 2,2 5,3' -alpha set small1.png
convert -size 10x5 xc:red -fill none -draw 'rectangle 0,0 2,4' -alpha set small2.png
convert -size 6x6 xc:yellow small3.png
convert -size 6x4 xc:white small4.png
convert -loop 3 -delay 10 -dispose None base.png \
    -dispose Background -page +3+2 small1.png \
    -dispose Previous -page +12+9 small2.png \
    -dispose None -page +16+1 small3.png \
    -dispose Background -page +1+10 small4.png \
    -dispose None -page +9+5 small3.png anim-disposal.gif
convert -loop 0 -delay 20 -dispose None -size 24x16 xc:black \
    -page +4+4 small1.png -page +10+2 small2.png anim-loop0.gif
convert -loop 1 -delay 5 -size 12x8 xc:teal xc:maroon xc:gray anim-loop1.gif
# For the viewer: 300 ms of green, 300 ms of blue, for ever.
convert -loop 0 -delay 30 -size 8x4 xc:lime xc:blue anim-viewer.gif
for f in anim-*.gif; do
    base="${f%.gif}"
    convert "$f" -coalesce -alpha set -depth 8 "$base-%d.pam"
done
rm -f src.png src.ppm quant.ppm base.png small1.png small2.png small3.png small4.png
