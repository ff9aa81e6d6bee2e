#include "plugins/ImageRecord.h"

#include "host/CheckedSize.h"
#include "host/Format.h"
#include "host/Limits.h"
#include "linear/LinearStrings.h"
#include "plugins/PluginStrings.h"

#include <cstring>

namespace ferronel::plugins {

using linear::ELinearBitmap;
using linear::TLinearBitmap;

namespace {

enum class TRecordLayout { rlIndexed, rlGrey16, rlInterleaved, rlPlanar };

TRecordLayout LayoutOf(int32_t Format, int32_t Channels) {
    const int32_t flags = Format & ~ifChannelMask;
    if (Channels == 1) {
        // A single plane is the same bytes whether called planar or not.
        if ((flags & ~ifPlanar) == 0) return TRecordLayout::rlIndexed;
        if ((flags & ~ifPlanar) == ifSixteenBit) return TRecordLayout::rlGrey16;
    } else if (Format == ifBGR || Format == ifBGRA) {
        return TRecordLayout::rlInterleaved;
    } else if (flags == ifPlanar) {
        return TRecordLayout::rlPlanar;
    }
    throw ELinearBitmap(linear::SUnsupportedPixelFormat);
}

// Row by row from a source whose rows are Stride apart into the packed bitmap.
void CopyRows(const uint8_t* Source, int64_t Stride, int64_t RowBytes, TLinearBitmap& Bitmap) {
    if (Stride == RowBytes) {
        std::memcpy(Bitmap.Map(), Source, size_t(RowBytes * Bitmap.Height()));
        return;
    }
    for (int32_t y = 0; y < Bitmap.Height(); ++y)
        std::memcpy(Bitmap.ScanLine(y), Source + y * Stride, size_t(RowBytes));
}

// Planes 0 to Planes - 1 into bytes 0 to Planes - 1 of each 24-bit pixel.
void CopyPlanes(const uint8_t* Source, int64_t Stride, int32_t Planes, TLinearBitmap& Bitmap) {
    const int32_t width = Bitmap.Width(), height = Bitmap.Height();
    const int64_t planeBytes = Stride * height;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* d = Bitmap.ScanLine(y);
        for (int32_t p = 0; p < Planes; ++p) {
            const uint8_t* s = Source + p * planeBytes + y * Stride;
            for (int32_t x = 0; x < width; ++x) d[x * 3 + p] = s[x];
        }
    }
}

} // namespace

void ConvertImageContainer(const TImageContainer& Image, TLinearBitmap& Bitmap) {
    Bitmap.Clear();
    const int32_t channels = Image.Format & ifChannelMask;
    if (channels == 0) throw ELinearBitmap(SUnsupportedBitmapFormat);
    const TRecordLayout layout = LayoutOf(Image.Format, channels);
    if (Image.Width <= 0 || Image.Height <= 0) throw ELinearBitmap(linear::SInvalidBitmapSize);
    if (!Image.PixelData) throw ELinearBitmap(SErrorInBitmapData);

    // What one source row holds, and how many planes of rows are read.
    int64_t rowBytes = Image.Width;
    int32_t planesRead = 1;
    uint8_t pixelFormat = linear::lpf8bit;
    switch (layout) {
    case TRecordLayout::rlIndexed: break;
    case TRecordLayout::rlGrey16:
        rowBytes = int64_t(Image.Width) * 2;
        pixelFormat = linear::lpf16bitGrey;
        break;
    case TRecordLayout::rlInterleaved:
        rowBytes = int64_t(Image.Width) * channels;
        pixelFormat = channels == 3 ? linear::lpf24bit : linear::lpf32bit;
        break;
    case TRecordLayout::rlPlanar:
        planesRead = channels < 3 ? channels : 3;
        pixelFormat = linear::lpf24bit;
        break;
    }
    // Plug-ins hand packed rows, and the row length is not theirs to set on loading: a larger value
    // is ignored, as plug-ins that fill it carelessly still hand packed rows. One shorter than the
    // packed row says the buffer cannot hold the picture.
    if (Image.BytesPerLine < 0 || (Image.BytesPerLine > 0 && Image.BytesPerLine < rowBytes))
        throw ELinearBitmap(SErrorInBitmapData);
    const int64_t stride = rowBytes;
    // The picture first, so that one past the limit is refused with the system's own message; the
    // source is as large as the picture it describes, so it answers to the same limit.
    CheckPixelBufferSize(Image.Width, Image.Height,
                         pixelFormat == linear::lpf8bit        ? 8
                         : pixelFormat == linear::lpf16bitGrey ? 16
                         : pixelFormat == linear::lpf24bit     ? 24
                                                               : 32);
    if (CheckedMul(uint64_t(stride), uint64_t(Image.Height), uint64_t(planesRead)) > PixelBufferLimit())
        throw ELinearBitmap(SErrorInBitmapData);

    Bitmap.Allocate(Image.Width, Image.Height, pixelFormat);
    switch (layout) {
    case TRecordLayout::rlIndexed:
        CopyRows(Image.PixelData, stride, rowBytes, Bitmap);
        std::memcpy(Bitmap.Palette(), Image.Palette ? Image.Palette : linear::GreyPalette().data(), 768);
        break;
    case TRecordLayout::rlGrey16:
    case TRecordLayout::rlInterleaved:
        CopyRows(Image.PixelData, stride, rowBytes, Bitmap);
        if (channels == 4) Bitmap.ConvertTo(linear::lpf24bit);
        break;
    case TRecordLayout::rlPlanar: CopyPlanes(Image.PixelData, stride, planesRead, Bitmap); break;
    }
    if (channels > 3) throw ELinearBitmap(Format(SColorPlanes, {channels}));
}

} // namespace ferronel::plugins
