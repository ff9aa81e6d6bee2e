// Windows icons. An icon file holds several images; the icon shows the one a user would want, the
// largest and then the deepest. Its AND mask (or its own opacity, for 32-bit images) makes pixels
// transparent when it is drawn.
#pragma once

#include "host/Bitmap.h"
#include "host/HeaderCheck.h"

#include <cstddef>
#include <cstdint>
#include <span>

#include <functional>
#include <memory>

namespace ferronel {

enum TIconResourceType : uint16_t { irIcon = 1, irCursor = 2 };

// The 6-byte directory header of an icon file.
struct TIconDirHeader {
    static constexpr size_t Size = 6;
    uint16_t Reserved = 0;
    uint16_t Type = irIcon;
    uint16_t Count = 0; // directory entries that follow

    static TIconDirHeader Parse(std::span<const uint8_t, Size> Bytes);
    void Serialize(std::span<uint8_t, Size> Bytes) const;
};

// One 16-byte directory entry. Its sizes and depth are often 0 or wrong; the image itself says.
struct TIconDirEntry {
    static constexpr size_t Size = 16;
    uint8_t Width = 0; // 0 stands for 256
    uint8_t Height = 0;
    uint8_t ColorCount = 0;
    uint8_t Reserved = 0;
    uint16_t Planes = 0; // a cursor's hot spot
    uint16_t BitCount = 0;
    uint32_t BytesInRes = 0;  // bytes of the image
    uint32_t ImageOffset = 0; // from the start of the file

    static TIconDirEntry Parse(std::span<const uint8_t, Size> Bytes);
    void Serialize(std::span<uint8_t, Size> Bytes) const;
};

// The one judgement of an icon file's directory, given the bytes the file holds.
THeaderCheck CheckIconDirectory(const TIconDirHeader& Header, uint64_t FileSize);

class TIcon : public TGraphic {
    FERRONEL_CLASS(TIcon, TGraphic)
public:
    TIcon();
    ~TIcon() override;

    void Draw(TCanvas& Canvas, const TRect& Rect) override;
    bool Empty() const override { return FImage.Empty(); }
    int32_t Width() const override { return FImage.Width(); }
    int32_t Height() const override { return FImage.Height(); }
    void SetWidth(int32_t Value) override;
    void SetHeight(int32_t Value) override;
    HPALETTE Palette() const override { return FImage.Palette(); }

    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) override;
    void Assign(const TObject& Source) override;
    // Into a bitmap: 32 bits with the opacity the mask gives.
    bool AssignTo(TObject& Dest) const override;

    const TBitmap& Image() const { return FImage; }
    // The AND mask as a 1-bit bitmap (set bit = transparent); empty for images with their own opacity.
    const TBitmap& Mask() const { return FMask; }

    // Decodes a PNG-compressed icon image. PNG reading lives in a library above the host, which
    // installs this hook at start-up; without it such images are passed over.
    using TPngImageDecoder = std::function<void(TStream& Stream, TBitmap& Bitmap)>;
    static void SetPngImageDecoder(TPngImageDecoder Decoder);

private:
    TBitmap FImage;
    TBitmap FMask;
};

} // namespace ferronel
