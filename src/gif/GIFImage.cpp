#include "gif/GIFImage.h"

#include "gif/GIFPainter.h"
#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/Limits.h"
#include "host/Stream.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace ferronel {

using namespace gif;

// Header structs.

TGIFScreenDescriptor TGIFScreenDescriptor::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TGIFScreenDescriptor d;
    d.Width = r.U16LE();
    d.Height = r.U16LE();
    d.PackedFields = r.U8();
    d.BackgroundColorIndex = r.U8();
    d.AspectRatio = r.U8();
    return d;
}

TGIFImageDescriptor TGIFImageDescriptor::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TGIFImageDescriptor d;
    d.Separator = r.U8();
    d.Left = r.U16LE();
    d.Top = r.U16LE();
    d.Width = r.U16LE();
    d.Height = r.U16LE();
    d.PackedFields = r.U8();
    return d;
}

TGIFGraphicControlBlock TGIFGraphicControlBlock::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TGIFGraphicControlBlock b;
    b.BlockSize = r.U8();
    b.PackedFields = r.U8();
    b.Delay = r.U16LE();
    b.TransparentColorIndex = r.U8();
    b.Terminator = r.U8();
    return b;
}

TGIFTextBlock TGIFTextBlock::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TGIFTextBlock b;
    b.BlockSize = r.U8();
    b.Left = r.U16LE();
    b.Top = r.U16LE();
    b.Width = r.U16LE();
    b.Height = r.U16LE();
    b.CellWidth = r.U8();
    b.CellHeight = r.U8();
    b.TextColorIndex = r.U8();
    b.TextBGColorIndex = r.U8();
    return b;
}

namespace {

constexpr size_t SignatureSize = 6;
constexpr size_t SignatureFallbackOffset = 4;

bool IsGIFSignature(std::span<const uint8_t> Bytes) {
    return Bytes.size() >= 3 && std::toupper(Bytes[0]) == 'G' && std::toupper(Bytes[1]) == 'I' &&
           std::toupper(Bytes[2]) == 'F';
}

// Data sub-blocks as lines of text; a missing size byte ends them quietly.
std::vector<std::string> ReadTextBlocks(TGIFSource& Source) {
    std::vector<std::string> lines;
    for (auto size = Source.ReadByte(); size && *size != 0; size = Source.ReadByte()) {
        const auto bytes = Source.ReadExact(*size);
        lines.emplace_back(bytes.begin(), bytes.end());
    }
    return lines;
}

} // namespace

TGIFSignatureCheck CheckGIFSignature(std::span<const uint8_t> Bytes) {
    TGIFSignatureCheck check;
    if (IsGIFSignature(Bytes.first(std::min(Bytes.size(), SignatureSize))) && Bytes.size() >= SignatureSize) {
        check.Load = true;
        check.SignatureOffset = 0;
    } else if (Bytes.size() >= SignatureFallbackOffset + SignatureSize &&
               IsGIFSignature(Bytes.subspan(SignatureFallbackOffset))) {
        check.Load = true;
        check.SignatureOffset = SignatureFallbackOffset;
    }
    if (check.Load)
        check.CanLoad = Bytes.size() >= check.SignatureOffset + SignatureSize + TGIFScreenDescriptor::Size;
    else
        check.Refusal =
            Bytes.size() < SignatureFallbackOffset + SignatureSize ? sPrematureEnd : sInvalidSignature;
    return check;
}

int BitsForColors(uint32_t Count) {
    if (Count == 0) return 0;
    int bits = 1;
    while ((uint64_t(1) << bits) < Count) ++bits;
    return bits;
}

// Colour tables.

void TGIFColorMap::Clear() {
    FEntries.clear();
    FEntries.shrink_to_fit();
    Sorted = false;
}

void TGIFColorMap::LoadFromStream(TGIFSource& Source, uint32_t Count) {
    Clear();
    const auto bytes = Source.ReadExact(size_t(Count) * 3);
    FEntries.resize(Count);
    for (uint32_t i = 0; i < Count; ++i) FEntries[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
}

int32_t TGIFColorMap::Add(TColor Color) {
    if (FEntries.size() >= MaxEntries) throw GIFException(sColorTableOverflow);
    FEntries.push_back({GetRValue(Color), GetGValue(Color), GetBValue(Color)});
    Sorted = false;
    Changed();
    return int32_t(FEntries.size()) - 1;
}

int32_t TGIFColorMap::AddUnique(TColor Color) {
    const int32_t index = IndexOf(Color);
    return index >= 0 ? index : Add(Color);
}

int32_t TGIFColorMap::IndexOf(TColor Color) const {
    const TEntry wanted{GetRValue(Color), GetGValue(Color), GetBValue(Color)};
    const int32_t count = int32_t(FEntries.size());
    // A table sorted by frequency has the likely colours first.
    if (Sorted) {
        for (int32_t i = 0; i < count; ++i)
            if (FEntries[size_t(i)] == wanted) return i;
    } else {
        for (int32_t i = count - 1; i >= 0; --i)
            if (FEntries[size_t(i)] == wanted) return i;
    }
    return -1;
}

void TGIFColorMap::Delete(int32_t Index) {
    if (Index < 0 || size_t(Index) >= FEntries.size()) throw GIFException(sInvalidColorIndex);
    FEntries.erase(FEntries.begin() + Index);
    Sorted = false;
    Changed();
}

TColor TGIFColorMap::GetColor(int32_t Index) const {
    if (FEntries.empty()) throw GIFException(sColorTableEmpty);
    if (Index < 0 || size_t(Index) >= FEntries.size()) {
        ReportWarning(1, sInvalidColorIndex);
        Index = 0;
    }
    const TEntry& e = FEntries[size_t(Index)];
    return RGBColor(e.Red, e.Green, e.Blue);
}

HPALETTE TGIFColorMap::ExportPalette() const {
    if (FEntries.empty()) return nullptr;
    TPaletteEntries entries;
    entries.reserve(FEntries.size());
    for (const TEntry& e : FEntries) entries.push_back({e.Red, e.Green, e.Blue, 4});
    return CreatePalette(std::move(entries));
}

void TGIFGlobalColorMap::ReportWarning(int Severity, const std::string& Message) const {
    FHeader.ReportWarning(Severity, Message);
}
void TGIFGlobalColorMap::Changed() {
    if (FHeader.Image()) FHeader.Image()->SetPalette(nullptr);
}
void TGIFLocalColorMap::ReportWarning(int Severity, const std::string& Message) const {
    FFrame.ReportWarning(Severity, Message);
}
void TGIFLocalColorMap::Changed() { FFrame.FreeBitmap(); }

// Items.

void TGIFItem::ReportWarning(int Severity, const std::string& Message) const {
    if (FImage) FImage->ReportWarning(const_cast<TGIFItem*>(this), Severity, Message);
}

void TGIFHeader::Clear() {
    ScreenDescriptor = {};
    GlobalMap.Clear();
}

uint8_t TGIFHeader::NeededVersion() const {
    return GlobalMap.Sorted || ScreenDescriptor.AspectRatio != 0 ? 2 : 1;
}

void TGIFHeader::LoadFromStream(TGIFSource& Source) {
    const size_t start = Source.Position();
    const std::span<const uint8_t> first =
        Source.ReadExact(std::min(Source.Remaining(), SignatureFallbackOffset + SignatureSize));
    const TGIFSignatureCheck check = CheckGIFSignature(first);
    if (!check.Load) throw GIFException(check.Refusal);
    Source.SetPosition(start + check.SignatureOffset);
    Source.ReadExact(Signature.data(), SignatureSize);
    std::array<uint8_t, TGIFScreenDescriptor::Size> screen;
    Source.ReadExact(screen.data(), screen.size());
    ScreenDescriptor = TGIFScreenDescriptor::Parse(screen);
    if (ScreenDescriptor.HasColorTable())
        GlobalMap.LoadFromStream(Source, ScreenDescriptor.ColorCount());
    else
        GlobalMap.Clear();
}

// Extensions.

TGIFExtension::TGIFExtension(TGIFSubImage& Frame) : TGIFItem(Frame.Image()), FFrame(Frame) {}

void TGIFExtension::LoadFromStream(TGIFSource& Source) {
    const auto bytes = Source.ReadExact(2);
    if (bytes[0] != gbExtensionIntroducer) throw GIFException(sInvalidIntroducer);
    if (bytes[1] != ExtensionLabel()) throw GIFException(sExtensionLabelMismatch);
    LoadBlock(Source);
}

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage& Frame) : TGIFExtension(Frame) {
    if (!Frame.ControlExtension) Frame.ControlExtension = this;
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
    if (Frame().ControlExtension == this) {
        Frame().ControlExtension = nullptr;
        if (Transparent()) Frame().IsTransparent = false;
    }
}

void TGIFGraphicControlExtension::LoadBlock(TGIFSource& Source) {
    if (Source.Remaining() < TGIFGraphicControlBlock::Size) {
        ReportWarning(1, sPrematureEnd);
        Source.Move(int64_t(Source.Remaining()));
        return;
    }
    std::array<uint8_t, TGIFGraphicControlBlock::Size> bytes;
    Source.ReadExact(bytes.data(), bytes.size());
    Block = TGIFGraphicControlBlock::Parse(bytes);
    if (Transparent()) Frame().IsTransparent = true;
}

void TGIFGraphicControlExtension::SetTransparent(bool Value) {
    Block.PackedFields =
        uint8_t(Value ? Block.PackedFields | gcTransparent : Block.PackedFields & ~gcTransparent);
    if (Value) Frame().IsTransparent = true;
}

void TGIFGraphicControlExtension::SetDisposal(uint8_t Value) {
    Block.PackedFields =
        uint8_t((Block.PackedFields & ~gcDisposalMask) | ((Value << gcDisposalShift) & gcDisposalMask));
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(uint8_t Value) {
    const uint32_t count = Frame().ActiveColorMap().EntryCount();
    if (count > 0 && Value >= count) {
        ReportWarning(1, sInvalidColorIndex);
        Value = 0;
    }
    Block.TransparentColorIndex = Value;
}

void TGIFTextExtension::LoadBlock(TGIFSource& Source) {
    std::array<uint8_t, TGIFTextBlock::Size> bytes;
    Source.ReadExact(bytes.data(), bytes.size());
    Block = TGIFTextBlock::Parse(bytes);
    Text = ReadTextBlocks(Source);
}

void TGIFCommentExtension::LoadBlock(TGIFSource& Source) { Text = ReadTextBlocks(Source); }

namespace {
constexpr uint8_t AppIdentifierSize = 11;
// A block size of 10 is read with the first byte of the next sub-block as the identifier's last.
constexpr uint8_t ShortAppIdentifierSize = 10;
constexpr std::array<uint8_t, AppIdentifierSize> NetscapeLoop{'N', 'E', 'T', 'S', 'C', 'A',
                                                              'P', 'E', '2', '.', '0'};
constexpr std::array<uint8_t, AppIdentifierSize> AnimExtsLoop{'A', 'N', 'I', 'M', 'E', 'X',
                                                              'T', 'S', '1', '.', '0'};
} // namespace

void TGIFApplicationExtension::LoadBlock(TGIFSource& Source) {
    const auto blockSize = Source.ReadByte();
    if (!blockSize) throw GIFException(sPrematureEnd);
    if (*blockSize < AppIdentifierSize && *blockSize != ShortAppIdentifierSize)
        throw GIFException(sAppBlockSize);
    Source.ReadExact(Identifier.data(), Identifier.size());
    Source.Move(int64_t(*blockSize) - AppIdentifierSize);
    ReadPayload(Source);
}

void TGIFUnknownAppExtension::ReadPayload(TGIFSource& Source) {
    DataBlocks.clear();
    for (auto size = Source.ReadByte(); size && *size != 0; size = Source.ReadByte()) {
        const auto bytes = Source.ReadExact(*size);
        DataBlocks.emplace_back(bytes.begin(), bytes.end());
    }
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage& Frame) : TGIFApplicationExtension(Frame) {
    Identifier = NetscapeLoop;
}

void TGIFAppExtNSLoop::ReadPayload(TGIFSource& Source) {
    enum : uint8_t { LoopSubBlock = 1, BufferSubBlock = 2, SubBlockIdMask = 7 };
    // The end of the data ends the sub-blocks as a terminator would.
    for (auto size = Source.ReadByte(); size && *size != 0; size = Source.ReadByte()) {
        const auto id = Source.ReadByte();
        if (!id) break;
        const uint8_t s = *size;
        if ((*id & SubBlockIdMask) == LoopSubBlock) {
            if (s < 3) throw GIFException(sInvalidData);
            LoopCount = LoadU16LE(Source.ReadExact(2).data());
            Source.Move(s - 3);
        } else if ((*id & SubBlockIdMask) == BufferSubBlock) {
            if (s < 5) throw GIFException(sInvalidData);
            BufferHint = LoadU32LE(Source.ReadExact(4).data());
            Source.Move(s - 5);
        } else {
            Source.Move(s - 1);
        }
    }
}

namespace {

template <class T> std::unique_ptr<TGIFExtension> Make(TGIFSubImage& Frame) {
    return std::make_unique<T>(Frame);
}

struct TLabelEntry {
    uint8_t Label;
    TGIFExtensionFactory Factory;
};
// Searched from the last entry backwards, so a later registration of a label wins.
const TLabelEntry LabelRegistry[] = {
    {elPlainText, Make<TGIFTextExtension>},
    {elGraphicControl, Make<TGIFGraphicControlExtension>},
    {elComment, Make<TGIFCommentExtension>},
    {elApplication, Make<TGIFUnknownAppExtension>},
};

struct TAppEntry {
    std::array<uint8_t, AppIdentifierSize> Identifier;
    TGIFExtensionFactory Factory;
};
const TAppEntry AppRegistry[] = {
    {NetscapeLoop, Make<TGIFAppExtNSLoop>},
    {AnimExtsLoop, Make<TGIFAppExtNSLoop>},
};

// The application block's class by its identifier. Blocks whose size is not 11 are kept as unknown
// application blocks (their loader refuses sizes below 10); a size-10 block needs its 10 bytes.
TGIFExtensionFactory RefineApplication(TGIFSource& Source) {
    const auto blockSize = Source.ReadByte();
    if (blockSize == ShortAppIdentifierSize)
        return Source.Remaining() >= ShortAppIdentifierSize ? Make<TGIFUnknownAppExtension> : nullptr;
    if (blockSize != AppIdentifierSize || Source.Remaining() < AppIdentifierSize)
        return Make<TGIFUnknownAppExtension>;
    const auto identifier = Source.ReadExact(AppIdentifierSize);
    for (auto e = std::rbegin(AppRegistry); e != std::rend(AppRegistry); ++e)
        if (std::equal(identifier.begin(), identifier.end(), e->Identifier.begin())) return e->Factory;
    return Make<TGIFUnknownAppExtension>;
}

} // namespace

TGIFExtensionFactory LookupExtensionClass(TGIFSource& Source) {
    const size_t start = Source.Position();
    TGIFExtensionFactory factory = nullptr;
    if (const auto label = Source.ReadByte()) {
        for (auto e = std::rbegin(LabelRegistry); e != std::rend(LabelRegistry); ++e)
            if (e->Label == *label) {
                factory = e->Factory;
                break;
            }
        if (factory && *label == elApplication) factory = RefineApplication(Source);
    }
    Source.SetPosition(start);
    return factory;
}

// Frames.

TGIFSubImage::TGIFSubImage(TGIFImage* Image) : TGIFItem(Image), LocalMap(*this) {}

TGIFSubImage::~TGIFSubImage() {
    // Extensions refer to the frame while they go.
    ExtensionBlocks.clear();
}

void TGIFSubImage::Clear() {
    ExtensionBlocks.clear();
    LocalMap.Clear();
    PixelData.clear();
    PixelData.shrink_to_fit();
    Descriptor = {};
    IsTransparent = false;
    ControlExtension = nullptr;
    FreeBitmap();
}

uint8_t TGIFSubImage::NeededVersion() const {
    if (LocalMap.Sorted) return 2;
    for (const auto& e : ExtensionBlocks)
        if (e->NeededVersion() >= 2) return 2;
    return 1;
}

const TGIFColorMap& TGIFSubImage::ActiveColorMap() const {
    if (LocalMap.EntryCount() > 0) return LocalMap;
    if (Image() && Image()->Header().GlobalMap.EntryCount() > 0) return Image()->Header().GlobalMap;
    return LocalMap;
}

uint8_t TGIFSubImage::TransparentIndex() const {
    return ControlExtension ? ControlExtension->TransparentColorIndex() : 0;
}
uint16_t TGIFSubImage::Delay() const { return ControlExtension ? ControlExtension->Delay() : 0; }
uint8_t TGIFSubImage::Disposal() const {
    return ControlExtension ? ControlExtension->Disposal() : uint8_t(dmNone);
}

void TGIFSubImage::LoadExtensions(TGIFSource& Source) {
    auto next = Source.ReadByte();
    while (next && *next != gbImageSeparator && *next != gbTrailer) {
        if (*next != gbExtensionIntroducer) {
            ReportWarning(1, sInvalidIntroducer);
            break;
        }
        const TGIFExtensionFactory factory = LookupExtensionClass(Source);
        if (!factory) throw GIFException(sUnknownExtension);
        Source.StepBack();
        std::unique_ptr<TGIFExtension> extension = factory(*this);
        extension->LoadFromStream(Source);
        ExtensionBlocks.push_back(std::move(extension));
        next = Source.ReadByte();
    }
    if (next) Source.StepBack();
}

void TGIFSubImage::LoadFromStream(TGIFSource& Source) {
    Clear();
    LoadExtensions(Source);
    const auto next = Source.ReadByte();
    if (!next || *next == gbTrailer || *next == 0) {
        if (next) Source.StepBack();
        return;
    }
    Source.StepBack();
    std::array<uint8_t, TGIFImageDescriptor::Size> bytes;
    Source.ReadExact(bytes.data(), bytes.size());
    Descriptor = TGIFImageDescriptor::Parse(bytes);
    if (Descriptor.Width == 0 || Descriptor.Height == 0) {
        const TGIFScreenDescriptor& screen = Image()->Header().ScreenDescriptor;
        Descriptor.Width = screen.Width;
        Descriptor.Height = screen.Height;
        ReportWarning(1, sImageExceedsScreen);
    }
    if (Descriptor.HasColorTable()) LocalMap.LoadFromStream(Source, Descriptor.ColorCount());
    DecodePixels(Source);
}

void TGIFSubImage::DecodePixels(TGIFSource& Source) {
    // Sized against the pixel-buffer limit before anything is allocated.
    CheckPixelBufferSize(Width(), Height(), 8);
    const size_t count = size_t(Width()) * size_t(Height());
    if (count == 0) return;
    PixelData.assign(count, IsTransparent ? TransparentIndex() : 0);
    DecodeGIFPixels(Source, PixelData.data(), uint32_t(Width()), uint32_t(Height()), Interlaced(),
                    [this](const char* Message) { ReportWarning(1, Message); });
}

void TGIFTrailer::LoadFromStream(TGIFSource& Source) {
    const auto byte = Source.ReadByte();
    if (byte && *byte != gbTrailer) ReportWarning(1, sInvalidTrailer);
}

// The image.

TGIFImage::TGIFImage() : FHeader(std::make_unique<TGIFHeader>(this)) {}

TGIFImage::~TGIFImage() {
    StopAllPainters();
    FFrameList.clear();
}

bool TGIFImage::CanLoad(TStream& Stream) const {
    std::array<uint8_t, SignatureFallbackOffset + SignatureSize + TGIFScreenDescriptor::Size> bytes;
    const size_t count = PeekUpTo(Stream, bytes.data(), bytes.size());
    return CheckGIFSignature(std::span(bytes.data(), count)).CanLoad;
}

void TGIFImage::Clear() {
    StopAllPainters();
    FFrameList.clear();
    FHeader->Clear();
    FSharedPalette.reset();
}

void TGIFImage::LoadFromStream(TStream& Stream) {
    Progress(this, psStarting, 0, false, TRect{}, sLoading);
    bool done = false;
    struct TEnding {
        TGIFImage& Image;
        const bool& Done;
        ~TEnding() { Image.Progress(&Image, psEnding, Done ? 100 : 0, true, TRect{}, sLoading); }
    } ending{*this, done};

    Clear();
    const int64_t start = Stream.Position();
    // The whole stream is read once and parsed in memory.
    std::vector<uint8_t> bytes(size_t(std::max<int64_t>(0, Stream.Size() - start)));
    Stream.ReadBuffer(bytes.data(), bytes.size());
    TGIFSource source(bytes);
    try {
        FHeader->LoadFromStream(source);
        LoadFrames(source);
        TGIFTrailer(this).LoadFromStream(source);
    } catch (...) {
        Stream.SetPosition(start);
        throw;
    }
    Stream.SetPosition(start + int64_t(source.Position()));
    done = true;
}

void TGIFImage::LoadFrames(TGIFSource& Source) {
    auto nextNonZero = [&Source] {
        auto b = Source.ReadByte();
        while (b && *b == 0) b = Source.ReadByte();
        return b;
    };
    auto next = nextNonZero();
    if (!next) return;
    while (*next != gbTrailer) {
        Source.StepBack();
        if (*next != gbExtensionIntroducer && *next != gbImageSeparator) {
            ReportWarning(this, 1, sUnknownBlock);
            // The trailer check then reads the byte before the stray one.
            Source.StepBack();
            return;
        }
        auto frame = std::make_unique<TGIFSubImage>(this);
        frame->LoadFromStream(Source);
        FFrameList.push_back(std::move(frame));
        const size_t size = std::max<size_t>(Source.Size(), 1);
        Progress(this, psRunning, uint8_t(uint64_t(Source.Position()) * 100 / size), false, TRect{},
                 sLoading);
        next = nextNonZero();
        if (!next) return;
    }
    Source.StepBack();
}

void TGIFImage::ReportWarning(TObject* Sender, int Severity, const std::string& Message) {
    if (WarningHook) WarningHook(Sender, Severity, Message);
}

void TGIFImage::Add(std::unique_ptr<TGIFItem> Item) {
    auto* frame = dynamic_cast<TGIFSubImage*>(Item.get());
    if (!frame) throw GIFException(sObjectNotSupported);
    Item.release();
    FFrameList.emplace_back(frame);
    Changed(this);
}

bool TGIFImage::Empty() const { return FFrameList.empty() || Width() <= 0 || Height() <= 0; }

int32_t TGIFImage::Width() const {
    if (FHeader->ScreenDescriptor.Width != 0) return FHeader->ScreenDescriptor.Width;
    int32_t extent = 0;
    for (const auto& f : FFrameList) extent = std::max(extent, f->Left() + f->Width());
    return extent;
}

int32_t TGIFImage::Height() const {
    if (FHeader->ScreenDescriptor.Height != 0) return FHeader->ScreenDescriptor.Height;
    int32_t extent = 0;
    for (const auto& f : FFrameList) extent = std::max(extent, f->Top() + f->Height());
    return extent;
}

void TGIFImage::SetWidth(int32_t Value) {
    for (const auto& f : FFrameList)
        if (f->Left() + f->Width() > Value) throw GIFException(sWidthTooSmall);
    if (Value == Width()) return;
    FHeader->ScreenDescriptor.Width = CheckedCast<uint16_t>(Value);
    FComposedBitmap.reset();
    Changed(this);
}

void TGIFImage::SetHeight(int32_t Value) {
    for (const auto& f : FFrameList)
        if (f->Top() + f->Height() > Value) throw GIFException(sHeightTooSmall);
    if (Value == Height()) return;
    FHeader->ScreenDescriptor.Height = CheckedCast<uint16_t>(Value);
    FComposedBitmap.reset();
    Changed(this);
}

} // namespace ferronel
