// Decoding a 24-megapixel (6000 x 4000) run-length encoded 24-bit Targa file from memory with this
// reader and with stb_image, in the same run. Build with -DFERRONEL_BENCH=ON (needs libstb-dev).
#include "host/Stream.h"
#include "readers/formats/TargaGraphic.h"

#include <benchmark/benchmark.h>
#include <stb/stb_image.h>

#include <cmath>
#include <vector>

namespace {

using namespace ferronel;

// A picture with both long runs and noisy stretches, saved by this system's writer.
const std::vector<uint8_t>& File() {
    static const std::vector<uint8_t> file = [] {
        TTargaGraphic t;
        t.SetPixelFormat(pf24bit);
        t.SetSize(6000, 4000);
        uint32_t noise = 1;
        for (int32_t y = 0; y < t.Height(); ++y) {
            uint8_t* row = t.ScanLine(y);
            for (int32_t x = 0; x < t.Width(); ++x) {
                noise = noise * 1664525u + 1013904223u;
                const bool flat = ((x / 64) + (y / 64)) % 2 == 0;
                row[3 * x] = flat ? 40 : uint8_t(noise >> 24);
                row[3 * x + 1] = flat ? 90 : uint8_t(x + y);
                row[3 * x + 2] = flat ? 200 : uint8_t(noise >> 16);
            }
        }
        TMemoryStream s;
        t.SaveToStream(s);
        return s.Data();
    }();
    return file;
}

void BM_TargaReader(benchmark::State& state) {
    const auto& file = File();
    for (auto _ : state) {
        TMemoryStream s(file.data(), file.size());
        TTargaGraphic t;
        t.LoadFromStream(s);
        benchmark::DoNotOptimize(t.ScanLine(0));
    }
    state.SetLabel(std::to_string(file.size() >> 20) + " MB file");
}

void BM_StbImage(benchmark::State& state) {
    const auto& file = File();
    for (auto _ : state) {
        // The same starting point as the reader: the file's bytes copied into a stream of its own.
        std::vector<uint8_t> copy(file);
        int w, h, n;
        stbi_uc* pixels = stbi_load_from_memory(copy.data(), int(copy.size()), &w, &h, &n, 0);
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
}

} // namespace

BENCHMARK(BM_TargaReader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StbImage)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
