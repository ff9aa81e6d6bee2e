// The converter's work, apart from main() so that tests run it in-process.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace ferronel {

class TBitmap;
class TGraphic;
class TStream;

// How a .gif output is written: the encoder and, for true-colour pictures, the colour reduction.
struct TGIFOptions {
    bool Used = false;
    uint8_t EncoderKind = 0;
    uint8_t ReductionMethod = 6;
    int32_t ReductionDepth = 8;
    uint8_t DitherKind = 0;
};

// ferronel-convert INPUT OUTPUT | --info INPUT | --to FORMAT -o FOLDER ... INPUT... (see Batch.h).
// Answers the exit status: 0 done, 1 the load or the write failed (message on Err; in a batch: any
// file failed), 2 bad usage. Terminal asks for a batch's progress line on Err.
int ConvertMain(const std::vector<std::string>& Args, std::ostream& Out, std::ostream& Err,
                bool Terminal = false);

// Loads Input as the viewer does and writes it to Output as Kind (bmp, png, pam, tga or gif). Raises the
// load's or the write's error; an empty picture is refused before anything is written.
void ConvertFile(const std::string& Input, const std::string& Output, const std::string& Kind,
                 const TGIFOptions& Gif = {});
// Whether Kind (a lower-case extension) is a format the converter writes.
bool IsOutputKind(const std::string& Kind);
const char* ConvertUsage();
// Makes what metafile drawing needs (an offscreen application object); call it on the main thread
// before converting from other threads.
void PrepareConversions();

// Writes a bitmap as a PAM file (8-bit RGB_ALPHA; opaque unless the bitmap carries opacity).
void WritePam(TStream& Stream, const TBitmap& Bitmap);
// Writes a bitmap as a PNG file with the same pixels as WritePam (RGBA, or RGB when opaque).
void WritePng(TStream& Stream, const TBitmap& Bitmap);

} // namespace ferronel
