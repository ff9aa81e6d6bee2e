// Decoding a 24-megapixel (6000 x 4000) baseline JPEG file (quality 85, 4:2:0) from memory with this
// reader and with plain libjpeg calls into a buffer of blue-green-red rows, in the same run. Build
// with -DFERRONEL_BENCH=ON.
#include "host/Stream.h"
#include "picture/JPEGImage.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

using namespace ferronel;

constexpr uint32_t W = 6000, H = 4000;

const std::vector<uint8_t>& File() {
    static const std::vector<uint8_t> file = [] {
        std::vector<uint8_t> row(size_t(W) * 3);
        jpeg_compress_struct c;
        jpeg_error_mgr e;
        c.err = jpeg_std_error(&e);
        jpeg_create_compress(&c);
        unsigned char* out = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&c, &out, &size);
        c.image_width = W;
        c.image_height = H;
        c.input_components = 3;
        c.in_color_space = JCS_RGB;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, 85, TRUE);
        jpeg_start_compress(&c, TRUE);
        uint32_t noise = 1;
        for (uint32_t y = 0; y < H; ++y) {
            for (uint32_t x = 0; x < W; ++x) {
                noise = noise * 1664525u + 1013904223u;
                const bool flat = ((x / 64) + (y / 64)) % 2 == 0;
                row[3 * x] = flat ? uint8_t(x / 24) : uint8_t(noise >> 28 << 4 | (x & 15));
                row[3 * x + 1] = uint8_t(x / 16 + y / 16);
                row[3 * x + 2] = flat ? 200 : uint8_t(y / 16);
            }
            JSAMPROW r = row.data();
            jpeg_write_scanlines(&c, &r, 1);
        }
        jpeg_finish_compress(&c);
        std::vector<uint8_t> bytes(out, out + size);
        jpeg_destroy_compress(&c);
        std::free(out);
        return bytes;
    }();
    return file;
}

void BM_JPEGReader(benchmark::State& state) {
    const auto& file = File();
    for (auto _ : state) {
        TMemoryStream s(file.data(), file.size());
        TJPEGImage jpeg;
        jpeg.LoadFromStream(s);
        benchmark::DoNotOptimize(jpeg.Bitmap().ScanLine(0));
    }
    state.SetLabel(std::to_string(file.size() >> 20) + " MB file");
}

void BM_Libjpeg(benchmark::State& state) {
    const auto& file = File();
    for (auto _ : state) {
        // The same starting point as the reader: the file's bytes copied into memory of its own.
        std::vector<uint8_t> copy(file);
        jpeg_decompress_struct d;
        jpeg_error_mgr e;
        d.err = jpeg_std_error(&e);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, copy.data(), copy.size());
        jpeg_read_header(&d, TRUE);
        d.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&d);
        const size_t stride = (size_t(d.output_width) * 3 + 3) & ~size_t(3);
        std::vector<uint8_t> pixels(stride * d.output_height);
        while (d.output_scanline < d.output_height) {
            JSAMPROW r = pixels.data() + stride * d.output_scanline;
            jpeg_read_scanlines(&d, &r, 1);
        }
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
        benchmark::DoNotOptimize(pixels.data());
    }
}

} // namespace

BENCHMARK(BM_JPEGReader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libjpeg)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
