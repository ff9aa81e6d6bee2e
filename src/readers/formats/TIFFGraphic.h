// TIFF images: a header naming the byte order and the first image file directory (IFD), a chain of
// directories of tagged entries, and the pixels in strips or tiles, interleaved or one plane after
// another, raw or compressed (PackBits, deflate, LZW, JPEG). Only the first image is shown.
#pragma once

#include "host/HeaderCheck.h"
#include "readers/ReaderGraphic.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace ferronel {

class TDecoder;

enum TTIFFByteOrder : uint16_t { boLittleEndian = 0x4949, boBigEndian = 0x4D4D }; // "II", "MM"
enum : uint16_t { TIFFVersion = 42 };

enum TTIFFFieldType : uint16_t {
    tfNone,
    tfByte,
    tfAscii,
    tfShort,
    tfLong,
    tfRational,
    tfSByte,
    tfUndefined,
    tfSShort,
    tfSLong,
    tfSRational,
    tfFloat,
    tfDouble,
};

enum TTIFFTag : uint16_t {
    ttImageWidth = 256,
    ttImageLength = 257,
    ttBitsPerSample = 258,
    ttCompression = 259,
    ttPhotometricInterpretation = 262,
    ttFillOrder = 266,
    ttStripOffsets = 273,
    ttSamplesPerPixel = 277,
    ttRowsPerStrip = 278,
    ttStripByteCounts = 279,
    ttXResolution = 282,
    ttYResolution = 283,
    ttPlanarConfiguration = 284,
    ttT4Options = 292,
    ttResolutionUnit = 296,
    ttPredictor = 317,
    ttColorMap = 320,
    ttTileWidth = 322,
    ttTileLength = 323,
    ttTileOffsets = 324,
    ttTileByteCounts = 325,
    ttExtraSamples = 338,
    ttJPEGTables = 347,
    ttYCbCrCoefficients = 529,
    ttYCbCrSubsampling = 530,
    ttYCbCrPositioning = 531,
};

enum TTIFFCompression : uint16_t {
    tcNone = 1,
    tcCCITTRLE = 2,
    tcCCITTFax3 = 3,
    tcCCITTFax4 = 4,
    tcLZW = 5,
    tcOldJPEG = 6,
    tcJPEG = 7,
    tcAdobeDeflate = 8,
    tcNeXT = 32766,
    tcCCITTRLEW = 32771,
    tcPackBits = 32773,
    tcThunderscan = 32809,
    tcIT8CTPAD = 32895,
    tcIT8LW = 32896,
    tcIT8MP = 32897,
    tcIT8BL = 32898,
    tcPixarFilm = 32908,
    tcPixarLog = 32909,
    tcDeflate = 32946,
    tcDCS = 32947,
    tcJBIG = 34661,
};

enum TTIFFPhotometric : uint16_t {
    tpMinIsWhite = 0,
    tpMinIsBlack = 1,
    tpRGB = 2,
    tpPalette = 3,
    tpMask = 4,
    tpSeparated = 5,
    tpYCbCr = 6,
    tpCIELab = 8,
};

enum TTIFFPlanar : uint16_t { tpcChunky = 1, tpcSeparate = 2 };
enum TTIFFPredictor : uint16_t { tprNone = 1, tprHorizontal = 2 };
enum TTIFFFillOrder : uint16_t { tfoMSBFirst = 1, tfoLSBFirst = 2 };
enum TTIFFResolutionUnit : uint16_t { truInch = 2, truCentimeter = 3 };

// The 8-byte file header. The version and offset are read in the byte order the first word names
// (any word but "MM" counts as little-endian).
struct TTIFFHeader {
    static constexpr size_t Size = 8;

    uint16_t ByteOrder = 0;
    uint16_t Version = 0;
    uint32_t FirstIFDOffset = 0;

    bool BigEndian() const { return ByteOrder == boBigEndian; }
    static TTIFFHeader Parse(std::span<const uint8_t, Size> Bytes);
};

// CanLoad wants "II" or "MM", version 42 and a first directory inside the Remaining bytes; loading
// wants the version and a directory offset past the header.
THeaderCheck CheckTIFFHeader(const TTIFFHeader& Header, uint64_t Remaining, const char* Label);

// One directory entry as stored. Values of up to 4 bytes sit in Value, in file order; larger data
// lives at the offset Value holds.
struct TDirectoryEntry {
    uint16_t Tag = 0;
    uint16_t FieldType = 0;
    uint32_t ValueCount = 0;
    std::array<uint8_t, 4> Value{};
};

// Bytes per value of a field type; 0 for types this reader does not know, whose entries count as
// absent.
uint32_t FieldTypeSize(uint16_t FieldType);

class TTIFFGraphic : public TReaderGraphic {
    FERRONEL_CLASS(TTIFFGraphic, TReaderGraphic)
public:
    TTIFFGraphic();
    ~TTIFFGraphic() override;
    bool CanLoad(TStream& Stream) const override;
    using TReaderGraphic::CanLoad;
    // ImageIndex counts the directories of the chain from 0.
    bool LoadImageProperties(TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(TStream& Stream) override;

    const std::vector<TDirectoryEntry>& Directory() const { return FDirectory; }

protected:
    // The tag access of a loaded directory. A tag that is absent, of an unknown type or with no
    // values gives the default or an empty list.
    bool FindEntry(uint16_t Tag, size_t& Index) const;
    uint32_t TagValue(uint16_t Tag, uint32_t Default) const;
    uint32_t TagValueAndCount(uint16_t Tag, uint32_t& Count, uint32_t Default) const;
    float TagFloat(uint16_t Tag, float Default);
    TByteArray TagByteList(uint16_t Tag);
    TCardinalArray TagCardinalList(uint16_t Tag);
    TFloatArray TagFloatList(uint16_t Tag);

    std::array<uint16_t, 788> ColorMapStore{};
    uint32_t YCbCrPositioning = 1;
    TFloatArray YCbCrCoefficients;

private:
    struct TLayout;
    struct TChunkReader;

    THeaderCheck ReadProperties(TStream& Stream, uint32_t ImageIndex);
    // Reads the directory at Offset (relative to BasePosition) and answers the next one's offset.
    uint32_t ReadDirectory(uint32_t Offset);
    // Raw bytes of an entry's values; Size is checked against the file.
    std::vector<uint8_t> EntryData(const TDirectoryEntry& Entry);
    uint32_t EntryValue(const TDirectoryEntry& Entry, size_t Index, const uint8_t* Data) const;
    double EntryFloat(const TDirectoryEntry& Entry, size_t Index, const uint8_t* Data) const;
    [[noreturn]] void Invalid() const;

    void SetUpColors(TLayout& Layout);
    std::unique_ptr<TDecoder> MakeDecoder(const TLayout& Layout);
    void TransferRows(TLayout& Layout, TDecoder* Decoder);

    std::vector<TDirectoryEntry> FDirectory;
    TStream* FReadStream = nullptr;
    uint64_t FStreamSize = 0;
    bool FBigEndian = false;
};

} // namespace ferronel
