#!/usr/bin/env bash
# Recipe of the JPEG fixtures. libjpeg-turbo's cjpeg writes each variant from a small source made
# below; a CMYK file, which cjpeg cannot write, comes from a few lines of C on the same libjpeg
# (it writes Adobe's inverted inks and marker, as Adobe's programs do). The reference pixels of
# each file, NAME.pam (8-bit RGB_ALPHA, opaque), are djpeg's decode with the settings the reader
# uses by default: grey output is quantised to 236 colours, as the reader does (-colors 236).
# NAME-half/-quarter/-eighth.pam are djpeg -scale 1/2, 1/4, 1/8; NAME-8bit.pam is -colors 236 and
# NAME-fast.pam is -dct fast, for the reader's Scale, PixelFormat and Performance settings.
set -euo pipefail
cd "$(dirname "$0")"
rm -f ./*.jpg ./*.pam

python3 - <<'PY'
W, H = 61, 37
with open('src.ppm', 'wb') as f:
    f.write(f'P6\n{W} {H}\n255\n'.encode())
    for y in range(H):
        for x in range(W):
            r = 255 * x // (W - 1); g = 255 * y // (H - 1); b = (x * 37 + y * 91) % 256
            if 4 <= x <= 15 and 4 <= y <= 12: r = g = b = 255
            if abs(x - 20 - y) < 2: r = g = b = 0
            f.write(bytes([r, g, b]))
PY

cjpeg -quality 85 src.ppm > baseline.jpg
cjpeg -quality 85 -progressive src.ppm > progressive.jpg
cjpeg -quality 85 -grayscale src.ppm > grey.jpg
cjpeg -quality 85 -grayscale -progressive src.ppm > grey-progressive.jpg
cjpeg -quality 90 -sample 2x2 src.ppm > s420.jpg
cjpeg -quality 90 -sample 2x1 src.ppm > s422.jpg
cjpeg -quality 90 -sample 1x1 src.ppm > s444.jpg
cjpeg -quality 85 -restart 1 src.ppm > restart.jpg
cjpeg -quality 85 -optimize src.ppm > optimized.jpg

cat > cmyk.c <<'C'
#include <stdio.h>
#include <stdlib.h>
#include <jpeglib.h>
/* Reads a PPM (P6, maxval 255) on stdin and writes an Adobe CMYK JPEG of it on stdout. */
int main(void) {
    int w, h, max;
    if (scanf("P6 %d %d %d", &w, &h, &max) != 3) return 1;
    getchar();
    unsigned char *rgb = malloc((size_t)w * h * 3), *row = malloc((size_t)w * 4);
    if (fread(rgb, 3, (size_t)w * h, stdin) != (size_t)w * h) return 1;
    struct jpeg_compress_struct c;
    struct jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, stdout);
    c.image_width = w;
    c.image_height = h;
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const unsigned char *p = rgb + ((size_t)y * w + x) * 3;
            int k = 255 - (p[0] > p[1] ? (p[0] > p[2] ? p[0] : p[2]) : (p[1] > p[2] ? p[1] : p[2]));
            /* Inverted inks: 255 is no ink. */
            for (int i = 0; i < 3; ++i) row[4 * x + i] = (unsigned char)(k == 255 ? 255 : 255 - (255 - p[i] - k) * 255 / (255 - k));
            row[4 * x + 3] = (unsigned char)(255 - k);
        }
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return 0;
}
C
cc -O2 -o cmyk cmyk.c -ljpeg
./cmyk < src.ppm > cmyk-adobe.jpg
rm -f cmyk cmyk.c

reference() { # FILE OUT DJPEG-OPTIONS...
    local f=$1 out=$2
    shift 2
    djpeg "$@" -pnm "$f" | ppmtoppm > rgb.ppm
    read -r w h < <(pamfile rgb.ppm | sed -E 's/.* ([0-9]+) by ([0-9]+).*/\1 \2/')
    pbmmake -white "$w" "$h" | pamdepth 255 2>/dev/null > alpha.pgm
    pamstack -tupletype=RGB_ALPHA rgb.ppm alpha.pgm 2>/dev/null > "$out"
    rm -f rgb.ppm alpha.pgm
}
for f in *.jpg; do
    base="${f%.jpg}"
    case "$base" in
    grey*) reference "$f" "$base.pam" -colors 236 ;;
    *) reference "$f" "$base.pam" ;;
    esac
done
for s in 2:half 4:quarter 8:eighth; do reference baseline.jpg "baseline-${s#*:}.pam" -scale "1/${s%:*}"; done
reference s420.jpg s420-half.pam -scale 1/2
reference baseline.jpg baseline-8bit.pam -colors 236
reference baseline.jpg baseline-fast.pam -dct fast
reference progressive.jpg progressive-quarter.pam -scale 1/4
rm -f src.ppm
