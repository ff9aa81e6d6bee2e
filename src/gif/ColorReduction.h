// Reducing a true-colour bitmap to an 8-bit one of at most 256 colours: a target palette, a lookup
// onto it and optionally error diffusion.
#pragma once

#include "gif/ColorLookup.h"
#include "gif/Ditherer.h"
#include "host/Bitmap.h"

#include <memory>

namespace ferronel {

// What ReductionMethod selects.
enum TColorReduction : uint8_t {
    rmNone,             // a 24-bit copy
    rmSystemColors,     // the 20 system colours
    rmHalftone,         // 256 colours: the system colours, the colour cube and a grey ramp
    rmFourGreys,        // 0, 128, 192, 255
    rmMonochrome,       // black and white by luminance
    rmGreyScale,        // 256 greys
    rmColorCube,        // the 6 x 6 x 6 cube
    rmQuantize,         // an octree palette of 2^ReductionDepth colours
    rmQuantizeReserved, // 236 octree colours between the first and last 10 system colours
    rmCustomPalette,    // a given palette
};

// The 20 system colours (the first 10 and the last 10 of the system palette).
const TPaletteEntries& SystemColorEntries();
const TPaletteEntries& HalftoneEntries();

// An 8-bit bitmap with the chosen palette (a 24-bit copy for rmNone). An unknown method or dither
// kind, or a palette without colours, gives an empty bitmap. Depth is clamped to 1..8.
std::unique_ptr<TBitmap> ReduceBitmapColors(const TBitmap& Bitmap, uint8_t Method, uint8_t DitherKind,
                                            const HPALETTE& CustomPalette, int32_t Depth);

} // namespace ferronel
