// The fax decoders' common part: the run-length code tables of one-dimensional fax coding, the
// mode codes of two-dimensional coding, a bit reader over the coded strip and the row writer.
//
// Every fax decoder turns one whole strip (or tile) per Decode call into packed 1-bit rows: most
// significant bit first, each row starting on a byte, (Width + 7) / 8 bytes a row, 1 = black. Dest
// is cleared to white first; UnpackedSize bytes are written at most, so a strip that ends early or
// goes wrong leaves the rest white. A run never spills into the next row. The coded bytes are only
// read (fill order 2 is reversed as the bits are fetched), and Source and Dest are not moved.
#pragma once

#include "host/ByteReader.h"
#include "readers/decoders/Decoder.h"

#include <cstdint>
#include <vector>

namespace ferronel {

// The T4Options bits the Group 3 decoder looks at.
enum TT4Option : int32_t {
    t4TwoDimensional = 1, // rows may be coded against the row above
    t4Uncompressed = 2,   // uncompressed mode may occur (not decoded: the strip ends there)
    t4FillBits = 4,       // zero bits pad each row so that its end-of-line code ends on a byte
};

class TCCITTDecoder : public TDecoder {
    FERRONEL_ABSTRACT_CLASS(TCCITTDecoder, TDecoder)
public:
    // Options: the T4Options value; SwapBits: the bytes hold their first bit in the lowest place
    // (fill order 2); WordAligned: every coded row starts on a 16-bit boundary of the strip.
    TCCITTDecoder(int32_t Options, bool SwapBits, bool WordAligned, uint32_t Width);

    void Encode(const uint8_t*, uint8_t*, uint32_t, uint32_t& BytesStored) override { BytesStored = 0; }

    int32_t T4Options() const { return FT4Options; }
    uint32_t RowWidth() const { return FRowWidth; }

    // What a run read answers besides a length.
    static constexpr int32_t EndOfLine = -1;
    static constexpr int32_t InvalidCode = -2;

protected:
    // A cursor over the coded bits, most significant first, in a 64-bit window. Past the end it
    // shows zero bits, which Available() tells apart from real ones.
    struct TBitReader {
        const uint8_t* Start = nullptr;
        const uint8_t* Next = nullptr;
        const uint8_t* End = nullptr;
        uint64_t Window = 0;
        int Count = 0; // valid bits at the top of Window

        // Tops the window up to at least 57 bits while input lasts.
        void Refill() {
            if (Count > 56) return;
            if (End - Next >= 8) {
                const uint64_t next8 = uint64_t(LoadU32BE(Next)) << 32 | LoadU32BE(Next + 4);
                const int bits = (64 - Count) & ~7;
                Window |= (next8 >> (64 - bits)) << (64 - bits - Count);
                Next += bits / 8;
                Count += bits;
                return;
            }
            while (Count <= 56 && Next < End) {
                Window |= uint64_t(*Next++) << (56 - Count);
                Count += 8;
            }
        }
        // The next N bits (1..32), zeros past the end; call Refill first.
        uint32_t Peek(int N) const { return uint32_t(Window >> (64 - N)); }
        // Drops N bits, N at most Count.
        void Skip(int N) {
            Window = N >= 64 ? 0 : Window << N;
            Count -= N;
        }
        bool Empty() const { return Count == 0 && Next == End; }
        uint64_t Available() const { return uint64_t(Count) + 8 * uint64_t(End - Next); }
        uint64_t Consumed() const { return 8 * uint64_t(Next - Start) - uint64_t(Count); }
        // Drops bits up to the next multiple of Bits (8 or 16) from the start of the strip.
        void Align(unsigned Bits);
    };

    // Sets up a strip: clears Dest, the bit reader and the reference row (all white). Answers
    // false when there is nothing to decode.
    bool BeginStrip(const uint8_t* Source, int32_t PackedSize, uint8_t* Dest, int32_t UnpackedSize);

    // Reads one run of the colour (make-up codes summed with their terminating code). Answers the
    // length, or EndOfLine or InvalidCode when such a code comes instead of a complete run. With
    // the input ending inside a code, the length summed so far is answered and the reader is left
    // empty.
    int32_t ReadRun(bool White);

    // Decodes one row of runs into the current change list; answers EndOfLine when an end-of-line
    // code ended the row early, InvalidCode for a bad code, 0 otherwise (the row is full or the
    // input ran out). The row is complete up to where it got.
    // MarkersEndRow: an end-of-line or bad code ends the row (with end-of-line codes in the data);
    // otherwise it is passed over and only switches the colour.
    int32_t DecodeRow1D(bool MarkersEndRow);
    // The same for a row coded against the reference row.
    int32_t DecodeRow2D();

    // Writes the current change list as row Row of Dest (clipped to UnpackedSize) and makes it the
    // reference row of the next one. Answers false when Row is past the output.
    bool FinishRow(uint32_t Row);
    uint32_t RowCount() const { return FRows; }

    // Reads bits until an end-of-line code (eleven or more zero bits and a one) has been consumed;
    // false when the input ends first.
    bool SkipToEndOfLine();

    bool AlignToWord() const { return FAlignToWord; }

    TBitReader FBits;

private:
    void AddChange(uint32_t Position);
    int32_t EndRowAt(int64_t Position, int32_t Result);
    void WriteRow(uint8_t* Row, size_t Bytes) const;

    int32_t FT4Options;
    bool FReverseBits;
    bool FAlignToWord;
    uint32_t FRowWidth;
    uint8_t* FDest = nullptr;
    size_t FDestSize = 0;
    size_t FRowBytes = 0;
    uint32_t FRows = 0;
    // Changing elements (positions where the colour flips, the first to black) of the row being
    // decoded and of the row above, the latter followed by sentinels at the row width. Sized per
    // strip, never beyond what its bits can describe.
    std::vector<uint32_t> FChanges, FReference;
    std::vector<uint8_t> FReversed; // the strip with its bytes' bits reversed, for fill order 2
    size_t FChangeCount = 0, FReferenceCount = 0;
};

} // namespace ferronel
