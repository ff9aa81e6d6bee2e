#include "gif/GIFEncoder.h"

#include "gif/LZWEncoder.h"
#include "gif/RLEEncoder.h"
#include "host/Stream.h"

#include <algorithm>

namespace ferronel {

void TGIFEncoder::EncodeFrame(TStream& Stream, int BitsPerPixelValue, uint32_t Colors, const uint8_t* Data,
                              bool Interlaced, int32_t HeightValue, int32_t WidthValue) {
    // Decoders take 2 as the smallest code size; 8 is the largest an index of one byte needs.
    BitsPerPixel = std::clamp(BitsPerPixelValue, 2, 8);
    const uint8_t minimumCodeSize = uint8_t(BitsPerPixel);
    Stream.WriteBuffer(&minimumCodeSize, 1);
    InitialCodeWidth = CodeWidth = BitsPerPixel + 1;
    ClearCode = 1u << BitsPerPixel;
    EndCode = ClearCode + 1;
    BaseCode = ClearCode + 2;
    MaxCode = (1u << CodeWidth) - 1;
    ColorCount = Colors;
    ClearPending = false;
    Pixels = Data;
    Width = WidthValue;
    Height = HeightValue;
    Interlace = Interlaced;
    FAccumulator = 0;
    FBitCount = 0;

    TGIFWriter writer(Stream);
    FWriter = &writer;
    struct TDetach {
        TGIFWriter*& Writer;
        ~TDetach() { Writer = nullptr; }
    } detach{FWriter};
    if (Data && Width > 0 && Height > 0) EncodePixels();
    EmitCode(EndCode);
    if (FBitCount > 0) writer.Write(uint8_t(FAccumulator));
    FAccumulator = 0;
    FBitCount = 0;
    writer.Flush();
    const uint8_t terminator = 0;
    Stream.WriteBuffer(&terminator, 1);
}

std::unique_ptr<TGIFEncoder> MakeGIFEncoder(uint8_t EncoderKind) {
    if (EncoderKind == 1) return std::make_unique<TRLEEncoder>();
    return std::make_unique<TLZWEncoder>();
}

} // namespace ferronel
