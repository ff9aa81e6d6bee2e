// Writing JPEG files with libjpeg, and the codec the linear library's JPEG loader works through.
#pragma once

#include <cstdint>

namespace ferronel {

class TBitmap;
class TStream;

// Writes a 24-bit bitmap as a baseline JFIF file at Quality (clamped to 1..100): greyscale from the
// green bytes when Grey (the caller's pixels are grey), else colour. Raises EJPEG when libjpeg fails.
void EncodeJPEG(const TBitmap& Bitmap, int32_t Quality, bool Grey, TStream& Stream);

// Installs the JPEG reader and EncodeJPEG as the linear library's JPEG codec; RemoveLinearJPEGCodec
// takes them away again.
void InstallLinearJPEGCodec();
void RemoveLinearJPEGCodec();

} // namespace ferronel
