// The converter's work, apart from main() so that tests run it in-process.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace ferronel {

class TBitmap;
class TGraphic;
class TStream;

// ferronel-convert INPUT OUTPUT | --info INPUT. Answers the exit status: 0 done, 1 the load or the
// write failed (message on Err), 2 bad usage.
int ConvertMain(const std::vector<std::string>& Args, std::ostream& Out, std::ostream& Err);

// Writes a bitmap as a PAM file (8-bit RGB_ALPHA; opaque unless the bitmap carries opacity).
void WritePam(TStream& Stream, const TBitmap& Bitmap);
// Writes a bitmap as a PNG file with the same pixels as WritePam (RGBA, or RGB when opaque).
void WritePng(TStream& Stream, const TBitmap& Bitmap);

} // namespace ferronel
