// A sample image plug-in that reads and writes a small raw format of its own (".fsp"):
//
//   offset 0  "FSP1"
//          4  width, 32-bit little-endian
//          8  height
//         12  the image record's format code (1, 3 and 4 interleaved, 0x21 16-bit grey, 0x12 and
//             up planar)
//         16  for format 1: 768 palette bytes (blue, green, red)
//             then the pixels exactly as the record carries them (packed rows, planes one after
//             another)
//
// It writes formats 1 and 3, the two the program hands out.
#include "plugins/PluginExports.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace ferronel::plugins;

namespace {

constexpr char Magic[4] = {'F', 'S', 'P', '1'};
constexpr size_t HeaderSize = 16;
constexpr uint64_t MaxPixelBytes = uint64_t(1) << 28;

char LoadFilter[] = "Ferronel sample picture (*.fsp)|*.fsp";

struct TFileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using TFile = std::unique_ptr<FILE, TFileCloser>;
// What the program gets is released by LibFreeImage, through free().
struct TFree {
    void operator()(uint8_t* p) const { std::free(p); }
};
using TBuffer = std::unique_ptr<uint8_t, TFree>;
TBuffer Allocate(size_t Bytes) { return TBuffer(static_cast<uint8_t*>(std::malloc(Bytes))); }

uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// The pixel bytes of a record of this format, or 0 for one the format does not describe.
uint64_t PixelBytes(uint32_t Width, uint32_t Height, uint32_t Format) {
    const uint32_t channels = Format & ifChannelMask;
    if (channels == 0 || Width == 0 || Height == 0 || Width > 65535 || Height > 65535) return 0;
    const uint64_t sample = (Format & ifSixteenBit) ? 2 : 1;
    return uint64_t(Width) * Height * channels * sample;
}

} // namespace

int LibLoadImage(char* FileName, char*, TImageContainer* Image) {
    TFile file(std::fopen(FileName, "rb"));
    if (!file) return prOpenError;
    uint8_t header[HeaderSize];
    if (std::fread(header, 1, HeaderSize, file.get()) != HeaderSize || std::memcmp(header, Magic, 4) != 0)
        return prDataError;
    const uint32_t width = Get32(header + 4), height = Get32(header + 8), format = Get32(header + 12);
    const uint64_t bytes = PixelBytes(width, height, format);
    if (bytes == 0 || bytes > MaxPixelBytes) return prPixelFormat;
    TBuffer palette;
    if (format == ifIndexed) {
        palette = Allocate(768);
        if (!palette || std::fread(palette.get(), 1, 768, file.get()) != 768) return prDataError;
    }
    TBuffer pixels = Allocate(bytes);
    if (!pixels || std::fread(pixels.get(), 1, bytes, file.get()) != bytes) return prDataError;
    Image->Width = int32_t(width);
    Image->Height = int32_t(height);
    Image->Format = int32_t(format);
    Image->PixelData = pixels.release();
    Image->Palette = palette.release();
    return prOK;
}

int LibFreeImage(TImageContainer* Image) {
    std::free(Image->PixelData);
    std::free(Image->Palette);
    Image->PixelData = Image->Palette = nullptr;
    return 0;
}

int LibSaveImage(char* FileName, char*, TImageContainer* Image) {
    if (Image->Format != ifIndexed && Image->Format != ifBGR) return prPixelFormat;
    if (Image->Width <= 0 || Image->Height <= 0 || !Image->PixelData) return prDataError;
    const size_t row = size_t(Image->Width) * (Image->Format == ifBGR ? 3 : 1);
    if (Image->BytesPerLine < 0 || size_t(Image->BytesPerLine) < row) return prDataError;
    TFile file(std::fopen(FileName, "wb"));
    if (!file) return prOpenError;
    uint8_t header[HeaderSize];
    std::memcpy(header, Magic, 4);
    Put32(header + 4, uint32_t(Image->Width));
    Put32(header + 8, uint32_t(Image->Height));
    Put32(header + 12, uint32_t(Image->Format));
    bool ok = std::fwrite(header, 1, HeaderSize, file.get()) == HeaderSize;
    if (Image->Format == ifIndexed) {
        static const uint8_t black[768] = {};
        ok = ok && std::fwrite(Image->Palette ? Image->Palette : black, 1, 768, file.get()) == 768;
    }
    for (int32_t y = 0; ok && y < Image->Height; ++y)
        ok = std::fwrite(Image->PixelData + size_t(y) * size_t(Image->BytesPerLine), 1, row, file.get()) ==
             row;
    if (!ok) return prDataError;
    return std::fclose(file.release()) == 0 ? prOK : prCloseError;
}

char* LibGetLoadFilter() { return LoadFilter; }
char* LibGetSaveFilter() { return LoadFilter; }
