// JPEG-compressed TIFF strips and tiles through libjpeg: an optional stream of shared tables (the
// JPEGTables tag), then one abbreviated JPEG stream per strip or tile, checked against the
// directory's size, component count, precision and sampling before it is decoded.
#pragma once

#include "readers/ReaderGraphic.h"
#include "readers/decoders/Decoder.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ferronel {

// Units: bytes. Decode turns the PackedSize bytes at Source into rows of the segment's width:
// 8-bit RGB for colour (YCbCr included), grey for one component, CMYK or other four-component data
// as stored. Source and Dest are not advanced. The properties are read while decoding: the reader
// keeps CurrentRow at the first row of the strip being decoded.
class TTIFFJPEGDecoder : public TDecoder {
    FERRONEL_ABSTRACT_CLASS(TTIFFJPEGDecoder, TDecoder)
public:
    explicit TTIFFJPEGDecoder(const TImageProperties* Properties);
    ~TTIFFJPEGDecoder() override;
    TTIFFJPEGDecoder(const TTIFFJPEGDecoder&) = delete;
    TTIFFJPEGDecoder& operator=(const TTIFFJPEGDecoder&) = delete;

    void BeginDecode() override;
    void Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) override;
    void EndDecode() override;

    // Where warnings go (cut strip data, libjpeg's own warnings): at most one per image, with the
    // caption "Warning". Without a handler they are dropped. The viewer installs one that shows a box.
    using TWarningHandler = std::function<void(const std::string& Caption, const std::string& Text)>;
    static void SetWarningHandler(TWarningHandler Handler);

    struct TSession;

private:
    void RaiseJump(int Code);
    void ReportWarning();

    const TImageProperties* FProperties;
    std::unique_ptr<TSession> FSession;
    uint16_t FHSampling = 1, FVSampling = 1;
    bool FWarned = false;
};

} // namespace ferronel
