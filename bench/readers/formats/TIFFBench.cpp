// Decoding a 24-megapixel (6000 x 4000) 8-bit RGB TIFF file from memory with this reader and with
// libtiff, in the same run: deflate with horizontal differencing, and PackBits, in strips of 16
// rows. libtiff writes the files; its TIFFReadEncodedStrip (faster than its RGBA interface, which
// converts every pixel) decodes them into one buffer. Build with -DFERRONEL_BENCH=ON (needs
// libtiff-dev).
#include "host/Stream.h"
#include "readers/formats/TIFFGraphic.h"

#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace ferronel;

constexpr uint32_t W = 6000, H = 4000, RowsPerStrip = 16;

std::vector<uint8_t> Pixels() {
    std::vector<uint8_t> pixels(size_t(W) * H * 3);
    uint32_t noise = 1;
    for (uint32_t y = 0; y < H; ++y) {
        uint8_t* row = pixels.data() + size_t(y) * W * 3;
        for (uint32_t x = 0; x < W; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const bool flat = ((x / 64) + (y / 64)) % 3 == 0;
            const bool smooth = ((x / 64) + (y / 64)) % 3 == 1;
            row[3 * x] = flat ? 40 : smooth ? uint8_t(x / 8 + y / 16) : uint8_t(noise >> 24);
            row[3 * x + 1] = flat ? 90 : uint8_t(x + y);
            row[3 * x + 2] = flat ? 200 : smooth ? uint8_t(y / 4) : uint8_t((noise >> 16) & 0x3F);
        }
    }
    return pixels;
}

// The file libtiff writes with the compression (and predictor) given.
std::vector<uint8_t> Write(uint16_t Compression, uint16_t Predictor) {
    static const std::vector<uint8_t> pixels = Pixels();
    const std::string path = "/tmp/ferronel-tiff-bench-" + std::to_string(Compression) + ".tif";
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, W);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, H);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, RowsPerStrip);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, Compression);
    if (Predictor != 1) TIFFSetField(tif, TIFFTAG_PREDICTOR, Predictor);
    for (uint32_t y = 0; y < H; ++y)
        TIFFWriteScanline(tif, const_cast<uint8_t*>(pixels.data()) + size_t(y) * W * 3, y, 0);
    TIFFClose(tif);
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::remove(path.c_str());
    return bytes;
}

const std::vector<uint8_t>& File(int Which) {
    static const std::vector<uint8_t> deflate = Write(COMPRESSION_ADOBE_DEFLATE, PREDICTOR_HORIZONTAL);
    static const std::vector<uint8_t> packbits = Write(COMPRESSION_PACKBITS, PREDICTOR_NONE);
    return Which == 0 ? deflate : packbits;
}

void BM_TIFFReader(benchmark::State& state) {
    const auto& file = File(int(state.range(0)));
    for (auto _ : state) {
        TMemoryStream s(file.data(), file.size());
        TTIFFGraphic tiff;
        tiff.LoadFromStream(s);
        benchmark::DoNotOptimize(tiff.ScanLine(0));
    }
    state.SetLabel((state.range(0) == 0 ? "deflate+predictor, " : "PackBits, ") +
                   std::to_string(file.size() >> 20) + " MB file");
}

// libtiff reading from memory through its client interface.
struct TMemoryFile {
    const std::vector<uint8_t>* Bytes;
    toff_t Position = 0;
};

tsize_t ReadProc(thandle_t h, tdata_t buffer, tsize_t size) {
    auto& m = *static_cast<TMemoryFile*>(h);
    const size_t n = std::min<size_t>(
        size_t(size), m.Bytes->size() - size_t(std::min<toff_t>(m.Position, m.Bytes->size())));
    std::memcpy(buffer, m.Bytes->data() + m.Position, n);
    m.Position += n;
    return tsize_t(n);
}
tsize_t WriteProc(thandle_t, tdata_t, tsize_t) { return 0; }
toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
    auto& m = *static_cast<TMemoryFile*>(h);
    m.Position = whence == SEEK_SET   ? offset
                 : whence == SEEK_CUR ? m.Position + offset
                                      : m.Bytes->size() + offset;
    return m.Position;
}
int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return static_cast<TMemoryFile*>(h)->Bytes->size(); }
int MapProc(thandle_t, tdata_t*, toff_t*) { return 0; }
void UnmapProc(thandle_t, tdata_t, toff_t) {}

void BM_LibtiffEncodedStrips(benchmark::State& state) {
    const auto& file = File(int(state.range(0)));
    for (auto _ : state) {
        // The same starting point as the reader: the file's bytes copied into a buffer of their
        // own, and a new picture's pixels.
        const std::vector<uint8_t> copy(file);
        std::vector<uint8_t> image(size_t(W) * H * 3);
        TMemoryFile m{&copy};
        TIFF* tif = TIFFClientOpen("memory", "rm", &m, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc,
                                   MapProc, UnmapProc);
        const tstrip_t strips = TIFFNumberOfStrips(tif);
        const tsize_t stripSize = TIFFStripSize(tif);
        for (tstrip_t s = 0; s < strips; ++s) {
            const size_t at = size_t(s) * size_t(stripSize);
            TIFFReadEncodedStrip(tif, s, image.data() + at,
                                 tsize_t(std::min(size_t(stripSize), image.size() - at)));
        }
        TIFFClose(tif);
        benchmark::DoNotOptimize(image.data());
    }
}

BENCHMARK(BM_TIFFReader)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibtiffEncodedStrips)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
