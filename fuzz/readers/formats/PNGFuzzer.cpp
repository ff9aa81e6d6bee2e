// Arbitrary bytes as a PNG file; what loads is turned into 32-bit pixels, through its palette.
// Mutated chunks almost never keep a right CRC, which would stop every input at the first changed
// chunk; so for inputs of even length the target writes the right CRC into every whole chunk
// before loading, and odd lengths keep the CRCs as they are.
#include "fuzz/support/FuzzReader.h"
#include "host/ByteReader.h"
#include "readers/formats/PNGGraphic.h"

#include <vector>

using namespace ferronel;

namespace {

void FixCRCs(std::vector<uint8_t>& File) {
    size_t at = 8;
    while (at + 12 <= File.size()) {
        const uint64_t length = LoadU32BE(File.data() + at);
        if (length > File.size() - at - 12) break;
        const size_t end = at + 8 + size_t(length);
        StoreU32BE(File.data() + end, uint32_t(crc32(0, File.data() + at + 4, uInt(length + 4))));
        at = end + 4;
    }
}

void FollowUp(TPNGGraphic& Png) {
    TBitmap copy;
    copy.Assign(Png);
    copy.SetPixelFormat(pf32bit);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    std::vector<uint8_t> file(Data, Data + Size);
    if (Size % 2 == 0) FixCRCs(file);
    return ferronel::fuzz::FuzzReader<TPNGGraphic>(file.data(), file.size(), 1 << 20, FollowUp);
}
