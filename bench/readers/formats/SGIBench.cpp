// Decoding a 24-megapixel (6000 x 4000) run-length encoded 8-bit RGB SGI file from memory with this
// reader and with ImageMagick's MagickCore, in the same run. Build with -DFERRONEL_BENCH=ON (needs
// libmagickcore-dev).
#include "bench/readers/formats/MagickReference.h"
#include "host/Stream.h"
#include "readers/formats/SGIGraphic.h"

#include <benchmark/benchmark.h>

namespace {

using namespace ferronel;

const std::vector<uint8_t>& File() {
    static const std::vector<uint8_t> file =
        bench::Magick().Encode(bench::TestPicture(6000, 4000), 6000, 4000, "SGI", RLECompression);
    return file;
}

void BM_SGIReader(benchmark::State& state) {
    const auto& file = File();
    for (auto _ : state) {
        TMemoryStream s(file.data(), file.size());
        TSGIGraphic g;
        g.LoadFromStream(s);
        benchmark::DoNotOptimize(g.ScanLine(0));
    }
    state.SetLabel(std::to_string(file.size() >> 20) + " MB file, RLE " + std::to_string(file[2]));
}

void BM_MagickCoreSGI(benchmark::State& state) {
    const auto& file = File();
    for (auto _ : state) benchmark::DoNotOptimize(bench::Magick().Decode(file, "SGI"));
}

} // namespace

BENCHMARK(BM_SGIReader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MagickCoreSGI)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
