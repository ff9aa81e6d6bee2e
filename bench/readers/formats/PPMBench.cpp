// Decoding a 24-megapixel (6000 x 4000) binary pixel map (P6) from memory with this reader and with
// ImageMagick's MagickCore, in the same run. Build with -DFERRONEL_BENCH=ON (needs
// libmagickcore-dev).
#include "bench/readers/formats/MagickReference.h"
#include "host/Stream.h"
#include "readers/formats/PPMGraphic.h"

#include <benchmark/benchmark.h>

namespace {

using namespace ferronel;

const std::vector<uint8_t>& File() {
    static const std::vector<uint8_t> file = [] {
        const std::string header = "P6\n6000 4000\n255\n";
        std::vector<uint8_t> f(header.begin(), header.end());
        const std::vector<uint8_t> rgb = bench::TestPicture(6000, 4000);
        f.insert(f.end(), rgb.begin(), rgb.end());
        return f;
    }();
    return file;
}

void BM_PPMReader(benchmark::State& state) {
    const auto& file = File();
    for (auto _ : state) {
        TMemoryStream s(file.data(), file.size());
        TPPMGraphic g;
        g.LoadFromStream(s);
        benchmark::DoNotOptimize(g.ScanLine(0));
    }
    state.SetLabel(std::to_string(file.size() >> 20) + " MB file");
}

void BM_MagickCorePPM(benchmark::State& state) {
    const auto& file = File();
    for (auto _ : state) benchmark::DoNotOptimize(bench::Magick().Decode(file, "PPM"));
}

} // namespace

BENCHMARK(BM_PPMReader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MagickCorePPM)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
