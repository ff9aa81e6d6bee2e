/* Copies a one-bit TIFF into a single-strip TIFF with the given compression code and fill order
   (for the codes tiffcp has no option for). Usage: rewrite IN OUT COMPRESSION FILLORDER */
#include <stdio.h>
#include <stdlib.h>
#include <tiffio.h>

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    TIFF* in = TIFFOpen(argv[1], "r");
    TIFF* out = TIFFOpen(argv[2], "w");
    if (!in || !out) return 1;
    uint32_t w, h;
    uint16_t photometric;
    TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(in, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(in, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(out, TIFFTAG_COMPRESSION, atoi(argv[3]));
    TIFFSetField(out, TIFFTAG_FILLORDER, atoi(argv[4]));
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, h);
    tmsize_t size = TIFFScanlineSize(in);
    unsigned char* row = malloc(size);
    for (uint32_t y = 0; y < h; ++y) {
        if (TIFFReadScanline(in, row, y, 0) < 0 || TIFFWriteScanline(out, row, y, 0) < 0) return 1;
    }
    free(row);
    TIFFClose(out);
    TIFFClose(in);
    return 0;
}
