// Turning the record a plug-in filled into a linear bitmap. The record carries no buffer length, so
// the conversion reads exactly the rows and planes its sizes and format describe, and refuses a
// record whose sizes, format or row length cannot describe a picture.
#pragma once

#include "linear/LinearBitmap.h"
#include "plugins/ImageContainer.h"

namespace ferronel::plugins {

// Fills Bitmap from Image. Refusals raise linear::ELinearBitmap: channel count 0 "Unsupported
// bitmap format"; a layout it does not know "Unsupported pixel format"; a size of 0 or less
// "Invalid bitmap size"; no pixels, a row length below the packed one or a source past the
// pixel-buffer limit "Error in bitmap data". A record of more than three channels is converted
// (the first three) and then refused with the colour-plane message.
void ConvertImageContainer(const TImageContainer& Image, linear::TLinearBitmap& Bitmap);

} // namespace ferronel::plugins
