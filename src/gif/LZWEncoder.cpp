#include "gif/LZWEncoder.h"

namespace ferronel {

void TLZWEncoder::EmitCode(uint32_t Code) {
    PutCode(Code);
    if (ClearPending) {
        ClearPending = false;
        CodeWidth = InitialCodeWidth;
        MaxCode = (1u << CodeWidth) - 1;
    } else if (FNextFreeCode > MaxCode) {
        // The decoder widens once its table reaches the next power of two, one code later than the
        // encoder's table; it stays at 12 bits.
        if (CodeWidth < MaxGIFCodeWidth) ++CodeWidth;
        MaxCode = CodeWidth < MaxGIFCodeWidth ? (1u << CodeWidth) - 1 : GIFTableSize;
    }
}

void TLZWEncoder::ResetCodes() {
    TGIFEncoder::ResetCodes();
    FHashTable.Clear();
    FNextFreeCode = ClearCode + 2;
}

void TLZWEncoder::EncodePixels() {
    ResetCodes();
    bool first = true;
    uint32_t prefix = 0;
    // Locals, because every byte written could alias the fields as far as the compiler knows.
    const uint32_t colors = ColorCount;
    const bool checked = colors < 256;
    THashTable& table = FHashTable;
    ForEachSpan([&](const uint8_t* Span, size_t Count) {
        size_t i = 0;
        if (first) {
            CheckIndex(Span[0]);
            prefix = Span[0];
            first = false;
            i = 1;
        }
        for (; i < Count; ++i) {
            const uint8_t c = Span[i];
            if (checked && c >= colors) CheckIndex(c);
            const uint32_t key = (prefix << 8) | c;
            uint32_t slot = 0;
            const int32_t code = table.Find(key, slot);
            if (code >= 0) {
                prefix = uint32_t(code);
                continue;
            }
            TLZWEncoder::EmitCode(prefix);
            prefix = c;
            if (FNextFreeCode > GIFTableSize - 2) {
                ResetCodes();
            } else {
                table.Insert(slot, key, FNextFreeCode);
                ++FNextFreeCode;
            }
        }
    });
    TLZWEncoder::EmitCode(prefix);
}

} // namespace ferronel
