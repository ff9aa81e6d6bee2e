#include "gif/ColorReduction.h"

#include "gif/ColorQuantizer.h"

#include <algorithm>

namespace ferronel {

const TPaletteEntries& SystemColorEntries() {
    static const TPaletteEntries entries{
        {0, 0, 0, 4},       {128, 0, 0, 4},     {0, 128, 0, 4},     {128, 128, 0, 4},   {0, 0, 128, 4},
        {128, 0, 128, 4},   {0, 128, 128, 4},   {192, 192, 192, 4}, {192, 220, 192, 4}, {166, 202, 240, 4},
        {255, 251, 240, 4}, {160, 160, 164, 4}, {128, 128, 128, 4}, {255, 0, 0, 4},     {0, 255, 0, 4},
        {255, 255, 0, 4},   {0, 0, 255, 4},     {255, 0, 255, 4},   {0, 255, 255, 4},   {255, 255, 255, 4}};
    return entries;
}

const TPaletteEntries& HalftoneEntries() {
    static const TPaletteEntries entries = [] {
        const TPaletteEntries& system = SystemColorEntries();
        TPaletteEntries e(system.begin(), system.begin() + 10);
        const TPaletteEntries& cube = ColorCubeEntries();
        e.insert(e.end(), cube.begin(), cube.end());
        for (int i = 1; i <= 20; ++i) {
            const uint8_t grey = uint8_t(i * 255 / 21);
            e.push_back({grey, grey, grey, 4});
        }
        e.insert(e.end(), system.end() - 10, system.end());
        return e;
    }();
    return entries;
}

namespace {

template <class TLookup>
void MapPixels(const TBitmap& Source, TBitmap& Target, const TLookup& Lookup, TDitherEngine& Ditherer) {
    for (int32_t y = 0; y < Source.Height(); ++y)
        Ditherer.DitherRow(Source.ScanLine(y), 3, Target.ScanLine(y), Lookup);
}

std::unique_ptr<TBitmap> EmptyBitmap() {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf8bit);
    return b;
}

TPaletteEntries OctreePalette(const TBitmap& Source, uint32_t Colors) {
    TColorQuantizer quantizer(Colors, 8);
    for (int32_t y = 0; y < Source.Height(); ++y) quantizer.AddPixels(Source.ScanLine(y), Source.Width(), 3);
    return quantizer.Palette();
}

} // namespace

std::unique_ptr<TBitmap> ReduceBitmapColors(const TBitmap& Bitmap, uint8_t Method, uint8_t DitherKind,
                                            const HPALETTE& CustomPalette, int32_t Depth) {
    if (Method > rmCustomPalette) return EmptyBitmap();
    TBitmap source;
    source.Assign(Bitmap);
    source.SetPixelFormat(pf24bit);
    if (Method == rmNone) {
        auto copy = std::make_unique<TBitmap>();
        copy->Assign(source);
        return copy;
    }
    auto ditherer = MakeDitherer(DitherKind, source.Width());
    if (!ditherer) return EmptyBitmap();
    // Depths outside 1..8 would ask for no colours or for more than a table holds.
    Depth = std::clamp<int32_t>(Depth, 1, 8);

    std::unique_ptr<TColorLookup> lookup;
    switch (Method) {
    case rmMonochrome: lookup = std::make_unique<TMonochromeLookup>(); break;
    case rmGreyScale: lookup = std::make_unique<TGrayScaleLookup>(); break;
    case rmColorCube: lookup = std::make_unique<TNetscapeColorLookup>(); break;
    default: {
        TPaletteEntries entries;
        switch (Method) {
        case rmSystemColors: entries = SystemColorEntries(); break;
        case rmHalftone: entries = HalftoneEntries(); break;
        case rmFourGreys:
            entries = {{0, 0, 0, 4}, {128, 128, 128, 4}, {192, 192, 192, 4}, {255, 255, 255, 4}};
            break;
        case rmQuantize: entries = OctreePalette(source, 1u << Depth); break;
        case rmQuantizeReserved: {
            const TPaletteEntries& system = SystemColorEntries();
            entries.assign(system.begin(), system.begin() + 10);
            const TPaletteEntries quantized = OctreePalette(source, 236);
            entries.insert(entries.end(), quantized.begin(), quantized.end());
            entries.insert(entries.end(), system.end() - 10, system.end());
            break;
        }
        default:
            if (CustomPalette) entries.assign(CustomPalette->begin(), CustomPalette->end());
            for (auto& e : entries) e.peFlags = 4;
            break;
        }
        lookup = std::make_unique<TSlowColorLookup>(CreatePalette(std::move(entries)));
    }
    }
    if (lookup->Colors() == 0) return EmptyBitmap();

    auto target = std::make_unique<TBitmap>();
    target->SetPixelFormat(pf8bit);
    target->SetPalette(CreatePalette(lookup->PaletteEntries()));
    target->SetSize(source.Width(), source.Height());
    if (auto* slow = dynamic_cast<TSlowColorLookup*>(lookup.get()))
        MapPixels(source, *target, *slow, *ditherer);
    else if (auto* cube = dynamic_cast<TNetscapeColorLookup*>(lookup.get()))
        MapPixels(source, *target, *cube, *ditherer);
    else if (auto* grey = dynamic_cast<TGrayScaleLookup*>(lookup.get()))
        MapPixels(source, *target, *grey, *ditherer);
    else
        MapPixels(source, *target, static_cast<TMonochromeLookup&>(*lookup), *ditherer);
    return target;
}

} // namespace ferronel
