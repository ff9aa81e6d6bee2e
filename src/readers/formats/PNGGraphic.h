// Portable Network Graphics: every colour type at its bit depths, the five row filters, Adam7
// interlacing, palette, gamma, background and simple transparency. Image data is inflated through
// the LZ77 decoder and rows are converted by the colour manager.
#pragma once

#include "host/HeaderCheck.h"
#include "readers/ReaderGraphic.h"
#include "readers/decoders/LZ77Decoder.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace ferronel {

enum TPNGColorType : uint8_t {
    ctGray = 0,
    ctRGB = 2,
    ctIndexed = 3,
    ctGrayAlpha = 4,
    ctRGBA = 6,
};

enum TPNGInterlace : uint8_t { piNone = 0, piAdam7 = 1 };

enum TPNGFilter : uint8_t { fiNone, fiSub, fiUp, fiAverage, fiPaeth };

// Chunk types as stored, big-endian in one word.
enum TPNGChunkType : uint32_t {
    ckIHDR = 0x49484452,
    ckPLTE = 0x504C5445,
    ckIDAT = 0x49444154,
    ckIEND = 0x49454E44,
    ckgAMA = 0x67414D41,
    ckbKGD = 0x624B4744,
    cktRNS = 0x74524E53,
};

inline constexpr std::array<uint8_t, 8> PNGSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The 8 bytes in front of every chunk's data.
struct TPNGChunkHeader {
    static constexpr size_t Size = 8;
    uint32_t Length = 0; // data bytes; the 4-byte CRC follows them
    uint32_t Type = 0;

    static TPNGChunkHeader Parse(std::span<const uint8_t, Size> Bytes);
};

// The 13 data bytes of IHDR.
struct TPNGHeader {
    static constexpr size_t Size = 13;
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint8_t BitDepth = 0;
    uint8_t ColorType = ctGray;
    uint8_t Compression = 0; // 0: deflate
    uint8_t Filter = 0;
    uint8_t Interlace = piNone;

    static TPNGHeader Parse(std::span<const uint8_t, Size> Bytes);
    // Bytes per complete pixel, at least 1: the distance the row filters look back.
    uint32_t PixelBytes() const;
    // Samples a pixel stores (palette and grey 1, grey + alpha 2, RGB 3, RGBA 4).
    uint32_t Channels() const;
};

// The start of every file: signature, the first chunk's header and, when that is IHDR, its data.
struct TPNGFileHeader {
    static constexpr size_t Size = 8 + TPNGChunkHeader::Size + TPNGHeader::Size;
    std::array<uint8_t, 8> Signature{};
    TPNGChunkHeader First;
    TPNGHeader IHDR;

    static TPNGFileHeader Parse(std::span<const uint8_t, Size> Bytes);
};

// The one judgement of a file's start. CanLoad wants the signature (in a file of at least 33 bytes); a
// load also wants IHDR first, 13 bytes long, sizes from 1 to 2^31 - 1, deflate compression and a
// colour type and depth the reader knows.
THeaderCheck CheckPNGHeader(const TPNGFileHeader& Header);

// The five row filters, in place over Length bytes; Prior is the row above (all 0 for the first
// row of an image or pass). Other filter types leave the row as it is.
void UnfilterPNGRow(uint8_t FilterType, uint8_t* Row, const uint8_t* Prior, size_t Length, uint32_t Distance);

class TPNGGraphic : public TReaderGraphic {
    FERRONEL_CLASS(TPNGGraphic, TReaderGraphic)
public:
    TPNGGraphic();
    ~TPNGGraphic() override;

    bool CanLoad(TStream& Stream) const override;
    using TReaderGraphic::CanLoad;
    bool LoadImageProperties(TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(TStream& Stream) override;

    // Palette opacity from tRNS (256 entries, 255 past the chunk's), kept but not shown.
    const TByteArray& AlphaTable() const { return FAlphaTable; }

private:
    THeaderCheck ReadHeader(TStream& Stream);
    void ReadChunkHeader();
    void ReadChunkData();
    bool IsChunk(TPNGChunkType Type) const;
    uint32_t SetupSourceLayout();
    // Answers false when the data ran out before Count bytes came.
    bool InflateBytes(uint8_t* Target, size_t Count);
    bool NextIDAT();
    void ReadBackground();
    void ReadTransparency();
    void LoadRows();
    TColor ScaledGray(uint16_t Sample) const;
    TColor ScaledColor(const uint8_t* Samples) const;
    void FillRows(int32_t FromRow);

    TPNGHeader FHeader;
    std::unique_ptr<TLZ77Decoder> FInflater;
    uint32_t FIDATLeft = 0;
    std::vector<uint8_t> FChunkData;
    const uint8_t* FChunkCursor = nullptr;
    uint32_t FChunkLength = 0;
    uint32_t FChunkType = 0;
    uint32_t FRunningCRC = 0;
    uint32_t FPixelBytes = 1;
    HPALETTE FPendingPalette;
    TByteArray FAlphaTable;
    static constexpr TColor NoKeyColor = 0x1FFFFFFF;
    TColor FKeyColor = NoKeyColor;
    TColor FFillColor = clWhite;
    bool FHasPalette = false;
    bool FLayoutSet = false;
    // Set once image data has started: from then on the end of the file ends the picture, which
    // keeps the rows that arrived.
    bool FInImageData = false;
    bool FEndOfFile = false;
};

} // namespace ferronel
