// Decoding GIF files from memory with this unit's reader and with giflib's DGifSlurp, in the same
// run: a 24-megapixel (6000 x 4000) single frame with 256 colours, and a 100-frame animation of
// 480 x 360. giflib also writes the files. Build with -DFERRONEL_BENCH=ON (needs libgif-dev).
#include "gif/GIFImage.h"
#include "host/Stream.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

using namespace ferronel;

int WriteToVector(GifFileType* File, const GifByteType* Data, int Length) {
    auto* out = static_cast<std::vector<uint8_t>*>(File->UserData);
    out->insert(out->end(), Data, Data + Length);
    return Length;
}

// Flat patches and noisy stretches, so that the codes are neither all long nor all short.
void Paint(std::vector<GifByteType>& Pixels, int Width, int Height, uint32_t Seed) {
    uint32_t noise = Seed;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const bool flat = ((x / 64) + (y / 64) + int(Seed)) % 3 != 0;
            Pixels[size_t(y) * size_t(Width) + size_t(x)] =
                GifByteType(flat ? (x / 64 * 7 + y / 64 * 13) & 255 : noise >> 24);
        }
}

std::vector<uint8_t> Encode(int Width, int Height, int Frames) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
    if (!gif) throw std::runtime_error("EGifOpen");
    GifColorType colors[256];
    for (int i = 0; i < 256; ++i) colors[i] = {GifByteType(i), GifByteType(255 - i), GifByteType(i * 7)};
    ColorMapObject* map = GifMakeMapObject(256, colors);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, Width, Height, 8, 0, map);
    if (Frames > 1) {
        const GifByteType loop[3] = {1, 0, 0};
        EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
        EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
        EGifPutExtensionBlock(gif, 3, loop);
        EGifPutExtensionTrailer(gif);
    }
    std::vector<GifByteType> pixels(size_t(Width) * size_t(Height));
    for (int f = 0; f < Frames; ++f) {
        Paint(pixels, Width, Height, uint32_t(f + 1));
        if (Frames > 1) {
            const GifByteType control[4] = {4, 10, 0, 0};
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
        }
        EGifPutImageDesc(gif, 0, 0, Width, Height, false, nullptr);
        for (int y = 0; y < Height; ++y) EGifPutLine(gif, &pixels[size_t(y) * size_t(Width)], Width);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

const std::vector<uint8_t>& Large() {
    static const std::vector<uint8_t> file = Encode(6000, 4000, 1);
    return file;
}
const std::vector<uint8_t>& Animation() {
    static const std::vector<uint8_t> file = Encode(480, 360, 100);
    return file;
}

struct TMemoryInput {
    const uint8_t* Data;
    size_t Size, Position;
};

int ReadFromMemory(GifFileType* File, GifByteType* Buffer, int Length) {
    auto* in = static_cast<TMemoryInput*>(File->UserData);
    const size_t n = std::min(size_t(Length), in->Size - in->Position);
    std::memcpy(Buffer, in->Data + in->Position, n);
    in->Position += n;
    return int(n);
}

void Ours(benchmark::State& State, const std::vector<uint8_t>& File) {
    for (auto _ : State) {
        TMemoryStream s(File.data(), File.size());
        TGIFImage image;
        image.LoadFromStream(s);
        benchmark::DoNotOptimize(image.Images().back()->PixelData.data());
    }
    State.SetLabel(std::to_string(File.size() >> 10) + " KB file");
}

void Giflib(benchmark::State& State, const std::vector<uint8_t>& File) {
    for (auto _ : State) {
        // The same starting point as the reader: the file's bytes copied once.
        std::vector<uint8_t> copy(File);
        TMemoryInput in{copy.data(), copy.size(), 0};
        int error = 0;
        GifFileType* gif = DGifOpen(&in, ReadFromMemory, &error);
        if (!gif || DGifSlurp(gif) != GIF_OK) State.SkipWithError("DGifSlurp failed");
        benchmark::DoNotOptimize(gif->SavedImages[gif->ImageCount - 1].RasterBits);
        DGifCloseFile(gif, &error);
    }
}

void BM_GIFReader_24MP(benchmark::State& State) { Ours(State, Large()); }
void BM_Giflib_24MP(benchmark::State& State) { Giflib(State, Large()); }
void BM_GIFReader_100Frames(benchmark::State& State) { Ours(State, Animation()); }
void BM_Giflib_100Frames(benchmark::State& State) { Giflib(State, Animation()); }

} // namespace

BENCHMARK(BM_GIFReader_24MP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Giflib_24MP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GIFReader_100Frames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Giflib_100Frames)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
