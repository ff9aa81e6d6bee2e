#include "linear/ICOLoader.h"

#include "host/Picture.h"
#include "linear/LinearStrings.h"

#include <algorithm>
#include <cstring>

namespace ferronel::linear {

namespace {

TIconSelectionDialog& SelectionDialog() {
    static TIconSelectionDialog dialog;
    return dialog;
}

bool IsIconExtension(const std::string& Ext) {
    return Ext.size() == 3 && (Ext[0] | 0x20) == 'i' && (Ext[1] | 0x20) == 'c' && (Ext[2] | 0x20) == 'o';
}

void SetMaskBit(TIconImage& Image, int32_t X, int32_t Y) {
    uint8_t& m = Image.Mask[size_t(Image.Height - 1 - Y) * size_t(Image.MaskStride) + size_t(X >> 3)];
    m = uint8_t(m | 0x80 >> (X & 7));
}

void FromTrueColor(const TLinearBitmap& Bitmap, TColor Transparent, TIconList& List) {
    TIconImage& image = List.Add(Bitmap.Width(), Bitmap.Height(), 24);
    const uint8_t key[3] = {GetBValue(Transparent), GetGValue(Transparent), GetRValue(Transparent)};
    for (int32_t y = 0; y < image.Height; ++y) {
        const uint8_t* s = Bitmap.ScanLine(y);
        uint8_t* d = image.Xor.data() + size_t(image.Height - 1 - y) * size_t(image.XorStride);
        for (int32_t x = 0; x < image.Width; ++x, s += 3, d += 3) {
            if (std::memcmp(s, key, 3) == 0) {
                SetMaskBit(image, x, y); // the colour rows keep black there
                continue;
            }
            std::memcpy(d, s, 3);
        }
    }
}

void FromIndexed(const TLinearBitmap& Bitmap, TColor Transparent, TIconList& List) {
    const uint8_t* palette = Bitmap.Palette();
    bool transparent[256];
    for (int i = 0; i < 256; ++i)
        transparent[i] = RGBColor(palette[i * 3 + 2], palette[i * 3 + 1], palette[i * 3]) == Transparent;
    // Sixteen entries serve a picture whose opaque pixels use only the first sixteen.
    int highest = 1;
    const int64_t pixels = int64_t(Bitmap.Width()) * Bitmap.Height();
    for (int64_t i = 0; i < pixels; ++i)
        if (!transparent[Bitmap.Map()[i]]) highest = std::max<int>(highest, Bitmap.Map()[i]);
    const int32_t bits = highest > 15 ? 8 : 4;

    TIconImage& image = List.Add(Bitmap.Width(), Bitmap.Height(), bits);
    for (int32_t i = 0; i < image.PaletteCount(); ++i) {
        uint8_t* e = image.Palette.data() + size_t(i) * 4;
        if (transparent[i]) {
            e[0] = e[1] = e[2] = 0;
            continue;
        }
        e[0] = palette[i * 3 + 2];
        e[1] = palette[i * 3 + 1];
        e[2] = palette[i * 3];
    }
    for (int32_t y = 0; y < image.Height; ++y) {
        const uint8_t* s = Bitmap.ScanLine(y);
        uint8_t* d = image.Xor.data() + size_t(image.Height - 1 - y) * size_t(image.XorStride);
        for (int32_t x = 0; x < image.Width; ++x) {
            const uint8_t index = s[x];
            if (transparent[index]) {
                SetMaskBit(image, x, y); // index 0 in the colour rows
                continue;
            }
            if (bits == 8)
                d[x] = index;
            else
                d[x >> 1] = uint8_t(d[x >> 1] | (x & 1 ? index : index << 4));
        }
    }
}

} // namespace

void TICOLoader::SetSelectionDialog(TIconSelectionDialog Dialog) { SelectionDialog() = std::move(Dialog); }

std::string TICOLoader::GetLoadFilter() { return SICOFilter; }

void IconImageToBitmap(const TIconImage& Image, TColor Color, TLinearBitmap& Bitmap) {
    if (Image.BitCount > 8 || (Image.BitCount == 8 && !Image.HasPaletteColor(Color))) {
        Bitmap.Allocate(Image.Width, Image.Height, lpf24bit);
        Bitmap.Fill(Color);
        Image.Draw(Bitmap, 0, 0);
        return;
    }
    Bitmap.Allocate(Image.Width, Image.Height, lpf8bit);
    uint8_t* palette = Bitmap.Palette();
    std::memset(palette, 0, 768);
    int fill = 255;
    for (int32_t i = Image.PaletteCount() - 1; i >= 0; --i) {
        const TColor c = Image.PaletteColor(i);
        palette[i * 3] = GetBValue(c);
        palette[i * 3 + 1] = GetGValue(c);
        palette[i * 3 + 2] = GetRValue(c);
        if (c == Color) fill = i;
    }
    if (fill == 255) {
        palette[255 * 3] = GetBValue(Color);
        palette[255 * 3 + 1] = GetGValue(Color);
        palette[255 * 3 + 2] = GetRValue(Color);
    }
    Bitmap.FillBytes(uint8_t(fill));
    Image.Draw(Bitmap, 0, 0);
}

void TICOLoader::LoadFromStream(TBaseStream& Stream, const std::string&, TLinearBitmap& Bitmap) {
    TIconList list;
    list.LoadFromStream(Stream);
    if (list.Count() == 0) throw ELinearBitmap(SNoIconsInFile);
    int32_t index = 0;
    if (!NoSelection && SelectionDialog()) {
        const TIconSelection answer = SelectionDialog()(list, TransparentColor);
        if (!answer.Ok) throw EAbort(SIconLoadCancelled);
        TransparentColor = answer.Color;
        if (answer.Index > 0 && answer.Index < list.Count()) index = answer.Index;
    }
    const TIconImage& image = list[index];
    if (list.Kind == ikCursor) {
        HotSpotX = image.HotSpotX;
        HotSpotY = image.HotSpotY;
    }
    TLinearBitmap picture;
    IconImageToBitmap(image, TransparentColor, picture);
    Bitmap.TakeOver(picture);
}

void TICOLoader::SaveToStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) {
    if (!Bitmap.Present()) throw ELinearBitmap(SInvalidBitmapSize);
    if (Bitmap.Width() >= 256 || Bitmap.Height() >= 256)
        throw EInvalidGraphicOperation(SImageTooLargeForIcon);
    TIconList list;
    list.Kind = IsIconExtension(Ext) ? ikIcon : ikCursor;
    if (Bitmap.PixelFormat() == lpf8bit) {
        FromIndexed(Bitmap, TransparentColor, list);
    } else if (Bitmap.PixelFormat() == lpf24bit) {
        FromTrueColor(Bitmap, TransparentColor, list);
    } else {
        // Grey and 32-bit pictures are written as true colour.
        TLinearBitmap converted;
        converted.Assign(Bitmap);
        converted.ConvertTo(lpf24bit);
        FromTrueColor(converted, TransparentColor, list);
    }
    list[0].HotSpotX = HotSpotX;
    list[0].HotSpotY = HotSpotY;
    list.SaveToStream(Stream);
}

TICOLoader& ICOLoader() {
    static TICOLoader loader;
    return loader;
}

void InitializeICOLoader() { RegisterFileFormat("cur", SCURDescription, TCURGraphic::ClassInfo()); }

void FinalizeICOLoader() { UnregisterGraphicClass(TCURGraphic::ClassInfo()); }

} // namespace ferronel::linear
