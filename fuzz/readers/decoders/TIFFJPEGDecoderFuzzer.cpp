// Arbitrary bytes through the TIFF-JPEG decoder. The first four bytes describe the directory the
// strips belong to (size, components, colour scheme, subsampling, whether tables come first); the
// rest is split into an optional tables stream and strips. The decoder must write only inside each
// strip's rows and raise nothing but the system's own exceptions.
#include "host/Exceptions.h"
#include "host/Limits.h"
#include "readers/decoders/TIFFJPEGDecoder.h"

#include <algorithm>
#include <vector>

using namespace ferronel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 6) return 0;
    SetPixelBufferLimit(1 << 20);
    TImageProperties p;
    p.Width = 1 + Data[0] % 64;
    p.Height = 1 + Data[1] % 64;
    p.SamplesPerPixel = (Data[2] & 3) == 0 ? 1 : (Data[2] & 3) == 3 ? 4 : 3;
    p.BitsPerSample = 8;
    p.ColorScheme = p.SamplesPerPixel == 3 && (Data[2] & 4) ? csYCbCr
                    : p.SamplesPerPixel == 1                ? csGray
                                                            : csRGB;
    p.PlanarConfiguration = 1;
    if (p.ColorScheme == csYCbCr)
        p.YCbCrSubsampling = {uint8_t(1 + ((Data[2] >> 3) & 1)), uint8_t(1 + ((Data[2] >> 4) & 1))};
    p.RowsPerStrip = {1 + uint32_t(Data[3] % p.Height)};
    const size_t tables = (Data[2] & 0x80) ? std::min<size_t>(Size - 6, size_t(Data[4]) * 4) : 0;
    p.JPEGTables.assign(Data + 6, Data + 6 + tables);
    const size_t stripSize = 1 + size_t(Data[5]) * 8;
    TTIFFJPEGDecoder decoder(&p);
    try {
        decoder.BeginDecode();
        size_t at = 6 + tables;
        while (at < Size && p.CurrentRow < p.Height) {
            const size_t n = std::min(stripSize, Size - at);
            std::vector<uint8_t> strip(Data + at, Data + at + n);
            const uint32_t rows = std::min(p.RowsPerStrip[0], p.Height - p.CurrentRow);
            std::vector<uint8_t> out(size_t(rows) * p.Width *
                                     (p.ColorScheme == csYCbCr ? 3 : p.SamplesPerPixel));
            const uint8_t* s = strip.data();
            uint8_t* d = out.data();
            try {
                decoder.Decode(s, d, int32_t(n), int32_t(out.size()));
            } catch (const Exception&) {
            }
            at += n;
            p.CurrentRow += rows;
        }
        decoder.EndDecode();
    } catch (const Exception&) {
    }
    return 0;
}
