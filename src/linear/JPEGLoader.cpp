#include "linear/JPEGLoader.h"

#include "host/Bitmap.h"
#include "host/Format.h"
#include "linear/HostStreams.h"
#include "linear/LinearBitmap.h"
#include "linear/LinearStrings.h"

#include <algorithm>
#include <cstring>

namespace ferronel::linear {

namespace {

TJPEGCodec& Codec() {
    static TJPEGCodec codec;
    return codec;
}

const TJPEGCodec& RequireCodec(const std::string& Ext) {
    const TJPEGCodec& codec = Codec();
    if (!codec.Decode || !codec.Encode) throw EUnsupportedFileFormat(Format(SUnsupportedFileFormat, {Ext}));
    return codec;
}

uint8_t GreyLevel(uint8_t Blue, uint8_t Green, uint8_t Red) {
    return uint8_t((2 * Red + 3 * Green + Blue + 3) / 6);
}

// A greyscale file's picture as 8-bit grey: 24-bit pixels by their level, 8-bit ones through their
// palette's levels.
void MakeGrey(TLinearBitmap& Bitmap) {
    if (Bitmap.PixelFormat() == lpf8bit) {
        uint8_t level[256];
        const uint8_t* p = Bitmap.Palette();
        for (int i = 0; i < 256; ++i) level[i] = GreyLevel(p[i * 3], p[i * 3 + 1], p[i * 3 + 2]);
        uint8_t* map = Bitmap.Map();
        for (int64_t i = 0; i < Bitmap.Size(); ++i) map[i] = level[map[i]];
    } else if (Bitmap.PixelFormat() == lpf24bit) {
        TLinearBitmap grey;
        grey.Allocate(Bitmap.Width(), Bitmap.Height(), lpf8bit);
        const uint8_t* s = Bitmap.Map();
        uint8_t* d = grey.Map();
        for (int64_t i = 0; i < grey.Size(); ++i, s += 3) d[i] = GreyLevel(s[0], s[1], s[2]);
        Bitmap.TakeOver(grey);
    } else {
        return;
    }
    std::memcpy(Bitmap.Palette(), GreyPalette().data(), GreyPalette().size());
}

} // namespace

void SetJPEGCodec(TJPEGCodec Value) { Codec() = std::move(Value); }

std::string TJPEGLoader::GetLoadFilter() {
    return std::string(SJPEGDescription) + " (*.jpg;*.jpeg;*.jpe)|*.jpg;*.jpeg;*.jpe";
}

std::string TJPEGLoader::GetSaveFilter() { return std::string(SJPEGDescription) + " (*.jpg)|*.jpg"; }

void TJPEGLoader::LoadFromStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) {
    const TJPEGCodec& codec = RequireCodec(Ext);
    std::unique_ptr<TMemStream> copy;
    const auto host = SeekableHostStream(Stream, copy);
    TBitmap bitmap;
    const bool grey = codec.Decode(*host, bitmap);
    Bitmap.Assign(bitmap);
    if (grey) MakeGrey(Bitmap);
}

void TJPEGLoader::SaveToStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) {
    const TJPEGCodec& codec = RequireCodec(Ext);
    if (!Bitmap.Present()) throw ELinearBitmap(SInvalidBitmapSize);
    if (Bitmap.PixelFormat() != lpf8bit && Bitmap.PixelFormat() != lpf24bit)
        throw ELinearBitmap(SUnsupportedPixelFormat);
    TBitmap bitmap;
    Bitmap.AssignTo(bitmap);
    bitmap.SetPixelFormat(pf24bit);
    const bool grey = Bitmap.IsGreyScale();
    const int32_t defaultQuality = codec.DefaultQuality ? codec.DefaultQuality() : 90;

    if (MaxFileSize <= 0) {
        TMemoryStream encoded;
        codec.Encode(bitmap, Quality > 0 ? Quality : defaultQuality, grey, encoded);
        WriteHostBytes(Stream, encoded);
        return;
    }
    // The best quality whose file fits: the given quality when it does, else bisected between the
    // last that fit (at first 1) and the last too large; when even quality 1 is too large, that
    // file is written anyway.
    if (Quality <= 0) Quality = defaultQuality;
    // Qualities above 100 encode as 100; clamped here so that q + 1 cannot overflow.
    int32_t q = std::min(Quality, 100), hi = q + 1, lo = 1;
    std::unique_ptr<TMemoryStream> encoded;
    for (;;) {
        encoded = std::make_unique<TMemoryStream>();
        codec.Encode(bitmap, q, grey, *encoded);
        const int64_t s = int64_t(encoded->Data().size());
        if (s > MaxFileSize) {
            if (q <= 1) break;
            hi = q;
        } else {
            if (s == MaxFileSize) break;
            lo = q;
            if (q >= 100 || hi == lo + 1) break;
        }
        q = (lo + hi) / 2;
    }
    WriteHostBytes(Stream, *encoded);
}

TJPEGLoader& JPEGLoader() {
    static TJPEGLoader loader;
    return loader;
}

} // namespace ferronel::linear
