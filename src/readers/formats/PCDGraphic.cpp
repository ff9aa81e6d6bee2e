#include "readers/formats/PCDGraphic.h"

#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/Stream.h"
#include "readers/ReaderStrings.h"
#include "readers/formats/HeaderBytes.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ferronel {

using namespace readers;

namespace {

const char* const PCDLabel = "PCD";
constexpr size_t RotationOffset = 3586;
constexpr uint32_t BaseWidth = 192, BaseHeight = 128; // the smallest resolution
// PhotoYCC luminance weights.
constexpr float LumaWeights[3] = {0.2125f, 0.7154f, 0.0721f};

} // namespace

TPCDHeader TPCDHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TPCDHeader h;
    h.OverviewSignature = std::memcmp(Bytes.data(), "PCD_OPA", 7) == 0;
    h.ImagePackSignature = std::memcmp(Bytes.data() + SectorSize, "PCD", 3) == 0;
    h.Version = LoadU16BE(Bytes.data() + 10);
    h.Rotation = Bytes[RotationOffset] & 3;
    return h;
}

THeaderCheck CheckPCDHeader(const TPCDHeader& Header) {
    THeaderCheck check;
    check.CanLoad = Header.OverviewSignature || Header.ImagePackSignature;
    check.Load = check.CanLoad;
    return check;
}

TPCDGraphic::TPCDGraphic() = default;
TPCDGraphic::~TPCDGraphic() = default;

bool TPCDGraphic::CanLoad(TStream& Stream) const {
    const auto header = PeekHeader<TPCDHeader>(Stream);
    return header && CheckPCDHeader(*header).CanLoad;
}

THeaderCheck TPCDGraphic::ReadHeader(TStream& Stream, uint32_t Resolution) {
    TReaderGraphic::LoadImageProperties(Stream, Resolution);
    FHeader = ReadHeaderFrom<TPCDHeader>(Stream);
    const THeaderCheck check = CheckPCDHeader(FHeader);
    if (!check.Load) return check;

    TImageProperties& p = ImageProperties();
    p.PCDOverview = FHeader.OverviewSignature;
    p.PCDRotation = FHeader.Rotation;
    p.PCDVersion = FHeader.Version;
    const uint32_t resolution =
        p.PCDOverview ? uint32_t(prBase16) : std::min<uint32_t>(Resolution, prBase64x);
    p.Width = BaseWidth << resolution;
    p.Height = BaseHeight << resolution;
    if (p.PCDRotation == ptCounterClockwise || p.PCDRotation == ptClockwise) std::swap(p.Width, p.Height);
    p.ColorScheme = csPhotoYCC;
    p.BitsPerSample = 8;
    p.SamplesPerPixel = 3;
    p.BitsPerPixel = 24;
    p.Compression = resolution > prBase ? cpPCDHuffman : cpNone;
    return check;
}

bool TPCDGraphic::LoadImageProperties(TStream& Stream, uint32_t ImageIndex) {
    return ReadHeader(Stream, ImageIndex).Load;
}

void TPCDGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    if (!ReadHeader(Stream, prBase).Load) return;
    TImageProperties& p = ImageProperties();
    ProgressRect = TRect{0, 0, int32_t(p.Width), 1};
    StartProgress(gesPreparing);

    // An overview pack holds thumbnails of the smallest size, the first at its own sector.
    const uint32_t resolution = p.PCDOverview ? uint32_t(prBase16) : uint32_t(prBase);
    const uint32_t width = BaseWidth << resolution, height = BaseHeight << resolution;
    p.Width = width;
    p.Height = height;
    const uint64_t sector = p.PCDOverview ? TPCDHeader::OverviewSector : TPCDHeader::BaseSector;
    const uint64_t start = BasePosition + sector * TPCDHeader::SectorSize;
    const size_t imageBytes = size_t(width) * height * 3 / 2;
    if (start + imageBytes > uint64_t(Stream.Size())) ReaderErrorFmt(gesInvalidImage, {PCDLabel});

    // Luminance at full size; each chroma plane's rows at the top of a full-size plane, which
    // doubling then fills.
    const size_t planeBytes = size_t(width) * height;
    std::vector<uint8_t> planes(3 * planeBytes);
    uint8_t* const luma = planes.data();
    uint8_t* const c1 = luma + planeBytes;
    uint8_t* const c2 = c1 + planeBytes;

    TColorManager& cm = ColorManager();
    cm.SourceOptions = {};
    cm.TargetOptions = {};
    cm.SetSourceColorScheme(csPhotoYCC);
    cm.SetSourceBitsPerSample(8);
    cm.SetSourceSamplesPerPixel(3);
    cm.SetTargetColorScheme(csBGR);
    cm.SetTargetBitsPerSample(8);
    cm.SetTargetSamplesPerPixel(3);
    SetPixelFormat(pf24bit);
    cm.SetYCbCrValues(LumaWeights, 2, 2);
    EndProgress();

    StartProgress(gesLoadingData);
    {
        std::vector<uint8_t> data(imageBytes);
        Stream.SetPosition(int64_t(start));
        Stream.ReadBuffer(data.data(), data.size());
        const uint8_t* s = data.data();
        const size_t half = width / 2;
        for (uint32_t r = 0; r < height; r += 2) {
            Progress(this, psRunning, uint8_t(r * 100 / height), false, ProgressRect, "");
            std::memcpy(luma + size_t(r) * width, s, 2 * size_t(width));
            s += 2 * size_t(width);
            std::memcpy(c1 + size_t(r / 2) * width, s, half);
            s += half;
            std::memcpy(c2 + size_t(r / 2) * width, s, half);
            s += half;
        }
    }
    EndProgress();
    StartProgress(gesUpsampling);
    Progress(this, psRunning, 80, false, ProgressRect, "");
    Upsample2x(width / 2, height / 2, width, std::span(c1, planeBytes));
    Progress(this, psRunning, 100, false, ProgressRect, "");
    Upsample2x(width / 2, height / 2, width, std::span(c2, planeBytes));
    EndProgress();

    StartProgress(gesTransfering);
    const uint8_t rotation = p.PCDRotation;
    const bool turned = rotation == ptCounterClockwise || rotation == ptClockwise;
    if (turned) {
        SetSize(int32_t(height), int32_t(width));
        ProgressRect.Right = int32_t(height);
        std::vector<uint8_t*> rows(width);
        for (uint32_t i = 0; i < width; ++i) rows[i] = ScanLine(int32_t(i));
        std::vector<uint8_t> row(size_t(width) * 3);
        for (uint32_t y = 0; y < height; ++y) {
            const size_t at = size_t(y) * width;
            const uint8_t* sources[3] = {luma + at, c1 + at, c2 + at};
            cm.ConvertScanline(TSourceRows(sources), row.data(), width, 0xFF);
            for (uint32_t x = 0; x < width; ++x) {
                uint8_t* target = rotation == ptCounterClockwise ? rows[width - 1 - x] + size_t(y) * 3
                                                                 : rows[x] + size_t(height - 1 - y) * 3;
                std::memcpy(target, row.data() + size_t(x) * 3, 3);
            }
            RowProgress(y);
        }
    } else {
        // A half turn is left as stored.
        SetSize(int32_t(width), int32_t(height));
        for (uint32_t y = 0; y < height; ++y) {
            const size_t at = size_t(y) * width;
            const uint8_t* sources[3] = {luma + at, c1 + at, c2 + at};
            cm.ConvertScanline(TSourceRows(sources), ScanLine(int32_t(y)), width, 0xFF);
            RowProgress(y);
        }
    }
    EndProgress();
}

} // namespace ferronel
