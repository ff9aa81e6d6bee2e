// JPEG/JFIF pictures through libjpeg. The picture keeps the file's bytes, shared between copies,
// and decodes them into a bitmap with its settings: scale, grey output, speed or quality, 24-bit
// or 8-bit (palettised) pixels, progressive display and block smoothing. CMYK files, Adobe's
// inverted ones included, come out in their colours, and an Exif orientation turns the bitmap.
#pragma once

#include "host/Bitmap.h"
#include "host/Exceptions.h"
#include "host/Graphic.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace ferronel {

FERRONEL_EXCEPTION(EJPEG, EInvalidGraphic);

enum TJPEGPerformance : uint8_t { jpBestQuality, jpBestSpeed };
enum TJPEGPixelFormat : uint8_t { jf24Bit, jf8Bit };
enum TJPEGScale : uint8_t { jsFullSize, jsHalf, jsQuarter, jsEighth };

// How the stored pixels are turned to be shown upright: the Exif orientation codes 1 to 8.
enum TJPEGOrientation : uint8_t {
    joNormal = 1,
    joMirrored = 2,
    joRotated180 = 3,
    joFlipped = 4,
    joTransposed = 5,
    joRotated90 = 6, // clockwise
    joTransversed = 7,
    joRotated270 = 8,
};

// The compressed file, shared by reference between pictures.
struct TJPEGData {
    std::vector<uint8_t> Data;
    int32_t Width = 0; // as stored, before the orientation
    int32_t Height = 0;
    bool Grayscale = false;
    TJPEGOrientation Orientation = joNormal;
};

struct TJPEGDefaults {
    int32_t CompressionQuality = 90;
    bool Grayscale = false;
    TJPEGPerformance Performance = jpBestQuality;
    // 8-bit on palette screens; the screens this system draws on are true colour.
    TJPEGPixelFormat PixelFormat = jf24Bit;
    bool ProgressiveDisplay = false;
    bool ProgressiveEncoding = false;
    TJPEGScale Scale = jsFullSize;
    bool Smoothing = true;
    // Whether the Exif orientation turns the picture upright.
    bool ExifOrientation = true;
};

// The process-wide defaults that new pictures copy.
TJPEGDefaults& JPEGDefaults();

class TJPEGImage : public TGraphic {
    FERRONEL_CLASS(TJPEGImage, TGraphic)
public:
    TJPEGImage();
    ~TJPEGImage() override;

    void Draw(TCanvas& Canvas, const TRect& Rect) override;
    bool Empty() const override;
    int32_t Width() const override;
    int32_t Height() const override;
    void SetWidth(int32_t Value) override;
    void SetHeight(int32_t Value) override;
    HPALETTE Palette() const override;

    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) override;
    // The form used by object streaming: a 32-bit little-endian byte count, then the bytes.
    void ReadData(TStream& Stream);
    void Assign(const TObject& Source) override;
    bool AssignTo(TObject& Dest) const override;

    // The decoded picture, decoding it on first use.
    const TBitmap& Bitmap();
    // Drops the decoded picture; the next use decodes again with the current settings.
    void FreeBitmap();

    // Settings; a change drops the decoded picture.
    bool Grayscale() const { return FSettings.Grayscale; }
    void SetGrayscale(bool Value) { Change(FSettings.Grayscale, Value); }
    TJPEGPerformance Performance() const { return FSettings.Performance; }
    void SetPerformance(TJPEGPerformance Value) { Change(FSettings.Performance, Value); }
    TJPEGPixelFormat PixelFormat() const { return FSettings.PixelFormat; }
    void SetPixelFormat(TJPEGPixelFormat Value) { Change(FSettings.PixelFormat, Value); }
    bool ProgressiveDisplay() const { return FSettings.ProgressiveDisplay; }
    void SetProgressiveDisplay(bool Value) { Change(FSettings.ProgressiveDisplay, Value); }
    bool ProgressiveEncoding() const { return FSettings.ProgressiveEncoding; }
    TJPEGScale Scale() const { return FSettings.Scale; }
    void SetScale(TJPEGScale Value) { Change(FSettings.Scale, Value); }
    bool Smoothing() const { return FSettings.Smoothing; }
    void SetSmoothing(bool Value) { Change(FSettings.Smoothing, Value); }
    bool ExifOrientation() const { return FSettings.ExifOrientation; }
    void SetExifOrientation(bool Value) { Change(FSettings.ExifOrientation, Value); }
    int32_t CompressionQuality() const { return FSettings.CompressionQuality; }
    void SetCompressionQuality(int32_t Value) { FSettings.CompressionQuality = Value; }

    const TJPEGData* Data() const { return FData.get(); }

private:
    template <typename T> void Change(T& Setting, T Value) {
        if (Setting == Value) return;
        Setting = Value;
        FreeBitmap();
        FScaledSizeStale = true;
        Changed(this);
    }
    void ReadStream(TStream& Stream, int64_t Size);
    void Decode();
    void ScaledSize(int32_t& W, int32_t& H) const;
    bool Turned() const;

    std::shared_ptr<TJPEGData> FData;
    std::unique_ptr<TBitmap> FBitmap;
    TJPEGDefaults FSettings;
    mutable int32_t FScaledWidth = 0, FScaledHeight = 0;
    mutable bool FScaledSizeStale = true;
    bool FDataRead = false;
};

} // namespace ferronel
