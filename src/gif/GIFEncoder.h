// The frame encoders' common part: the minimum code size byte, variable-width codes packed low bit
// first into sub-blocks, the terminator block, and the walk over the pixels in stored row order
// (four passes for an interlaced frame).
#pragma once

#include "gif/GIFDecoder.h"
#include "gif/GIFException.h"
#include "gif/GIFStrings.h"
#include "gif/GIFWriter.h"
#include "host/Object.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace ferronel {

class TStream;

// The widest code a decoder accepts, and the table size that goes with it.
constexpr int MaxGIFCodeWidth = 12;
constexpr uint32_t GIFTableSize = 1u << MaxGIFCodeWidth;

class TGIFEncoder : public TObject {
    FERRONEL_ABSTRACT_CLASS(TGIFEncoder, TObject)
public:
    // Writes Width x Height indices (row after row, top first) as image data: the minimum code size
    // (BitsPerPixel, at least 2), the codes in sub-blocks and the terminator. Every index must be
    // below ColorCount ("Color not in color table").
    void EncodeFrame(TStream& Stream, int BitsPerPixel, uint32_t ColorCount, const uint8_t* Data,
                     bool Interlace, int32_t Height, int32_t Width);

    TGIFWarningSink Warning;

protected:
    // Puts Code at the current width.
    virtual void EmitCode(uint32_t Code) { PutCode(Code); }
    // Outputs the clear code; the encoders reset their own state after it.
    virtual void ResetCodes() {
        ClearPending = true;
        EmitCode(ClearCode);
    }
    virtual void EncodePixels() = 0;

    void PutCode(uint32_t Code) {
        FAccumulator |= uint64_t(Code) << FBitCount;
        FBitCount += CodeWidth;
        while (FBitCount >= 8) {
            FWriter->Write(uint8_t(FAccumulator));
            FAccumulator >>= 8;
            FBitCount -= 8;
        }
    }
    void CheckIndex(uint8_t Index) const {
        if (Index >= ColorCount) throw GIFException(gif::sColorNotInTable);
    }
    // Calls Span(First, Count) for the runs of pixels in stored order: the whole frame at once when
    // sequential, row by row in pass order when interlaced.
    template <typename F> void ForEachSpan(F Span) const {
        if (!Interlace) {
            Span(Pixels, size_t(Width) * size_t(Height));
            return;
        }
        ForEachInterlacedRow(uint32_t(Height),
                             [&](uint32_t y) { Span(Pixels + size_t(y) * size_t(Width), size_t(Width)); });
    }

    int BitsPerPixel = 2;
    int InitialCodeWidth = 3;
    int CodeWidth = 3;
    uint32_t MaxCode = 7; // the largest code of the current width
    uint32_t ClearCode = 4;
    uint32_t EndCode = 5;
    uint32_t BaseCode = 6; // the first code that stands for a string
    uint32_t ColorCount = 0;
    bool ClearPending = false;
    const uint8_t* Pixels = nullptr;
    int32_t Width = 0;
    int32_t Height = 0;
    bool Interlace = false;

private:
    uint64_t FAccumulator = 0;
    int FBitCount = 0;
    TGIFWriter* FWriter = nullptr;
};

// The encoder EncoderKind selects: 1 the run-length one, anything else LZW.
std::unique_ptr<TGIFEncoder> MakeGIFEncoder(uint8_t EncoderKind);

} // namespace ferronel
