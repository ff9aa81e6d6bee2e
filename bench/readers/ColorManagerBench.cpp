// Row conversion speed of the colour manager on 24 megapixels (6000 x 4000), against a memcpy of
// the same target bytes in the same run. Build with -DFERRONEL_BENCH=ON.
#include "readers/ColorManager.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

using namespace ferronel;

constexpr uint32_t Width = 6000, Height = 4000;

std::vector<uint8_t> Noise(size_t bytes) {
    std::vector<uint8_t> v(bytes);
    std::mt19937 random(7);
    for (auto& b : v) b = uint8_t(random());
    return v;
}

void Memcpy(benchmark::State& state, size_t samples) {
    const std::vector<uint8_t> source = Noise(size_t(Width) * Height * samples);
    std::vector<uint8_t> target(source.size());
    const size_t row = size_t(Width) * samples;
    for (auto _ : state) {
        for (uint32_t y = 0; y < Height; ++y)
            std::memcpy(target.data() + y * row, source.data() + y * row, row);
        benchmark::DoNotOptimize(target.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(target.size()));
}

void Convert(benchmark::State& state, TColorScheme from, TColorScheme to, uint8_t samples,
             uint8_t targetSamples = 0) {
    if (targetSamples == 0) targetSamples = samples;
    TColorManager m;
    m.SetSourceColorScheme(from);
    m.SetTargetColorScheme(to);
    m.SetSourceSamplesPerPixel(samples);
    m.SetTargetSamplesPerPixel(targetSamples);
    const std::vector<uint8_t> source = Noise(size_t(Width) * Height * samples);
    std::vector<uint8_t> target(size_t(Width) * Height * targetSamples);
    const size_t row = size_t(Width) * samples, targetRow = size_t(Width) * targetSamples;
    for (auto _ : state) {
        for (uint32_t y = 0; y < Height; ++y)
            m.ConvertScanline(source.data() + y * row, target.data() + y * targetRow, Width, 0xFF);
        benchmark::DoNotOptimize(target.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(target.size()));
}

void BM_Memcpy3(benchmark::State& s) { Memcpy(s, 3); }
void BM_RGBToBGR(benchmark::State& s) { Convert(s, csRGB, csBGR, 3); }
void BM_YCbCrToBGR(benchmark::State& s) { Convert(s, csYCbCr, csBGR, 3); }
void BM_Memcpy4(benchmark::State& s) { Memcpy(s, 4); }
void BM_RGBAToBGRA(benchmark::State& s) { Convert(s, csRGBA, csBGRA, 4); }
void BM_CMYKToBGR(benchmark::State& s) { Convert(s, csCMYK, csBGR, 4, 3); }
void BM_LabToBGR(benchmark::State& s) { Convert(s, csCIELab, csBGR, 3); }

} // namespace

BENCHMARK(BM_Memcpy3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RGBToBGR)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_YCbCrToBGR)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RGBAToBGRA)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CMYKToBGR)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LabToBGR)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
