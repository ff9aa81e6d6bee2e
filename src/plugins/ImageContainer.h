// The contract with image plug-ins: the image record they fill or read, its format codes, their
// result codes and the names under which a plug-in library exports its entry points.
#pragma once

#include <cstdint>

namespace ferronel::plugins {

// Passed by address; pointers have the native size. On loading the plug-in fills every field but
// BytesPerLine and Options; on saving the program fills them all.
struct TImageContainer {
    int32_t Width;
    int32_t Height;
    int32_t BytesPerLine; // 0 when the plug-in leaves it: rows are packed
    int32_t Format;       // TImageFormat bits
    uint8_t* PixelData;   // rows top-down
    uint8_t* Palette;     // 256 triplets, blue, green, red; none means grey
    char* Options;        // a zero-terminated text
};

// Format: the low four bits count the channels; the flags say how they are stored.
enum : int32_t {
    ifChannelMask = 0x0F,
    ifPlanar = 0x10, // one plane of 8-bit samples after another
    ifSixteenBit = 0x20,
    ifFlagMask = 0xF0,
};
enum : int32_t { ifIndexed = 1, ifGrey16 = ifSixteenBit | 1, ifBGR = 3, ifBGRA = 4 };

// A plug-in's answer.
enum : int { prOK = 0, prOpenError = 2, prDataError = 3, prPixelFormat = 4, prCloseError = 5 };

// Ext holds the upper-case extension in a buffer of this many bytes.
inline constexpr int ExtBufferSize = 261;

using TLibLoadImage = int (*)(char* FileName, char* Ext, TImageContainer* Image);
using TLibSaveImage = int (*)(char* FileName, char* Ext, TImageContainer* Image);
using TLibFreeImage = int (*)(TImageContainer* Image);
using TLibGetFilter = char* (*)();

// The exported names, exactly as plug-ins carry them.
inline constexpr const char* SLibLoadImage = "?LibLoadImage@@YGHPAD0PAUTImageContainer@@@Z";
inline constexpr const char* SLibSaveImage = "?LibSaveImage@@YGHPAD0PAUTImageContainer@@@Z";
inline constexpr const char* SLibFreeImage = "?LibFreeImage@@YGHPAUTImageContainer@@@Z";
inline constexpr const char* SLibGetLoadFilter = "?LibGetLoadFilter@@YGPADXZ";
inline constexpr const char* SLibGetSaveFilter = "?LibGetSaveFilter@@YGPADXZ";

} // namespace ferronel::plugins
