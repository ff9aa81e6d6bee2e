#include "readers/decoders/CCITTDecoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace ferronel {

namespace {

struct TCode {
    uint16_t Bits;
    uint8_t Length;
    int16_t Run;
};

// Terminating codes, runs 0 to 63.
constexpr TCode WhiteTerminating[] = {
    {0b00110101, 8, 0},  {0b000111, 6, 1},    {0b0111, 4, 2},      {0b1000, 4, 3},      {0b1011, 4, 4},
    {0b1100, 4, 5},      {0b1110, 4, 6},      {0b1111, 4, 7},      {0b10011, 5, 8},     {0b10100, 5, 9},
    {0b00111, 5, 10},    {0b01000, 5, 11},    {0b001000, 6, 12},   {0b000011, 6, 13},   {0b110100, 6, 14},
    {0b110101, 6, 15},   {0b101010, 6, 16},   {0b101011, 6, 17},   {0b0100111, 7, 18},  {0b0001100, 7, 19},
    {0b0001000, 7, 20},  {0b0010111, 7, 21},  {0b0000011, 7, 22},  {0b0000100, 7, 23},  {0b0101000, 7, 24},
    {0b0101011, 7, 25},  {0b0010011, 7, 26},  {0b0100100, 7, 27},  {0b0011000, 7, 28},  {0b00000010, 8, 29},
    {0b00000011, 8, 30}, {0b00011010, 8, 31}, {0b00011011, 8, 32}, {0b00010010, 8, 33}, {0b00010011, 8, 34},
    {0b00010100, 8, 35}, {0b00010101, 8, 36}, {0b00010110, 8, 37}, {0b00010111, 8, 38}, {0b00101000, 8, 39},
    {0b00101001, 8, 40}, {0b00101010, 8, 41}, {0b00101011, 8, 42}, {0b00101100, 8, 43}, {0b00101101, 8, 44},
    {0b00000100, 8, 45}, {0b00000101, 8, 46}, {0b00001010, 8, 47}, {0b00001011, 8, 48}, {0b01010010, 8, 49},
    {0b01010011, 8, 50}, {0b01010100, 8, 51}, {0b01010101, 8, 52}, {0b00100100, 8, 53}, {0b00100101, 8, 54},
    {0b01011000, 8, 55}, {0b01011001, 8, 56}, {0b01011010, 8, 57}, {0b01011011, 8, 58}, {0b01001010, 8, 59},
    {0b01001011, 8, 60}, {0b00110010, 8, 61}, {0b00110011, 8, 62}, {0b00110100, 8, 63},
};

constexpr TCode BlackTerminating[] = {
    {0b0000110111, 10, 0},
    {0b010, 3, 1},
    {0b11, 2, 2},
    {0b10, 2, 3},
    {0b011, 3, 4},
    {0b0011, 4, 5},
    {0b0010, 4, 6},
    {0b00011, 5, 7},
    {0b000101, 6, 8},
    {0b000100, 6, 9},
    {0b0000100, 7, 10},
    {0b0000101, 7, 11},
    {0b0000111, 7, 12},
    {0b00000100, 8, 13},
    {0b00000111, 8, 14},
    {0b000011000, 9, 15},
    {0b0000010111, 10, 16},
    {0b0000011000, 10, 17},
    {0b0000001000, 10, 18},
    {0b00001100111, 11, 19},
    {0b00001101000, 11, 20},
    {0b00001101100, 11, 21},
    {0b00000110111, 11, 22},
    {0b00000101000, 11, 23},
    {0b00000010111, 11, 24},
    {0b00000011000, 11, 25},
    {0b000011001010, 12, 26},
    {0b000011001011, 12, 27},
    {0b000011001100, 12, 28},
    {0b000011001101, 12, 29},
    {0b000001101000, 12, 30},
    {0b000001101001, 12, 31},
    {0b000001101010, 12, 32},
    {0b000001101011, 12, 33},
    {0b000011010010, 12, 34},
    {0b000011010011, 12, 35},
    {0b000011010100, 12, 36},
    {0b000011010101, 12, 37},
    {0b000011010110, 12, 38},
    {0b000011010111, 12, 39},
    {0b000001101100, 12, 40},
    {0b000001101101, 12, 41},
    {0b000011011010, 12, 42},
    {0b000011011011, 12, 43},
    {0b000001010100, 12, 44},
    {0b000001010101, 12, 45},
    {0b000001010110, 12, 46},
    {0b000001010111, 12, 47},
    {0b000001100100, 12, 48},
    {0b000001100101, 12, 49},
    {0b000001010010, 12, 50},
    {0b000001010011, 12, 51},
    {0b000000100100, 12, 52},
    {0b000000110111, 12, 53},
    {0b000000111000, 12, 54},
    {0b000000100111, 12, 55},
    {0b000000101000, 12, 56},
    {0b000001011000, 12, 57},
    {0b000001011001, 12, 58},
    {0b000000101011, 12, 59},
    {0b000000101100, 12, 60},
    {0b000001011010, 12, 61},
    {0b000001100110, 12, 62},
    {0b000001100111, 12, 63},
};

// Make-up codes, runs 64 to 1728 in steps of 64.
constexpr TCode WhiteMakeUp[] = {
    {0b11011, 5, 64},       {0b10010, 5, 128},      {0b010111, 6, 192},     {0b0110111, 7, 256},
    {0b00110110, 8, 320},   {0b00110111, 8, 384},   {0b01100100, 8, 448},   {0b01100101, 8, 512},
    {0b01101000, 8, 576},   {0b01100111, 8, 640},   {0b011001100, 9, 704},  {0b011001101, 9, 768},
    {0b011010010, 9, 832},  {0b011010011, 9, 896},  {0b011010100, 9, 960},  {0b011010101, 9, 1024},
    {0b011010110, 9, 1088}, {0b011010111, 9, 1152}, {0b011011000, 9, 1216}, {0b011011001, 9, 1280},
    {0b011011010, 9, 1344}, {0b011011011, 9, 1408}, {0b010011000, 9, 1472}, {0b010011001, 9, 1536},
    {0b010011010, 9, 1600}, {0b011000, 6, 1664},    {0b010011011, 9, 1728},
};

constexpr TCode BlackMakeUp[] = {
    {0b0000001111, 10, 64},      {0b000011001000, 12, 128},   {0b000011001001, 12, 192},
    {0b000001011011, 12, 256},   {0b000000110011, 12, 320},   {0b000000110100, 12, 384},
    {0b000000110101, 12, 448},   {0b0000001101100, 13, 512},  {0b0000001101101, 13, 576},
    {0b0000001001010, 13, 640},  {0b0000001001011, 13, 704},  {0b0000001001100, 13, 768},
    {0b0000001001101, 13, 832},  {0b0000001110010, 13, 896},  {0b0000001110011, 13, 960},
    {0b0000001110100, 13, 1024}, {0b0000001110101, 13, 1088}, {0b0000001110110, 13, 1152},
    {0b0000001110111, 13, 1216}, {0b0000001010010, 13, 1280}, {0b0000001010011, 13, 1344},
    {0b0000001010100, 13, 1408}, {0b0000001010101, 13, 1472}, {0b0000001011010, 13, 1536},
    {0b0000001011011, 13, 1600}, {0b0000001100100, 13, 1664}, {0b0000001100101, 13, 1728},
};

// Make-up codes 1792 to 2560, the same for both colours.
constexpr TCode ExtendedMakeUp[] = {
    {0b00000001000, 11, 1792},  {0b00000001100, 11, 1856},  {0b00000001101, 11, 1920},
    {0b000000010010, 12, 1984}, {0b000000010011, 12, 2048}, {0b000000010100, 12, 2112},
    {0b000000010101, 12, 2176}, {0b000000010110, 12, 2240}, {0b000000010111, 12, 2304},
    {0b000000011100, 12, 2368}, {0b000000011101, 12, 2432}, {0b000000011110, 12, 2496},
    {0b000000011111, 12, 2560},
};

// The end-of-line code and the zero-led patterns that are no code at all, so that every bit
// pattern leads somewhere.
constexpr TCode SpecialCodes[] = {
    {0b000000000001, 12, TCCITTDecoder::EndOfLine},   {0b000000001, 9, TCCITTDecoder::InvalidCode},
    {0b0000000001, 10, TCCITTDecoder::InvalidCode},   {0b00000000001, 11, TCCITTDecoder::InvalidCode},
    {0b000000000000, 12, TCCITTDecoder::InvalidCode},
};

constexpr int RunLookupBits = 13;

struct TRunEntry {
    int16_t Run = 0;
    uint8_t Length = 0; // 0: no code starts with these bits
};

struct TRunTable {
    std::array<TRunEntry, 1 << RunLookupBits> Entries{};
    bool Consistent = true; // a complete prefix code: every pattern reaches exactly one code

    constexpr void Add(const TCode& Code) {
        const int free = RunLookupBits - Code.Length;
        const uint32_t first = uint32_t(Code.Bits) << free;
        for (uint32_t i = first; i < first + (1u << free); ++i) {
            if (Entries[i].Length != 0) Consistent = false;
            Entries[i] = {Code.Run, Code.Length};
        }
    }
    template <size_t N> constexpr void Add(const TCode (&Codes)[N]) {
        for (const TCode& c : Codes) Add(c);
    }
    constexpr void Finish() {
        for (const TRunEntry& e : Entries)
            if (e.Length == 0) Consistent = false;
    }
};

template <size_t NT, size_t NM>
constexpr TRunTable MakeRunTable(const TCode (&Terminating)[NT], const TCode (&MakeUp)[NM]) {
    TRunTable t;
    t.Add(Terminating);
    t.Add(MakeUp);
    t.Add(ExtendedMakeUp);
    t.Add(SpecialCodes);
    t.Finish();
    return t;
}

constexpr TRunTable WhiteTable = MakeRunTable(WhiteTerminating, WhiteMakeUp);
constexpr TRunTable BlackTable = MakeRunTable(BlackTerminating, BlackMakeUp);
static_assert(WhiteTable.Consistent && BlackTable.Consistent, "a run code is missing, doubled or mistyped");

// Two-dimensional mode codes, looked up by their first seven bits.
enum TMode : uint8_t { mdVertical, mdPass, mdHorizontal, mdExtension, mdZeros };

struct TModeEntry {
    TMode Mode;
    uint8_t Length;
    int8_t Offset; // vertical modes: a1 - b1
};

constexpr int ModeLookupBits = 7;

constexpr std::array<TModeEntry, 1 << ModeLookupBits> MakeModeTable() {
    std::array<TModeEntry, 1 << ModeLookupBits> t{};
    for (uint32_t p = 0; p < t.size(); ++p) {
        if (p >> 6 == 0b1)
            t[p] = {mdVertical, 1, 0};
        else if (p >> 4 == 0b011)
            t[p] = {mdVertical, 3, 1};
        else if (p >> 4 == 0b010)
            t[p] = {mdVertical, 3, -1};
        else if (p >> 4 == 0b001)
            t[p] = {mdHorizontal, 3, 0};
        else if (p >> 3 == 0b0001)
            t[p] = {mdPass, 4, 0};
        else if (p >> 1 == 0b000011)
            t[p] = {mdVertical, 6, 2};
        else if (p >> 1 == 0b000010)
            t[p] = {mdVertical, 6, -2};
        else if (p == 0b0000011)
            t[p] = {mdVertical, 7, 3};
        else if (p == 0b0000010)
            t[p] = {mdVertical, 7, -3};
        else if (p == 0b0000001)
            t[p] = {mdExtension, 7, 0};
        else
            t[p] = {mdZeros, 7, 0};
    }
    return t;
}

constexpr std::array<TModeEntry, 1 << ModeLookupBits> ModeTable = MakeModeTable();

constexpr std::array<uint8_t, 256> MakeReverseTable() {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
        int r = 0;
        for (int b = 0; b < 8; ++b)
            if (i & (1 << b)) r |= 0x80 >> b;
        t[size_t(i)] = uint8_t(r);
    }
    return t;
}

constexpr std::array<uint8_t, 256> ReverseTable = MakeReverseTable();

// Longest run kept: far past any row, small enough never to overflow when added to a position.
constexpr uint32_t RunCap = 1u << 30;

// Sets bits From..To-1 of a packed row (From < To).
void FillBlack(uint8_t* Row, uint32_t From, uint32_t To) {
    const uint32_t first = From >> 3, last = To >> 3;
    const uint8_t head = uint8_t(0xFF >> (From & 7));
    const uint8_t tail = uint8_t(~(0xFF >> (To & 7)));
    if (first == last) {
        Row[first] |= head & tail;
        return;
    }
    Row[first] |= head;
    if (last > first + 1) std::memset(Row + first + 1, 0xFF, last - first - 1);
    if (To & 7) Row[last] |= tail;
}

} // namespace

void TCCITTDecoder::TBitReader::Align(unsigned Bits) {
    const unsigned over = unsigned(Consumed() % Bits);
    if (over == 0) return;
    unsigned drop = Bits - over;
    while (drop > 0) {
        Refill();
        if (Count == 0) return;
        const int n = int(std::min<unsigned>(drop, unsigned(Count)));
        Skip(n);
        drop -= unsigned(n);
    }
}

TCCITTDecoder::TCCITTDecoder(int32_t Options, bool SwapBits, bool WordAligned, uint32_t Width)
    : FT4Options(Options), FReverseBits(SwapBits), FAlignToWord(WordAligned), FRowWidth(Width) {}

bool TCCITTDecoder::BeginStrip(const uint8_t* Source, int32_t PackedSize, uint8_t* Dest,
                               int32_t UnpackedSize) {
    FDest = Dest;
    FDestSize = UnpackedSize > 0 ? size_t(UnpackedSize) : 0;
    if (FDestSize > 0) std::memset(FDest, 0, FDestSize);
    if (FDestSize == 0 || PackedSize <= 0 || FRowWidth == 0) return false;
    FRowBytes = (size_t(FRowWidth) + 7) / 8;
    FRows = uint32_t(std::min<size_t>((FDestSize + FRowBytes - 1) / FRowBytes, UINT32_MAX));

    if (FReverseBits) {
        // One pass over the strip, so the bit reader has one form; the caller's bytes stay as they are.
        FReversed.resize(size_t(PackedSize));
        std::transform(Source, Source + PackedSize, FReversed.begin(),
                       [](uint8_t b) { return ReverseTable[b]; });
        Source = FReversed.data();
    }
    FBits = TBitReader{};
    FBits.Start = FBits.Next = Source;
    FBits.End = Source + PackedSize;

    // A row has no more changes than pixels, nor more than its bits can code.
    const size_t capacity = size_t(std::min<uint64_t>(FRowWidth, 8 * uint64_t(PackedSize))) + 2;
    if (FChanges.size() < capacity + 4) {
        FChanges.resize(capacity + 4);
        FReference.resize(capacity + 4);
    }
    FChangeCount = 0;
    FReferenceCount = 0;
    std::fill_n(FReference.begin(), 4, FRowWidth);
    return true;
}

inline void TCCITTDecoder::AddChange(uint32_t Position) {
    // A change where the last one was makes a run of nothing: the two cancel.
    if (FChangeCount > 0 && FChanges[FChangeCount - 1] == Position)
        --FChangeCount;
    else if (FChangeCount < FChanges.size() - 4)
        FChanges[FChangeCount++] = Position;
}

inline int32_t TCCITTDecoder::ReadRun(bool White) {
    const TRunTable& table = White ? WhiteTable : BlackTable;
    uint32_t sum = 0;
    for (;;) {
        FBits.Refill();
        if (FBits.Count == 0) return int32_t(sum);
        const TRunEntry e = table.Entries[FBits.Peek(RunLookupBits)];
        if (e.Length > FBits.Count) {
            // The input ends inside this code.
            FBits.Skip(FBits.Count);
            return int32_t(sum);
        }
        FBits.Skip(e.Length);
        if (e.Run < 0) return e.Run;
        sum = std::min(sum + uint32_t(e.Run), RunCap);
        if (e.Run < 64) return int32_t(sum);
    }
}

int32_t TCCITTDecoder::DecodeRow1D(bool MarkersEndRow) {
    FChangeCount = 0;
    uint32_t pos = 0;
    bool white = true;
    while (pos < FRowWidth) {
        FBits.Refill();
        if (FBits.Empty()) return EndRowAt(pos, 0);
        const int32_t run = ReadRun(white);
        if (run < 0) {
            if (MarkersEndRow) return EndRowAt(pos, run);
        } else {
            pos = uint32_t(std::min<uint64_t>(uint64_t(pos) + uint32_t(run), FRowWidth));
            if (pos < FRowWidth) AddChange(pos);
        }
        white = !white;
    }
    return 0;
}

int32_t TCCITTDecoder::EndRowAt(int64_t Position, int32_t Result) {
    // A row that stops early is white from where it stopped: a black span still open closes
    // there (or vanishes when it has no pixels yet).
    if ((FChangeCount & 1) && Position < int64_t(FRowWidth))
        AddChange(uint32_t(std::max<int64_t>(Position, 0)));
    return Result;
}

int32_t TCCITTDecoder::DecodeRow2D() {
    FChangeCount = 0;
    const uint32_t* ref = FReference.data();
    const int64_t width = FRowWidth;
    int64_t a0 = -1; // before the first pixel
    bool white = true;
    size_t bi = 0;
    while (a0 < width) {
        FBits.Refill();
        if (FBits.Empty()) return EndRowAt(a0, 0);
        const TModeEntry m = ModeTable[FBits.Peek(ModeLookupBits)];
        if (m.Length > FBits.Count) {
            FBits.Skip(FBits.Count);
            return EndRowAt(a0, 0);
        }
        if (m.Mode == mdZeros) {
            if (FBits.Count >= 12 && FBits.Peek(12) == 1) {
                FBits.Skip(12);
                return EndRowAt(a0, EndOfLine);
            }
            return EndRowAt(a0, InvalidCode);
        }
        if (m.Mode == mdExtension) return EndRowAt(a0, InvalidCode); // uncompressed mode is not decoded

        // b1: the first change of the row above right of a0 to the colour opposite a0's; b2 the
        // next change after it. The reference list ends in sentinels at the row width.
        while (bi > 0 && int64_t(ref[bi - 1]) > a0) --bi;
        while (int64_t(ref[bi]) <= a0) ++bi;
        if ((bi & 1) != (white ? 0u : 1u)) ++bi;
        const int64_t b1 = ref[bi], b2 = ref[bi + 1];

        FBits.Skip(m.Length);
        if (m.Mode == mdPass) {
            a0 = b2;
        } else if (m.Mode == mdHorizontal) {
            const int64_t start = std::max<int64_t>(a0, 0);
            const int32_t r1 = ReadRun(white);
            if (r1 < 0) return EndRowAt(start, r1);
            const int64_t a1 = std::min<int64_t>(start + r1, width);
            if (a1 < width) AddChange(uint32_t(a1));
            const int32_t r2 = ReadRun(!white);
            if (r2 < 0) return EndRowAt(a1, r2);
            const int64_t a2 = std::min<int64_t>(a1 + r2, width);
            if (a2 < width) AddChange(uint32_t(a2));
            a0 = a2;
        } else {
            const int64_t a1 = std::min<int64_t>(b1 + m.Offset, width);
            if (a1 < 0 || a1 < a0) return EndRowAt(a0, InvalidCode);
            if (a1 < width) AddChange(uint32_t(a1));
            a0 = a1;
            white = !white;
        }
    }
    return 0;
}

void TCCITTDecoder::WriteRow(uint8_t* Row, size_t Bytes) const {
    const uint32_t limit = uint32_t(std::min<uint64_t>(uint64_t(Bytes) * 8, FRowWidth));
    for (size_t i = 0; i < FChangeCount; i += 2) {
        const uint32_t from = FChanges[i];
        const uint32_t to = std::min(i + 1 < FChangeCount ? FChanges[i + 1] : FRowWidth, limit);
        if (from >= to) break;
        FillBlack(Row, from, to);
    }
}

bool TCCITTDecoder::FinishRow(uint32_t Row) {
    if (Row >= FRows) return false;
    const size_t offset = size_t(Row) * FRowBytes;
    WriteRow(FDest + offset, std::min(FRowBytes, FDestSize - offset));
    std::swap(FChanges, FReference);
    FReferenceCount = FChangeCount;
    std::fill_n(FReference.begin() + ptrdiff_t(FReferenceCount), 4, FRowWidth);
    FChangeCount = 0;
    return true;
}

bool TCCITTDecoder::SkipToEndOfLine() {
    int zeros = 0;
    for (;;) {
        FBits.Refill();
        if (FBits.Count == 0) return false;
        const int lead = std::min(std::countl_zero(FBits.Window), FBits.Count);
        zeros = std::min(zeros + lead, 64);
        if (lead == FBits.Count) {
            FBits.Skip(lead);
            continue;
        }
        FBits.Skip(lead + 1);
        if (zeros >= 11) return true;
        zeros = 0;
    }
}

} // namespace ferronel
