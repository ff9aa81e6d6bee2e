#!/usr/bin/env bash
# Recipe of the PNG fixtures. netpbm's pnmtopng (on libpng) writes every variant from small sources
# made below; the reference pixels of each file, NAME.pam (8-bit RGB_ALPHA), are libpng's decode
# through pngtopam. This reader shows the opacity of RGBA files only: grey + alpha, palette tRNS and
# key colours are kept but not shown, so their references are taken without alpha (opaque). 16-bit
# sources hold a low byte a little above the high byte, so that reducing to 8 bits by truncation
# (this reader) and by rounding (pamdepth) agree, while a swapped byte order would not.
# Files with a gAMA chunk get NAME-raw.pam instead: pngtopam does not apply gamma, so the test
# applies the reader's rule (exponent 1 / (gamma x 2.2)) to those pixels and allows 1 of difference.
set -euo pipefail
cd "$(dirname "$0")"
rm -f ./*.png ./*.pam

python3 - <<'PY'
import math
W, H = 29, 17
def rgb(x, y):
    r = int(255 * x / (W - 1)); g = int(255 * y / (H - 1)); b = (x * 37 + y * 91) % 256
    if 2 <= x <= 8 and 2 <= y <= 6: return (255, 255, 255)
    if abs(x - 10 - y) < 1: return (0, 0, 0)
    return (r, g, b)
def write(name, magic, maxval, rows, depth):
    with open(name, 'wb') as f:
        f.write(f'{magic}\n{W} {H}\n{maxval}\n'.encode())
        for row in rows:
            for px in row:
                for v in (px if isinstance(px, tuple) else (px,)):
                    f.write(bytes([v >> 8, v & 255]) if maxval > 255 else bytes([v]))
pix = [[rgb(x, y) for x in range(W)] for y in range(H)]
grey = [[(p[0] * 30 + p[1] * 59 + p[2] * 11) // 100 for p in row] for row in pix]
write('src.ppm', 'P6', 255, pix, 3)
# Few colours, for palette files.
write('src-few.ppm', 'P6', 255, [[tuple(v & 0xC0 for v in p) for p in row] for row in pix], 3)
def wide(v): return v << 8 | min(v + 3, 255)
write('src16.ppm', 'P6', 65535, [[tuple(wide(v) for v in p) for p in row] for row in pix], 3)
for bits in (1, 2, 4, 8):
    m = (1 << bits) - 1
    write(f'grey{bits}.pgm', 'P5', m, [[v * m // 255 for v in row] for row in grey], 1)
write('grey16.pgm', 'P5', 65535, [[wide(v) for v in row] for row in grey], 1)
alpha = [[(x * 255 // (W - 1)) for x in range(W)] for y in range(H)]
write('alpha.pgm', 'P5', 255, alpha, 1)
write('alpha16.pgm', 'P5', 65535, [[wide(v) for v in row] for row in alpha], 1)
PY

png() { local out=$1; shift; pnmtopng "$@" > "$out" 2>/dev/null; }
# Grey at every depth; the 1-bit one interlaced too.
for bits in 1 2 4 8 16; do png "grey$bits.png" -force "grey$bits.pgm"; done
png grey1-interlaced.png -force -interlace grey1.pgm
png grey4-interlaced.png -force -interlace grey4.pgm
# Colour, 8 and 16 bits, each of the five filters, and Adam7.
png rgb8.png src.ppm
for f in nofilter sub up avg paeth; do png "rgb8-$f.png" "-$f" src.ppm; done
png rgb8-interlaced.png -interlace src.ppm
png rgb16.png src16.ppm
png rgb16-interlaced.png -interlace src16.ppm
# Palettes at 8 bits and fewer, interlaced, with tRNS; a grey key colour; an RGB key colour.
png palette.png src-few.ppm
png palette-interlaced.png -interlace src-few.ppm
png palette-trns.png -transparent=rgb:c0/c0/c0 src-few.ppm
pnmquant 2 src.ppm 2>/dev/null | pnmtopng > palette1.png 2>/dev/null
pnmquant 4 src.ppm 2>/dev/null | pnmtopng > palette2.png 2>/dev/null
pnmquant 16 src.ppm 2>/dev/null | pnmtopng > palette4.png 2>/dev/null
png grey8-trns.png -force -transparent=rgb:ff/ff/ff grey8.pgm
png rgb8-trns.png -force -transparent=rgb:ff/ff/ff src.ppm
png rgb8-background.png -background=rgb:00/00/ff src.ppm
# Opacity: grey + alpha and RGBA, 8 and 16 bits, and interlaced.
png greyalpha8.png -force -alpha=alpha.pgm grey8.pgm
png greyalpha16.png -force -alpha=alpha16.pgm grey16.pgm
png rgba8.png -force -alpha=alpha.pgm src.ppm
png rgba16.png -force -alpha=alpha16.pgm src16.ppm
png rgba8-interlaced.png -force -interlace -alpha=alpha.pgm src.ppm
# Gamma: 1.0 brightens (exponent 1 / 2.2); 0.45455 is neutral.
png gamma100000.png -gamma=1.0 src.ppm
png gamma45455.png -gamma=0.45455 src.ppm
png gamma-palette.png -gamma=1.0 src-few.ppm
rm -f ./*.ppm ./*.pgm

# The colour type and depth of each file, to check the recipe made what the name says.
for f in *.png; do
    printf '%-24s type %d depth %2d interlace %d\n' "$f" "$(xxd -s 25 -l 1 -p "$f" | sed 's/^/0x/')" \
        "$(xxd -s 24 -l 1 -p "$f" | sed 's/^/0x/')" "$(xxd -s 28 -l 1 -p "$f" | sed 's/^/0x/')"
done

for f in *.png; do
    base="${f%.png}"
    out="$base.pam"
    case "$base" in gamma*) out="$base-raw.pam" ;; esac
    if [ "$(xxd -s 25 -l 1 -p "$f")" = "06" ]; then
        pngtopam -alphapam "$f" | pamdepth 255 > full.pam
        pamchannel -infile=full.pam 0 1 2 2>/dev/null | pamtopnm -assume > rgb.ppm
        pamchannel -infile=full.pam 3 2>/dev/null | pamtopnm -assume > alpha.pgm
    else
        pngtopam "$f" | pamdepth 255 2>/dev/null | ppmtoppm > rgb.ppm
        read -r w h < <(pamfile rgb.ppm | sed -E 's/.* ([0-9]+) by ([0-9]+).*/\1 \2/')
        pbmmake -white "$w" "$h" | pamdepth 255 2>/dev/null > alpha.pgm
    fi
    pamstack -tupletype=RGB_ALPHA rgb.ppm alpha.pgm 2>/dev/null > "$out"
    rm -f full.pam rgb.ppm alpha.pgm
done
