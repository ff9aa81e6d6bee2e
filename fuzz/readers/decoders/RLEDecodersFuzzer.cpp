// Runs each run-length decoder over arbitrary bytes into a destination of exactly the size asked
// for: the first byte picks the decoder, the next two the number of units.
#include "readers/decoders/RLEDecoders.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    using namespace ferronel;
    if (Size < 3) return 0;
    const uint8_t kind = Data[0] % 11;
    const int32_t units = Data[1] | Data[2] << 8;
    Data += 3;
    Size -= 3;
    static const uint32_t targaDepths[] = {8, 15, 16, 24, 32};
    std::unique_ptr<TDecoder> decoder;
    size_t unitBytes = 1;
    if (kind < 5) {
        decoder = std::make_unique<TTargaRLEDecoder>(targaDepths[kind]);
        unitBytes = (targaDepths[kind] + 1) / 8;
    } else if (kind == 5) {
        decoder = std::make_unique<TPackbitsRLEDecoder>();
    } else if (kind == 6) {
        decoder = std::make_unique<TPCXRLEDecoder>();
    } else if (kind == 7) {
        decoder = std::make_unique<TSGIRLEDecoder>(Size % 2 ? 16 : 8);
        unitBytes = Size % 2 ? 2 : 1;
    } else if (kind == 8) {
        decoder = std::make_unique<TCUTRLEDecoder>();
    } else if (kind == 9) {
        decoder = std::make_unique<TPSPRLEDecoder>();
    } else {
        decoder = std::make_unique<TRLADecoder>();
    }
    // Exactly sized heap blocks, so any step outside is caught.
    std::unique_ptr<uint8_t[]> source(new uint8_t[Size ? Size : 1]);
    std::copy(Data, Data + Size, source.get());
    std::unique_ptr<uint8_t[]> dest(new uint8_t[size_t(units) * unitBytes + 1]);
    const uint8_t* s = source.get();
    uint8_t* d = dest.get();
    decoder->Decode(s, d, int32_t(Size), units);
    if (s < source.get() || s > source.get() + Size) __builtin_trap();

    // The Targa encoder's output must decode to its input.
    if (kind < 5 && Size >= unitBytes) {
        const uint32_t count = uint32_t(Size / unitBytes);
        std::vector<uint8_t> packed(size_t(count) * (unitBytes + 1));
        uint32_t stored = 0;
        decoder->Encode(source.get(), packed.data(), count, stored);
        std::vector<uint8_t> unpacked(size_t(count) * unitBytes);
        const uint8_t* p = packed.data();
        uint8_t* u = unpacked.data();
        decoder->BeginDecode();
        decoder->Decode(p, u, int32_t(stored), int32_t(count));
        if (stored > packed.size() || !std::equal(unpacked.begin(), unpacked.end(), source.get()))
            __builtin_trap();
    }
    return 0;
}
