// Canonical Huffman codes over the bit stream: codes from code lengths, decoding tables with a
// multi-bit first level, and length-limited code lengths from symbol frequencies.
#pragma once

#include "linear/BitStream.h"

#include <cstddef>
#include <cstdint>

namespace ferronel::linear {

// The deflate format's length and distance codes (base value and extra bits per symbol), and the
// order in which a dynamic block lists its code-length code lengths; shared by inflate and deflate.
inline constexpr uint16_t LengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                            31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
inline constexpr uint8_t LengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                            2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
inline constexpr uint16_t DistanceBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                              33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                              1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
inline constexpr uint8_t DistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                              6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
inline constexpr uint8_t CodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                11, 4,  12, 3, 13, 2, 14, 1, 15};

// A decoding table entry: value << 16 | kind << 12 | extra bits << 8 | code length. For a
// sub-table link the value is the sub-table's start and the extra bits its index width.
enum THuffmanKind : uint32_t { hkLiteral = 0, hkLength = 1, hkEnd = 2, hkSubTable = 3, hkInvalid = 4 };

constexpr uint32_t HuffmanEntry(uint32_t Value, uint32_t Kind, uint32_t Extra, uint32_t Length) {
    return Value << 16 | Kind << 12 | Extra << 8 | Length;
}
constexpr uint32_t EntryKind(uint32_t E) { return (E >> 12) & 0xF; }
constexpr uint32_t EntryExtra(uint32_t E) { return (E >> 8) & 0xF; }
constexpr uint32_t EntryLength(uint32_t E) { return E & 0xFF; }
constexpr uint32_t EntryValue(uint32_t E) { return E >> 16; }

enum THuffmanCheck : uint8_t {
    hcComplete,
    hcEmpty,          // no symbol has a code
    hcSingle,         // one code of one bit: incomplete, but allowed for the literal and distance codes
    hcIncomplete,     // codes left unused
    hcOversubscribed, // more codes than the lengths allow
};

class THuffmanBitStream : public TBitStream {
    FERRONEL_ABSTRACT_CLASS(THuffmanBitStream, TBitStream)
public:
    using TBitStream::TBitStream;

    static constexpr int MaxCodeLength = 15;

    static THuffmanCheck CheckLengths(const uint8_t* Lengths, size_t Count);
    // Canonical codes for the lengths, stored bit-reversed (first bit read lowest).
    static void BuildCodes(const uint8_t* Lengths, size_t Count, uint16_t* Codes);
    // Fills Table (TableSize entries) for a code that passed CheckLengths: the first 2^PrimaryBits
    // entries are looked up with the next bits, longer codes go through sub-tables behind them.
    // SymbolEntries[s] holds the kind, extra bits and value of symbol s. Unused slots are invalid.
    static void BuildTable(const uint8_t* Lengths, size_t Count, const uint32_t* SymbolEntries,
                           int PrimaryBits, uint32_t* Table, size_t TableSize);
    // Code lengths of at most MaxLength bits that suit the frequencies; unused symbols get 0. At least
    // two symbols get a code, so the result is always a complete code.
    static void BuildOptimalLengths(const uint32_t* Frequencies, size_t Count, int MaxLength,
                                    uint8_t* Lengths);
};

} // namespace ferronel::linear
