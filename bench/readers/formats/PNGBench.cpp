// Decoding a 24-megapixel (6000 x 4000) 8-bit RGB PNG file from memory with this reader and with
// libpng's row and simplified APIs, in the same run. The file is written by libpng at deflate
// level 6 with its adaptive filter choice, so rows use every filter. Build with -DFERRONEL_BENCH=ON
// (needs libpng-dev).
#include "host/Stream.h"
#include "readers/formats/PNGGraphic.h"

#include <benchmark/benchmark.h>
#include <png.h>

#include <cstring>
#include <vector>

namespace {

using namespace ferronel;

constexpr uint32_t W = 6000, H = 4000;

const std::vector<uint8_t>& File() {
    static const std::vector<uint8_t> file = [] {
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
        std::vector<uint8_t> out;
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_set_write_fn(
            png, &out,
            [](png_structp p, png_bytep data, size_t n) {
                auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
                v->insert(v->end(), data, data + n);
            },
            nullptr);
        png_set_IHDR(png, info, W, H, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_set_compression_level(png, 6);
        png_set_filter(png, 0, PNG_ALL_FILTERS);
        png_write_info(png, info);
        for (uint32_t y = 0; y < H; ++y) png_write_row(png, pixels.data() + size_t(y) * W * 3);
        png_write_end(png, info);
        png_destroy_write_struct(&png, &info);
        return out;
    }();
    return file;
}

void BM_PNGReader(benchmark::State& state) {
    const auto& file = File();
    for (auto _ : state) {
        TMemoryStream s(file.data(), file.size());
        TPNGGraphic png;
        png.LoadFromStream(s);
        benchmark::DoNotOptimize(png.ScanLine(0));
    }
    state.SetLabel(std::to_string(file.size() >> 20) + " MB file");
}

struct TReadState {
    const uint8_t* Data;
    size_t Left;
};

// libpng's row API into a buffer of blue-green-red rows, the bitmap's order.
void BM_LibpngRows(benchmark::State& state) {
    const auto& file = File();
    for (auto _ : state) {
        // The same starting point as the reader: the file's bytes copied into a stream of its own.
        std::vector<uint8_t> copy(file);
        TReadState in{copy.data(), copy.size()};
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_set_read_fn(png, &in, [](png_structp p, png_bytep data, size_t n) {
            auto* r = static_cast<TReadState*>(png_get_io_ptr(p));
            if (n > r->Left) png_error(p, "short");
            std::memcpy(data, r->Data, n);
            r->Data += n;
            r->Left -= n;
        });
        png_read_info(png, info);
        png_set_bgr(png);
        const size_t stride = (size_t(W) * 3 + 3) & ~size_t(3);
        std::vector<uint8_t> pixels(stride * H);
        for (uint32_t y = 0; y < H; ++y) png_read_row(png, pixels.data() + stride * y, nullptr);
        png_read_end(png, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        benchmark::DoNotOptimize(pixels.data());
    }
}

void BM_LibpngSimplified(benchmark::State& state) {
    const auto& file = File();
    for (auto _ : state) {
        std::vector<uint8_t> copy(file);
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        png_image_begin_read_from_memory(&image, copy.data(), copy.size());
        image.format = PNG_FORMAT_BGR;
        std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
        png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
        benchmark::DoNotOptimize(pixels.data());
    }
}

} // namespace

BENCHMARK(BM_PNGReader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibpngRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibpngSimplified)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
