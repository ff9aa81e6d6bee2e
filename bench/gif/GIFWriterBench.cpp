// Encoding one 24-megapixel (6000 x 4000) frame of 256 colours with this unit's encoders and with
// giflib's EGifPutLine, in the same run, from the same pixels into memory. Also the reduction of a
// true-colour picture of the same size. Build with -DFERRONEL_BENCH=ON (needs libgif-dev).
#include "gif/ColorReduction.h"
#include "gif/GIFEncoder.h"
#include "host/Stream.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <memory>
#include <stdexcept>
#include <vector>

namespace {

using namespace ferronel;

constexpr int Width = 6000, Height = 4000;

// Flat patches and noisy stretches, as in the reader benchmark.
const std::vector<uint8_t>& Pixels() {
    static const std::vector<uint8_t> pixels = [] {
        std::vector<uint8_t> p(size_t(Width) * Height);
        uint32_t noise = 1;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) {
                noise = noise * 1664525u + 1013904223u;
                const bool flat = ((x / 64) + (y / 64) + 1) % 3 != 0;
                p[size_t(y) * Width + size_t(x)] =
                    uint8_t(flat ? (x / 64 * 7 + y / 64 * 13) & 255 : noise >> 24);
            }
        return p;
    }();
    return pixels;
}

void Ours(benchmark::State& State, uint8_t Kind) {
    const auto& pixels = Pixels();
    size_t size = 0;
    for (auto _ : State) {
        TMemoryStream out;
        MakeGIFEncoder(Kind)->EncodeFrame(out, 8, 256, pixels.data(), false, Height, Width);
        size = out.Data().size();
        benchmark::DoNotOptimize(out.Memory());
    }
    State.SetLabel(std::to_string(size >> 10) + " KB");
}

int WriteToVector(GifFileType* File, const GifByteType* Data, int Length) {
    auto* out = static_cast<std::vector<uint8_t>*>(File->UserData);
    out->insert(out->end(), Data, Data + Length);
    return Length;
}

void BM_LZWEncoder_24MP(benchmark::State& State) { Ours(State, 0); }
void BM_RLEEncoder_24MP(benchmark::State& State) { Ours(State, 1); }

void BM_Giflib_EGifPutLine_24MP(benchmark::State& State) {
    std::vector<GifByteType> pixels(Pixels().begin(), Pixels().end());
    GifColorType colors[256];
    for (int i = 0; i < 256; ++i) colors[i] = {GifByteType(i), GifByteType(255 - i), GifByteType(i * 7)};
    size_t size = 0;
    for (auto _ : State) {
        std::vector<uint8_t> out;
        int error = 0;
        GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
        if (!gif) throw std::runtime_error("EGifOpen");
        ColorMapObject* map = GifMakeMapObject(256, colors);
        EGifPutScreenDesc(gif, Width, Height, 8, 0, map);
        EGifPutImageDesc(gif, 0, 0, Width, Height, false, nullptr);
        for (int y = 0; y < Height; ++y) EGifPutLine(gif, &pixels[size_t(y) * Width], Width);
        EGifCloseFile(gif, &error);
        GifFreeMapObject(map);
        size = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    State.SetLabel(std::to_string(size >> 10) + " KB");
}

void Reduce(benchmark::State& State, uint8_t Method, uint8_t Dither) {
    static const std::unique_ptr<TBitmap> source = [] {
        auto b = std::make_unique<TBitmap>();
        b->SetPixelFormat(pf24bit);
        b->SetSize(Width / 2, Height / 2);
        for (int y = 0; y < b->Height(); ++y) {
            uint8_t* p = b->ScanLine(y);
            for (int x = 0; x < b->Width(); ++x, p += 3) {
                p[0] = uint8_t(x / 12), p[1] = uint8_t(y / 8), p[2] = uint8_t((x ^ y) & 255);
            }
        }
        return b;
    }();
    for (auto _ : State) benchmark::DoNotOptimize(ReduceBitmapColors(*source, Method, Dither, nullptr, 8));
}
void BM_ReduceCube_6MP(benchmark::State& State) { Reduce(State, rmColorCube, dkNone); }
void BM_ReduceOctreeFloydSteinberg_6MP(benchmark::State& State) {
    Reduce(State, rmQuantize, dkFloydSteinberg);
}

} // namespace

BENCHMARK(BM_LZWEncoder_24MP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Giflib_EGifPutLine_24MP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RLEEncoder_24MP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceCube_6MP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceOctreeFloydSteinberg_6MP)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
