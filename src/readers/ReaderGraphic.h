// The common base of the format readers: a bitmap that fills itself from a stream, with an owned
// colour manager, the image properties read from the header, a class-level test whether a stream
// can be loaded, and the progress band every reader reports.
#pragma once

#include "host/Bitmap.h"
#include "host/Format.h"
#include "host/Set.h"
#include "host/Types.h"
#include "readers/ColorManager.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

namespace ferronel {

class TStream;

enum TImageFlag : uint8_t { ifTiled, ifBigEndian, ifMinIsWhite, ifReversedBits, ifFileGamma };
using TImageFlags = TSet<TImageFlag, uint8_t>;

enum TCompressionScheme : uint8_t {
    cpUnknown,
    cpNone,
    cpRLE,
    cpPackBits,
    cpLZW,
    cpFax3,
    cpFaxRLE,
    cpFax4,
    cpFaxRLEW,
    cpDeflate,
    cpJPEG,
    cpOldJPEG,
    cpThunderscan,
    cpNeXT,
    cpIT8CTPAD,
    cpIT8LW,
    cpIT8MP,
    cpIT8BL,
    cpPixarFilm,
    cpPixarLog,
    cpDCS,
    cpJBIG,
    cpPCDHuffman,
};

using TCardinalArray = std::vector<uint32_t>;
using TByteArray = std::vector<uint8_t>;
using TFloatArray = std::vector<float>;

// Header facts of the image last examined. Format-specific fields are filled by their readers.
struct TImageProperties {
    uint32_t Version = 0;
    TImageFlags Flags;
    uint32_t Width = 0;
    uint32_t Height = 0;
    TColorScheme ColorScheme = csUnknown;
    uint8_t BitsPerSample = 0;
    uint8_t SamplesPerPixel = 0;
    uint8_t BitsPerPixel = 0;
    TCompressionScheme Compression = cpUnknown;
    float Gamma = 1.0f;
    float XResolution = 0;
    float YResolution = 0;
    bool Interlaced = false;
    bool HasAlpha = false;
    uint32_t FirstDirectoryOffset = 0;
    uint32_t PlanarConfiguration = 0;
    uint32_t CurrentRow = 0;
    uint32_t TileWidth = 0;
    uint32_t TileLength = 0;
    uint32_t BytesPerLine = 0;
    TCardinalArray RowsPerStrip;
    TByteArray YCbCrSubsampling;
    TByteArray JPEGTables;
    uint32_t JPEGColorMode = 0;
    uint32_t JPEGTablesMode = 0;
    uint32_t CurrentStrip = 0;
    uint32_t StripCount = 0;
    uint32_t Predictor = 0;
    bool PCDOverview = false;
    uint8_t PCDRotation = 0;
    uint16_t PCDVersion = 0;
    bool BottomUp = false;
    uint8_t ChannelCount = 0;
    uint8_t FilterMode = 0;
};

class TReaderGraphic : public TBitmap {
    FERRONEL_CLASS(TReaderGraphic, TBitmap)
public:
    TReaderGraphic();
    ~TReaderGraphic() override;

    // Whether the stream, at its position, holds an image this class reads; the position is left
    // as it was. The base answers false.
    virtual bool CanLoad(TStream& Stream) const;
    // The same for a file; a file that cannot be opened answers false.
    bool CanLoad(const std::string& FileName) const;
    // Fills ImageProperties from the header at the stream position; answers whether it is
    // acceptable. The base resets the record and answers false; readers call it first.
    virtual bool LoadImageProperties(TStream& Stream, uint32_t ImageIndex);

    void Assign(const TObject& Source) override;

    TColorManager& ColorManager() { return *FColorManager; }
    TImageProperties& ImageProperties() { return FImageProperties; }
    const TImageProperties& ImageProperties() const { return FImageProperties; }

protected:
    // The start of every load: the previous picture's pixels, palette and opacity go, and
    // BasePosition becomes the stream position, so one object reads a second file as a fresh one.
    void BeginLoad(TStream& Stream);
    // The load skeleton's progress reports: a phase starts with a message, rows advance the band,
    // the phase ends.
    void StartProgress(const std::string& Message);
    void RowProgress(uint32_t Row);
    void EndProgress();

    uint32_t BasePosition = 0;
    // The stream a reader keeps between calls (not owned); a parameter named Stream does not hide it.
    TStream* Stream() const { return FStream; }
    void SetStream(TStream* Value) { FStream = Value; }
    TRect ProgressRect;

private:
    TStream* FStream = nullptr;
    std::unique_ptr<TColorManager> FColorManager;
    TImageProperties FImageProperties;
};

// Asks a reader class whether it can load a file or stream, without a caller-made instance.
bool CanLoad(TGraphicClass ReaderClass, TStream& Stream);
bool CanLoad(TGraphicClass ReaderClass, const std::string& FileName);

// The library's unit routines.
[[noreturn]] void ReaderError(const std::string& Msg);
[[noreturn]] void ReaderErrorFmt(const std::string& Msg, std::initializer_list<TFormatArg> Args);
void SwapShort(uint16_t* P, size_t Count);
void SwapLong(uint32_t* P, size_t Count);
uint32_t SwapLong(uint32_t Value);
// Adds to each of the Count x k bytes from byte k on the byte k positions before it (k = 1, 3, 4
// bytes per pixel; Count is the number of pixels less one).
void ApplyDifferencing(uint8_t* Row, uint32_t Count);
void ApplyDifferencing3(uint8_t* Row, uint32_t Count);
void ApplyDifferencing4(uint8_t* Row, uint32_t Count);
// Doubles an 8-bit plane in place: Height rows of Width bytes in a buffer of 2 x Height rows of
// RowStride bytes become 2 x Height rows of 2 x Width bytes. Width and Height must be at least 2
// and RowStride at least 2 x Width.
void Upsample2x(uint32_t Width, uint32_t Height, uint32_t RowStride, std::span<uint8_t> Plane);

} // namespace ferronel
