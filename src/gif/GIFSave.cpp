// Writing an image back as a GIF stream, and adding other graphics as frames.
#include "gif/ColorReduction.h"
#include "gif/GIFEncoder.h"
#include "gif/GIFImage.h"
#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/RenderBitmap.h"
#include "host/Stream.h"

#include <algorithm>
#include <array>

namespace ferronel {

using namespace gif;

namespace {

constexpr size_t MaxSubBlock = 255;

void WriteByte(TStream& Stream, uint8_t Value) { Stream.WriteBuffer(&Value, 1); }

// Bytes as data sub-blocks of at most 255 bytes. An empty piece would read as the terminator, so
// empty data writes nothing.
void WriteSubBlocks(TStream& Stream, const uint8_t* Data, size_t Size) {
    for (size_t i = 0; i < Size; i += MaxSubBlock) {
        const size_t n = std::min(MaxSubBlock, Size - i);
        WriteByte(Stream, uint8_t(n));
        Stream.WriteBuffer(Data + i, n);
    }
}

// Each line as data sub-blocks, then the terminator.
void WriteTextBlocks(TStream& Stream, const std::vector<std::string>& Lines) {
    for (const std::string& line : Lines)
        WriteSubBlocks(Stream, reinterpret_cast<const uint8_t*>(line.data()), line.size());
    WriteByte(Stream, 0);
}

} // namespace

// Colour tables.

void TGIFColorMap::SaveToStream(TStream& Stream) const {
    if (FEntries.empty()) return;
    std::vector<uint8_t> bytes(size_t(3) << BitsPerPixel(), 0);
    for (size_t i = 0; i < FEntries.size(); ++i) {
        bytes[3 * i] = FEntries[i].Red;
        bytes[3 * i + 1] = FEntries[i].Green;
        bytes[3 * i + 2] = FEntries[i].Blue;
    }
    Stream.WriteBuffer(bytes.data(), bytes.size());
}

// Header.

void TGIFHeader::SaveToStream(TStream& Stream) {
    const uint8_t version = Image() ? Image()->Version() : NeededVersion();
    Stream.WriteBuffer(version >= 2 ? "GIF89a" : "GIF87a", 6);
    uint8_t packed = 0;
    if (GlobalMap.EntryCount() > 0) {
        packed = uint8_t(gpColorTable | (GlobalMap.BitsPerPixel() - 1));
        if (GlobalMap.Sorted) packed |= 0x08;
    }
    const int resolution = Image() ? Image()->ColorResolution() : std::max(GlobalMap.BitsPerPixel() - 1, 0);
    packed = uint8_t(packed | (resolution << 4));
    ScreenDescriptor.PackedFields = packed;
    uint8_t bytes[TGIFScreenDescriptor::Size];
    StoreU16LE(bytes, ScreenDescriptor.Width);
    StoreU16LE(bytes + 2, ScreenDescriptor.Height);
    bytes[4] = packed;
    bytes[5] = ScreenDescriptor.BackgroundColorIndex;
    bytes[6] = ScreenDescriptor.AspectRatio;
    Stream.WriteBuffer(bytes, sizeof bytes);
    GlobalMap.SaveToStream(Stream);
}

// Extensions.

void TGIFExtension::SaveToStream(TStream& Stream) {
    WriteByte(Stream, gbExtensionIntroducer);
    WriteByte(Stream, ExtensionLabel());
    SaveBlock(Stream);
}

void TGIFGraphicControlExtension::SaveBlock(TStream& Stream) const {
    // The block size and terminator are what a decoder expects, whatever was read.
    uint8_t bytes[TGIFGraphicControlBlock::Size] = {4, Block.PackedFields,          0,
                                                    0, Block.TransparentColorIndex, 0};
    StoreU16LE(bytes + 2, Block.Delay);
    Stream.WriteBuffer(bytes, sizeof bytes);
}

void TGIFTextExtension::SaveBlock(TStream& Stream) const {
    uint8_t bytes[TGIFTextBlock::Size] = {12};
    StoreU16LE(bytes + 1, Block.Left);
    StoreU16LE(bytes + 3, Block.Top);
    StoreU16LE(bytes + 5, Block.Width);
    StoreU16LE(bytes + 7, Block.Height);
    bytes[9] = Block.CellWidth;
    bytes[10] = Block.CellHeight;
    bytes[11] = Block.TextColorIndex;
    bytes[12] = Block.TextBGColorIndex;
    Stream.WriteBuffer(bytes, sizeof bytes);
    WriteTextBlocks(Stream, Text);
}

void TGIFCommentExtension::SaveBlock(TStream& Stream) const { WriteTextBlocks(Stream, Text); }

void TGIFApplicationExtension::SaveBlock(TStream& Stream) const {
    WriteByte(Stream, uint8_t(Identifier.size()));
    Stream.WriteBuffer(Identifier.data(), Identifier.size());
    WritePayload(Stream);
}

void TGIFUnknownAppExtension::WritePayload(TStream& Stream) const {
    for (const auto& block : DataBlocks) WriteSubBlocks(Stream, block.data(), block.size());
    WriteByte(Stream, 0);
}

void TGIFAppExtNSLoop::WritePayload(TStream& Stream) const {
    uint8_t loop[4] = {3, 1, 0, 0};
    StoreU16LE(loop + 2, LoopCount);
    Stream.WriteBuffer(loop, sizeof loop);
    if (BufferHint != 0) {
        uint8_t hint[6] = {5, 2};
        StoreU32LE(hint + 2, BufferHint);
        Stream.WriteBuffer(hint, sizeof hint);
    }
    WriteByte(Stream, 0);
}

// Frames.

void TGIFSubImage::SaveToStream(TStream& Stream) {
    for (const auto& extension : ExtensionBlocks) extension->SaveToStream(Stream);
    if (Empty()) return;
    // The interlace bit is kept either way: the pixels are encoded in the order it announces.
    uint8_t packed = uint8_t(Descriptor.PackedFields & (gpInterlaced | 0x18));
    if (LocalMap.EntryCount() > 0) {
        packed = uint8_t((packed & gpInterlaced) | gpColorTable | (LocalMap.BitsPerPixel() - 1));
        if (LocalMap.Sorted) packed |= 0x20;
    }
    Descriptor.PackedFields = packed;
    uint8_t bytes[TGIFImageDescriptor::Size];
    bytes[0] = gbImageSeparator;
    StoreU16LE(bytes + 1, Descriptor.Left);
    StoreU16LE(bytes + 3, Descriptor.Top);
    StoreU16LE(bytes + 5, Descriptor.Width);
    StoreU16LE(bytes + 7, Descriptor.Height);
    bytes[9] = packed;
    Stream.WriteBuffer(bytes, sizeof bytes);
    LocalMap.SaveToStream(Stream);
    EncodeFrame(Stream);
}

void TGIFSubImage::EncodeFrame(TStream& Stream) {
    const size_t count = size_t(Width()) * size_t(Height());
    if (PixelData.size() < count) throw GIFException(sInvalidData);
    int bits = 0;
    uint32_t colors = 0;
    const TGIFColorMap* global = Image() ? &Image()->Header().GlobalMap : nullptr;
    if (LocalMap.EntryCount() > 0) {
        bits = LocalMap.BitsPerPixel();
        colors = LocalMap.EntryCount();
    } else if (global && global->EntryCount() > 0) {
        bits = global->BitsPerPixel();
        colors = 1u << bits;
    } else {
        // Without any table the indices are whatever the pixels hold.
        const uint8_t largest =
            count ? *std::max_element(PixelData.begin(), PixelData.begin() + ptrdiff_t(count)) : 0;
        bits = BitsForColors(uint32_t(largest) + 1);
        colors = 256;
    }
    auto encoder = MakeGIFEncoder(Image() ? Image()->EncoderKind : 0);
    encoder->Warning = [this](const char* Message) { ReportWarning(1, Message); };
    encoder->EncodeFrame(Stream, bits, colors, PixelData.data(), Interlaced(), Height(), Width());
}

void TGIFSubImage::AssignIndexed(const TBitmap& Bitmap) {
    const int bitsPerPixel = Bitmap.BitsPerPixel();
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8)
        throw GIFException(sUnsupportedPixelFormat);
    Clear();
    Descriptor.Width = CheckedCast<uint16_t>(Bitmap.Width());
    Descriptor.Height = CheckedCast<uint16_t>(Bitmap.Height());
    const size_t width = size_t(Bitmap.Width());
    PixelData.resize(width * size_t(Bitmap.Height()));
    uint8_t largest = 0;
    for (int32_t y = 0; y < Bitmap.Height(); ++y) {
        const uint8_t* row = Bitmap.ScanLine(y);
        uint8_t* out = PixelData.data() + size_t(y) * width;
        for (size_t x = 0; x < width; ++x) {
            uint8_t v = row[x];
            if (bitsPerPixel == 1)
                v = (row[x >> 3] >> (7 - (x & 7))) & 1;
            else if (bitsPerPixel == 4)
                v = (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
            out[x] = v;
            largest = std::max(largest, v);
        }
    }
    const TPaletteEntries& palette = Bitmap.EffectivePalette();
    // Indices past the palette show black.
    const size_t entries = std::max(palette.size(), size_t(largest) + 1);
    for (size_t i = 0; i < entries && i < TGIFColorMap::MaxEntries; ++i) {
        const TPaletteEntry e = i < palette.size() ? palette[i] : TPaletteEntry{};
        LocalMap.Add(RGBColor(e.peRed, e.peGreen, e.peBlue));
    }
}

void TGIFTrailer::SaveToStream(TStream& Stream) { WriteByte(Stream, gbTrailer); }

// The image.

uint8_t TGIFImage::Version() const {
    if (FFrameList.empty()) throw GIFException(sUnsupportedVersion);
    uint8_t version = FHeader->NeededVersion();
    for (const auto& frame : FFrameList) {
        if (version >= 2) break;
        version = std::max(version, frame->NeededVersion());
    }
    return version;
}

int TGIFImage::ColorResolution() const {
    int bits = FHeader->GlobalMap.BitsPerPixel();
    for (const auto& frame : FFrameList) bits = std::max(bits, frame->LocalMap.BitsPerPixel());
    return std::max(bits - 1, 0);
}

void TGIFImage::SaveToStream(TStream& Stream) {
    Progress(this, psStarting, 0, false, TRect{}, sSaving);
    bool done = false;
    struct TEnding {
        TGIFImage& Image;
        const bool& Done;
        ~TEnding() { Image.Progress(&Image, psEnding, Done ? 100 : 0, true, TRect{}, sSaving); }
    } ending{*this, done};
    FHeader->SaveToStream(Stream);
    const size_t count = FFrameList.size();
    for (size_t i = 0; i < count; ++i) {
        FFrameList[i]->SaveToStream(Stream);
        Progress(this, psRunning, uint8_t((i + 1) * 100 / count), false, TRect{}, sSaving);
    }
    TGIFTrailer(this).SaveToStream(Stream);
    done = true;
}

namespace {

// Makes the pixels whose opacity is below half transparent: a spare table entry stands for them, or,
// with a full table, the entry the opaque pixels use least, whose pixels move to their nearest other
// entry.
void MakeTransparent(TGIFSubImage& Frame, const TBitmap& Source) {
    const size_t width = size_t(Frame.Width());
    std::vector<uint8_t> clear(Frame.PixelData.size());
    bool any = false;
    for (int32_t y = 0; y < Frame.Height(); ++y) {
        const uint8_t* row = Source.ScanLine(y);
        for (size_t x = 0; x < width; ++x)
            if (row[4 * x + 3] < 128) {
                clear[size_t(y) * width + x] = 1;
                any = true;
            }
    }
    if (!any) return;
    TGIFColorMap& map = Frame.LocalMap;
    uint8_t index = 0;
    if (map.EntryCount() < TGIFColorMap::MaxEntries) {
        index = uint8_t(map.Add(0));
    } else {
        std::array<size_t, 256> uses{};
        for (size_t i = 0; i < clear.size(); ++i)
            if (!clear[i]) ++uses[Frame.PixelData[i]];
        index = uint8_t(std::min_element(uses.begin(), uses.end()) - uses.begin());
        const auto& entries = map.Entries();
        int best = index == 0 ? 1 : 0, bestDistance = 1 << 30;
        for (int i = 0; i < 256; ++i) {
            if (i == index) continue;
            const int dr = entries[size_t(i)].Red - entries[index].Red,
                      dg = entries[size_t(i)].Green - entries[index].Green,
                      db = entries[size_t(i)].Blue - entries[index].Blue;
            if (dr * dr + dg * dg + db * db < bestDistance) {
                bestDistance = dr * dr + dg * dg + db * db;
                best = i;
            }
        }
        for (size_t i = 0; i < clear.size(); ++i)
            if (!clear[i] && Frame.PixelData[i] == index) Frame.PixelData[i] = uint8_t(best);
    }
    for (size_t i = 0; i < clear.size(); ++i)
        if (clear[i]) Frame.PixelData[i] = index;
    auto control = std::make_unique<TGIFGraphicControlExtension>(Frame);
    control->SetTransparentColorIndex(index);
    control->SetTransparent(true);
    Frame.ExtensionBlocks.push_back(std::move(control));
}

} // namespace

TGIFSubImage& TGIFImage::Add(TGraphic& Graphic) {
    TBitmap rendered;
    const TBitmap* bitmap = dynamic_cast<const TBitmap*>(&Graphic);
    if (!bitmap) {
        RenderToBitmap(Graphic, rendered);
        bitmap = &rendered;
    }
    auto frame = std::make_unique<TGIFSubImage>(this);
    if (bitmap->BitsPerPixel() <= 8) {
        frame->AssignIndexed(*bitmap);
    } else {
        const auto reduced =
            ReduceBitmapColors(*bitmap, ReductionMethod, DitherKind, nullptr, ReductionDepth);
        // Settings that give no palette would make a frame without pixels.
        if (reduced->Empty() && !bitmap->Empty()) throw GIFException(sObjectNotSupported);
        frame->AssignIndexed(*reduced);
        if (bitmap->PixelFormat() == pf32bit && bitmap->AlphaFormat() == afDefined)
            MakeTransparent(*frame, *bitmap);
    }
    TGIFColorMap& global = FHeader->GlobalMap;
    if (FFrameList.empty() && global.EntryCount() == 0) {
        for (const auto& e : frame->LocalMap.Entries()) global.Add(RGBColor(e.Red, e.Green, e.Blue));
        frame->LocalMap.Clear();
    } else if (frame->LocalMap.Entries() == global.Entries()) {
        frame->LocalMap.Clear();
    }
    TGIFScreenDescriptor& screen = FHeader->ScreenDescriptor;
    screen.Width = std::max(screen.Width, frame->Descriptor.Width);
    screen.Height = std::max(screen.Height, frame->Descriptor.Height);
    TGIFSubImage& added = *frame;
    Add(std::unique_ptr<TGIFItem>(std::move(frame)));
    return added;
}

} // namespace ferronel
