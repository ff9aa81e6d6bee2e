// A test plug-in whose records say whatever its ".lie" file says, to show how the program takes a
// plug-in that lies. The file holds the record to hand out:
//
//   offset 0  width, height, bytes per line, format, result code: 32-bit little-endian each
//         20  flags: 1 = no pixel pointer, 2 = a palette of 768 bytes follows
//         21  the palette when flagged, then the pixel bytes: all the rest of the file
//
// The pixels are handed out in a buffer of exactly the bytes the file holds, so reading past them
// shows in a sanitizer build. LyingPluginFrees() counts LibFreeImage calls. Saving writes nothing
// and answers the number that the file's name starts with.
#include "plugins/PluginExports.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace ferronel::plugins;

namespace {

char Filter[] = "Lying pictures (*.lie)|*.lie";
int Frees = 0;

int32_t Get32(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

uint8_t* Copy(const uint8_t* Bytes, size_t Count) {
    uint8_t* copy = static_cast<uint8_t*>(std::malloc(Count ? Count : 1));
    if (copy && Count) std::memcpy(copy, Bytes, Count);
    return copy;
}

} // namespace

FERRONEL_PLUGIN_EXPORT int LyingPluginFrees() { return Frees; }

int LibLoadImage(char* FileName, char*, TImageContainer* Image) {
    FILE* file = std::fopen(FileName, "rb");
    if (!file) return prOpenError;
    std::vector<uint8_t> bytes;
    uint8_t block[4096];
    for (size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;)
        bytes.insert(bytes.end(), block, block + n);
    std::fclose(file);
    if (bytes.size() < 21) return prDataError;
    const uint8_t flags = bytes[20];
    size_t at = 21;
    if ((flags & 2) && bytes.size() < at + 768) return prDataError;
    Image->Width = Get32(&bytes[0]);
    Image->Height = Get32(&bytes[4]);
    Image->BytesPerLine = Get32(&bytes[8]);
    Image->Format = Get32(&bytes[12]);
    Image->Palette = nullptr;
    if (flags & 2) {
        Image->Palette = Copy(&bytes[at], 768);
        at += 768;
    }
    Image->PixelData = (flags & 1) ? nullptr : Copy(bytes.data() + at, bytes.size() - at);
    const int result = Get32(&bytes[16]);
    if (result != prOK) {
        // A failed load leaves nothing for the program to release.
        std::free(Image->PixelData);
        std::free(Image->Palette);
        Image->PixelData = Image->Palette = nullptr;
    }
    return result;
}

int LibFreeImage(TImageContainer* Image) {
    ++Frees;
    std::free(Image->PixelData);
    std::free(Image->Palette);
    return 0;
}

int LibSaveImage(char* FileName, char*, TImageContainer*) {
    const char* name = std::strrchr(FileName, '/');
    return std::atoi(name ? name + 1 : FileName);
}

char* LibGetLoadFilter() { return Filter; }
char* LibGetSaveFilter() { return Filter; }
