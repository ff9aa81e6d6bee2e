// GIF images: the stream as an object tree (a header with the logical screen and the global colour
// table, frames with the extension blocks in front of them), read once; frame bitmaps, drawing and
// the animation painters that walk the frames with their delays, disposal methods and loop count.
#pragma once

#include "gif/GIFDecoder.h"
#include "gif/GIFException.h"
#include "gif/GIFSource.h"
#include "host/Bitmap.h"
#include "host/Graphic.h"
#include "host/HeaderCheck.h"
#include "host/Set.h"
#include "host/Thread.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace ferronel {

class TGIFImage;
class TGIFSubImage;
class TGIFPainter;

// Block introducers and labels.
enum TGIFBlockByte : uint8_t {
    gbExtensionIntroducer = 0x21, // '!'
    gbImageSeparator = 0x2C,      // ','
    gbTrailer = 0x3B,             // ';'
};
enum TGIFExtensionLabel : uint8_t {
    elPlainText = 0x01,
    elGraphicControl = 0xF9,
    elComment = 0xFE,
    elApplication = 0xFF,
};

// Packed-byte fields of the screen and image descriptors and the graphic control block.
enum : uint8_t {
    gpColorTable = 0x80,    // a colour table follows
    gpInterlaced = 0x40,    // image descriptor: rows stored in four passes
    gpTableSizeMask = 0x07, // the table holds 2 << code entries
    gcTransparent = 0x01,   // graphic control: the transparent index is used
    gcUserInput = 0x02,     // graphic control: wait for the user
    gcDisposalMask = 0x1C,  // graphic control: disposal method in bits 2..4
    gcDisposalShift = 2,
};

// What happens to a frame's area before the next frame is drawn.
enum TGIFDisposal : uint8_t {
    dmNone = 0,
    dmKeep = 1,
    dmBackground = 2,
    dmPrevious = 3,
};

// The 7-byte logical screen descriptor after the 6-byte signature.
struct TGIFScreenDescriptor {
    static constexpr size_t Size = 7;
    uint16_t Width = 0;
    uint16_t Height = 0;
    uint8_t PackedFields = 0;
    uint8_t BackgroundColorIndex = 0;
    uint8_t AspectRatio = 0;

    static TGIFScreenDescriptor Parse(std::span<const uint8_t, Size> Bytes);
    bool HasColorTable() const { return (PackedFields & gpColorTable) != 0; }
    uint32_t ColorCount() const { return 2u << (PackedFields & gpTableSizeMask); }
};

// The 10-byte image descriptor, separator included.
struct TGIFImageDescriptor {
    static constexpr size_t Size = 10;
    uint8_t Separator = gbImageSeparator;
    uint16_t Left = 0;
    uint16_t Top = 0;
    uint16_t Width = 0;
    uint16_t Height = 0;
    uint8_t PackedFields = 0;

    static TGIFImageDescriptor Parse(std::span<const uint8_t, Size> Bytes);
    bool HasColorTable() const { return (PackedFields & gpColorTable) != 0; }
    bool Interlaced() const { return (PackedFields & gpInterlaced) != 0; }
    uint32_t ColorCount() const { return 2u << (PackedFields & gpTableSizeMask); }
};

// The 6 bytes after the graphic control label.
struct TGIFGraphicControlBlock {
    static constexpr size_t Size = 6;
    uint8_t BlockSize = 4;
    uint8_t PackedFields = 0;
    uint16_t Delay = 0; // hundredths of a second
    uint8_t TransparentColorIndex = 0;
    uint8_t Terminator = 0;

    static TGIFGraphicControlBlock Parse(std::span<const uint8_t, Size> Bytes);
};

// The 13 bytes after the plain text label.
struct TGIFTextBlock {
    static constexpr size_t Size = 13;
    uint8_t BlockSize = 12;
    uint16_t Left = 0, Top = 0, Width = 0, Height = 0;
    uint8_t CellWidth = 0, CellHeight = 0, TextColorIndex = 0, TextBGColorIndex = 0;

    static TGIFTextBlock Parse(std::span<const uint8_t, Size> Bytes);
};

// The judgement of the first bytes: "GIF" (any case) at 0, or after four bytes of something else.
// SignatureOffset is where the signature stands when CanLoad.
struct TGIFSignatureCheck : THeaderCheck {
    size_t SignatureOffset = 0;
};
// Bytes: the first 6 + 4 bytes of the stream (fewer when the stream is shorter).
TGIFSignatureCheck CheckGIFSignature(std::span<const uint8_t> Bytes);

// Bits per index for Count colours: 0 for none, else the smallest b >= 1 with 2^b >= Count.
int BitsForColors(uint32_t Count);

class TGIFColorMap : public TObject {
    FERRONEL_ABSTRACT_CLASS(TGIFColorMap, TObject)
public:
    struct TEntry {
        uint8_t Red = 0, Green = 0, Blue = 0;
        bool operator==(const TEntry&) const = default;
    };
    static constexpr uint32_t MaxEntries = 256;

    void Clear();
    void LoadFromStream(TGIFSource& Source, uint32_t Count);
    int32_t Add(TColor Color);
    int32_t AddUnique(TColor Color);
    int32_t IndexOf(TColor Color) const;
    void Delete(int32_t Index);
    TColor GetColor(int32_t Index) const;
    HPALETTE ExportPalette() const;
    // The entries, then black ones up to the next power of two; nothing when empty.
    void SaveToStream(TStream& Stream) const;
    virtual void ReportWarning(int Severity, const std::string& Message) const = 0;
    virtual void Changed() {}

    uint32_t EntryCount() const { return uint32_t(FEntries.size()); }
    const std::vector<TEntry>& Entries() const { return FEntries; }
    int BitsPerPixel() const { return BitsForColors(EntryCount()); }
    bool Sorted = false;

private:
    std::vector<TEntry> FEntries;
};

class TGIFHeader;

class TGIFGlobalColorMap : public TGIFColorMap {
    FERRONEL_ABSTRACT_CLASS(TGIFGlobalColorMap, TGIFColorMap)
public:
    explicit TGIFGlobalColorMap(TGIFHeader& Header) : FHeader(Header) {}
    void ReportWarning(int Severity, const std::string& Message) const override;
    void Changed() override;

private:
    TGIFHeader& FHeader;
};

class TGIFLocalColorMap : public TGIFColorMap {
    FERRONEL_ABSTRACT_CLASS(TGIFLocalColorMap, TGIFColorMap)
public:
    explicit TGIFLocalColorMap(TGIFSubImage& Frame) : FFrame(Frame) {}
    void ReportWarning(int Severity, const std::string& Message) const override;
    void Changed() override;

private:
    TGIFSubImage& FFrame;
};

// What is read from or written to a GIF stream; knows its image.
class TGIFItem : public TObject {
    FERRONEL_ABSTRACT_CLASS(TGIFItem, TObject)
public:
    explicit TGIFItem(TGIFImage* Image) : FImage(Image) {}
    TGIFImage* Image() const { return FImage; }
    // 1: "87a" suffices; 2: "89a" is needed.
    virtual uint8_t NeededVersion() const { return 1; }
    void ReportWarning(int Severity, const std::string& Message) const;
    virtual void LoadFromStream(TGIFSource& Source) = 0;
    virtual void SaveToStream(TStream& Stream) = 0;

private:
    TGIFImage* FImage;
};

class TGIFHeader : public TGIFItem {
    FERRONEL_ABSTRACT_CLASS(TGIFHeader, TGIFItem)
public:
    explicit TGIFHeader(TGIFImage* Image) : TGIFItem(Image), GlobalMap(*this) {}
    void LoadFromStream(TGIFSource& Source) override;
    // Writes the version the image needs, the screen descriptor with its packed byte rebuilt from the
    // tables, and the global table.
    void SaveToStream(TStream& Stream) override;
    uint8_t NeededVersion() const override;
    void Clear();

    std::array<char, 6> Signature{'G', 'I', 'F', '8', '9', 'a'};
    TGIFScreenDescriptor ScreenDescriptor;
    TGIFGlobalColorMap GlobalMap;
};

class TGIFExtension : public TGIFItem {
    FERRONEL_ABSTRACT_CLASS(TGIFExtension, TGIFItem)
public:
    explicit TGIFExtension(TGIFSubImage& Frame);
    TGIFSubImage& Frame() const { return FFrame; }
    virtual uint8_t ExtensionLabel() const = 0;
    uint8_t NeededVersion() const override { return 2; }
    // Reads the introducer and the label, then the block itself.
    void LoadFromStream(TGIFSource& Source) override;
    void SaveToStream(TStream& Stream) override;

protected:
    virtual void LoadBlock(TGIFSource& Source) = 0;
    virtual void SaveBlock(TStream& Stream) const = 0;

private:
    TGIFSubImage& FFrame;
};

class TGIFGraphicControlExtension : public TGIFExtension {
    FERRONEL_ABSTRACT_CLASS(TGIFGraphicControlExtension, TGIFExtension)
public:
    explicit TGIFGraphicControlExtension(TGIFSubImage& Frame);
    ~TGIFGraphicControlExtension() override;
    uint8_t ExtensionLabel() const override { return elGraphicControl; }

    bool Transparent() const { return (Block.PackedFields & gcTransparent) != 0; }
    void SetTransparent(bool Value);
    bool UserInput() const { return (Block.PackedFields & gcUserInput) != 0; }
    uint8_t Disposal() const { return uint8_t((Block.PackedFields & gcDisposalMask) >> gcDisposalShift); }
    void SetDisposal(uint8_t Value);
    uint16_t Delay() const { return Block.Delay; }
    uint8_t TransparentColorIndex() const { return Block.TransparentColorIndex; }
    // Checked against the frame's active table: an index past a non-empty table becomes 0.
    void SetTransparentColorIndex(uint8_t Value);

    TGIFGraphicControlBlock Block;

protected:
    void LoadBlock(TGIFSource& Source) override;
    void SaveBlock(TStream& Stream) const override;
};

class TGIFTextExtension : public TGIFExtension {
    FERRONEL_ABSTRACT_CLASS(TGIFTextExtension, TGIFExtension)
public:
    using TGIFExtension::TGIFExtension;
    uint8_t ExtensionLabel() const override { return elPlainText; }
    TGIFTextBlock Block;
    std::vector<std::string> Text;

protected:
    void LoadBlock(TGIFSource& Source) override;
    void SaveBlock(TStream& Stream) const override;
};

class TGIFCommentExtension : public TGIFExtension {
    FERRONEL_ABSTRACT_CLASS(TGIFCommentExtension, TGIFExtension)
public:
    using TGIFExtension::TGIFExtension;
    uint8_t ExtensionLabel() const override { return elComment; }
    std::vector<std::string> Text;

protected:
    void LoadBlock(TGIFSource& Source) override;
    void SaveBlock(TStream& Stream) const override;
};

class TGIFApplicationExtension : public TGIFExtension {
    FERRONEL_ABSTRACT_CLASS(TGIFApplicationExtension, TGIFExtension)
public:
    using TGIFExtension::TGIFExtension;
    uint8_t ExtensionLabel() const override { return elApplication; }
    std::array<uint8_t, 11> Identifier{};

protected:
    void LoadBlock(TGIFSource& Source) override;
    void SaveBlock(TStream& Stream) const override;
    virtual void ReadPayload(TGIFSource& Source) = 0;
    virtual void WritePayload(TStream& Stream) const = 0;
};

class TGIFUnknownAppExtension : public TGIFApplicationExtension {
    FERRONEL_ABSTRACT_CLASS(TGIFUnknownAppExtension, TGIFApplicationExtension)
public:
    using TGIFApplicationExtension::TGIFApplicationExtension;
    std::vector<std::vector<uint8_t>> DataBlocks;

protected:
    void ReadPayload(TGIFSource& Source) override;
    void WritePayload(TStream& Stream) const override;
};

// The looping block ("NETSCAPE2.0", "ANIMEXTS1.0").
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
    FERRONEL_ABSTRACT_CLASS(TGIFAppExtNSLoop, TGIFApplicationExtension)
public:
    explicit TGIFAppExtNSLoop(TGIFSubImage& Frame);
    uint16_t LoopCount = 0; // 0: forever
    uint32_t BufferHint = 0;

protected:
    void ReadPayload(TGIFSource& Source) override;
    void WritePayload(TStream& Stream) const override;
};

// The extension class for the block whose label is at the source position (after the '!'), or
// none; the position is kept.
using TGIFExtensionFactory = std::unique_ptr<TGIFExtension> (*)(TGIFSubImage& Frame);
TGIFExtensionFactory LookupExtensionClass(TGIFSource& Source);

class TGIFSubImage : public TGIFItem {
    FERRONEL_ABSTRACT_CLASS(TGIFSubImage, TGIFItem)
public:
    explicit TGIFSubImage(TGIFImage* Image);
    ~TGIFSubImage() override;
    void LoadFromStream(TGIFSource& Source) override;
    // The extensions, then (unless the frame is empty) the descriptor, the local table and the
    // pixel data.
    void SaveToStream(TStream& Stream) override;
    // The pixel data with the image's encoder (EncoderKind).
    void EncodeFrame(TStream& Stream);
    uint8_t NeededVersion() const override;
    void Clear();
    // Takes the pixels of an indexed bitmap (1, 4 or 8 bits) and its palette as the local table.
    void AssignIndexed(const TBitmap& Bitmap);

    int32_t Left() const { return Descriptor.Left; }
    int32_t Top() const { return Descriptor.Top; }
    int32_t Width() const { return Descriptor.Width; }
    int32_t Height() const { return Descriptor.Height; }
    TRect BoundsRect() const { return TRect{Left(), Top(), Left() + Width(), Top() + Height()}; }
    bool Empty() const { return PixelData.empty(); }
    bool Interlaced() const { return Descriptor.Interlaced(); }
    // The local table when it has entries, else the global one when that has, else the local one.
    const TGIFColorMap& ActiveColorMap() const;
    // The frame's colours; a default when neither table has any.
    HPALETTE Palette();
    uint8_t TransparentIndex() const;
    uint16_t Delay() const;   // hundredths of a second, 0 without a control extension
    uint8_t Disposal() const; // of the governing control extension, dmNone without one

    // Frame bitmap (8-bit, the frame's palette) and its transparency mask (1 bit, set where
    // transparent; none when no pixel is); both built on first use, on the main thread.
    const TBitmap& Bitmap();
    const TBitmap* Mask();
    void FreeBitmap();
    // Draws the frame into Rect, which stands for the logical screen (or, tiled, at natural size
    // from Rect's origin and repeated over it).
    void RenderFrame(TCanvas& Canvas, const TRect& Rect, bool Tiled, bool Masked);

    std::vector<std::unique_ptr<TGIFExtension>> ExtensionBlocks;
    TGIFLocalColorMap LocalMap;
    TGIFImageDescriptor Descriptor;
    std::vector<uint8_t> PixelData;
    bool IsTransparent = false;
    TGIFGraphicControlExtension* ControlExtension = nullptr; // the first one read for this frame

private:
    void LoadExtensions(TGIFSource& Source);
    void DecodePixels(TGIFSource& Source);
    void BuildBitmap();

    std::unique_ptr<TBitmap> FFrameBitmap;
    std::unique_ptr<TBitmap> FMask;
    HPALETTE FCachedPalette;
};

class TGIFTrailer : public TGIFItem {
    FERRONEL_ABSTRACT_CLASS(TGIFTrailer, TGIFItem)
public:
    using TGIFItem::TGIFItem;
    void LoadFromStream(TGIFSource& Source) override;
    void SaveToStream(TStream& Stream) override;
};

enum TGIFRenderFlag : uint8_t {
    rfThreaded,
    rfMasked,
    rfAnimated,
    rfRepeat,
    rfRepeatForever,
    rfCheckCanvas,
    rfPaintInPlace,
    rfWipeOnRestart,
    rfTiled,
    rfDithered,
    rfDitherOnPaletteScreen,
};
using TGIFRenderFlags = TSet<TGIFRenderFlag, uint16_t>;
constexpr TGIFRenderFlags DefaultGIFRenderFlags = TGIFRenderFlags::FromBits(0x060F);

// The platform's "no colour": the backdrop is then taken from the file.
constexpr TColor clNone = 0x1FFFFFFF;

using TGIFWarningEvent = std::function<void(TObject* Sender, int Severity, const std::string& Message)>;

class TGIFImage : public TGraphic {
    FERRONEL_CLASS(TGIFImage, TGraphic)
public:
    TGIFImage();
    ~TGIFImage() override;

    bool CanLoad(TStream& Stream) const;
    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) override;
    void Clear();

    void Draw(TCanvas& Canvas, const TRect& Rect) override;
    // Empty without frames, and when the picture has no area.
    bool Empty() const override;
    // The logical screen; a screen stated as 0 wide or high takes the frames' extent instead.
    int32_t Width() const override;
    int32_t Height() const override;
    void SetWidth(int32_t Value) override;
    void SetHeight(int32_t Value) override;
    HPALETTE Palette() const override;
    void SetPalette(HPALETTE Value) override;

    virtual void ReportWarning(TObject* Sender, int Severity, const std::string& Message);
    // Adds a frame (taken over); other items are not supported here.
    void Add(std::unique_ptr<TGIFItem> Item);
    // Adds any graphic as a new frame: indexed bitmaps keep their indices and palette, anything
    // else is reduced to at most 256 colours with ReductionMethod, ReductionDepth and DitherKind.
    // The first frame's table becomes the global table; the logical screen grows to hold the frame.
    TGIFSubImage& Add(TGraphic& Graphic);
    // 1 when "87a" suffices, 2 when "89a" is needed; "Unsupported GIF version" without frames.
    uint8_t Version() const;
    // The largest colour resolution (bits per table entry minus one) over all tables.
    int ColorResolution() const;

    const std::vector<std::unique_ptr<TGIFSubImage>>& Images() const { return FFrameList; }
    TGIFHeader& Header() { return *FHeader; }
    const TGIFHeader& Header() const { return *FHeader; }
    // The composed picture of an animation; null when none is being painted.
    const TBitmap* ComposedBitmap() const { return FComposedBitmap.get(); }

    // Painters.
    TGIFPainter* StartPainter(TGIFPainter** OwnerSlot, TCanvas& Canvas, TGIFRenderFlags Flags,
                              const TRect& Rect);
    void HaltViewPainter();
    void StopAllPainters();
    TGIFPainter* ViewPainter() const { return FViewPainter; }
    size_t PainterCount();
    bool DitheringInEffect() const;
    TColor BackgroundColor() const;

    TGIFRenderFlags RenderFlags = DefaultGIFRenderFlags;
    // Writer settings: the colour reduction of added true-colour graphics (see ColorReduction.h)
    // and the encoder (0 LZW, 1 run-length).
    uint8_t ReductionMethod = 6;
    int32_t ReductionDepth = 8;
    uint8_t DitherKind = 0;
    uint8_t EncoderKind = 0;
    int PainterPriority = 0;
    int32_t SpeedPercent = 100;
    int32_t FrameToShow = -1;
    TColor BackdropColor = clNone;
    TGIFWarningEvent WarningHook;
    TNotifyEvent StartPaintHook, FramePaintHook, AfterPaintHook, LoopHook, EndPaintHook;

private:
    friend class TGIFPainter;
    void LoadFrames(TGIFSource& Source);
    void DrawComposed(TCanvas& Canvas, const TRect& Rect);
    // Joins and frees painters that have ended; main thread.
    void ReapPainters();
    void DetachPainter(TGIFPainter* Painter);

    std::unique_ptr<TGIFHeader> FHeader;
    std::vector<std::unique_ptr<TGIFSubImage>> FFrameList;
    TThreadList<TGIFPainter*> FPainterList; // live painters; its lock guards FViewPainter too
    std::vector<std::unique_ptr<TGIFPainter>> FOwnedPainters; // main thread only
    TGIFPainter* FViewPainter = nullptr;
    std::unique_ptr<TBitmap> FComposedBitmap;
    mutable HPALETTE FSharedPalette;
    bool FInDraw = false;
    mutable bool FInPalette = false;
};

// The palette of a frame or image without any colour table.
HPALETTE DefaultGIFPalette();

} // namespace ferronel
