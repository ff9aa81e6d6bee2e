// The linear library's HIPS loader: a text header of lines, then the first frame of bytes, byte
// triplets, floats or float triplets; and the host graphic that serves "hip" and "hips" through it.
#pragma once

#include "host/HeaderCheck.h"
#include "linear/BitmapLoader.h"
#include "linear/LinearGraphic.h"

#include <cstdint>
#include <string>

namespace ferronel::linear {

class TTextStream;

// Pixel formats of the new-style header (the old style has only bytes).
enum THIPSPixelFormat : int32_t {
    hpUnknown = -1,
    hpByte = 0,
    hpFloat = 3,     // 32-bit floats, one plane after another
    hpByteRGB = 35,  // red, green, blue bytes per pixel
    hpFloatRGB = 37, // three 32-bit floats per pixel
};

// What the header says, read line by line from the text stream; the stream is left at the pixels.
struct THIPSHeader {
    static constexpr const char* Magic = "HIPS";
    static constexpr const char* OldStyleBits = "8";
    bool NewStyle = false;
    int32_t FrameCount = 1;
    int32_t Rows = 0;    // the picture's height
    int32_t Columns = 0; // and width
    std::string Bits;    // old style: bits per pixel
    std::string PixelFormatText;
    THIPSPixelFormat PixelFormat = hpUnknown;
    int32_t Planes = 1; // new style: colour planes (1 when the line says nothing sensible)

    // Raises the stream's short-read error when the header ends early and the host's conversion
    // error when a size line is not an integer.
    static THIPSHeader Parse(TTextStream& Stream);
};

// Old-style headers of 8 bits per pixel and new-style headers of the four pixel formats load.
THeaderCheck CheckHIPSHeader(const THIPSHeader& Header);

class THIPSLoader : public TBitmapLoader {
    FERRONEL_CLASS(THIPSLoader, TBitmapLoader)
public:
    bool CanLoad(const std::string& Ext) override { return Ext == "HIP" || Ext == "HIPS"; }
    bool CanSave(const std::string&) override { return false; }
    std::string GetLoadFilter() override;
    std::string GetSaveFilter() override { return {}; }
    // Several frames or planes of bytes: the first one loads.
    void LoadFromStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) override;
};

class THIPSGraphic : public TLinearGraphic {
    FERRONEL_CLASS(THIPSGraphic, TLinearGraphic)
public:
    void LoadFromStream(TStream& Stream) override { LoadWithExtension(Stream, "HIP"); }
    void SaveToStream(TStream& Stream) override { SaveWithExtension(Stream, "HIP"); }
};

THIPSLoader& HIPSLoader();
// "hip" and "hips" join the picture registry; at exit they leave.
void InitializeHIPSLoader();
void FinalizeHIPSLoader();

} // namespace ferronel::linear
