// Inflate, against zlib: whenever zlib inflates the bytes as raw deflate data to their end, this
// library's deflate stream gives the same bytes; whenever zlib refuses them (damaged or cut short),
// this one raises its error or does not reach the end. Reads come in pieces of varying size.
#include "host/Exceptions.h"
#include "linear/DeflateStream.h"
#include "linear/MemStream.h"

#include <zlib.h>

#include <cstdint>
#include <vector>

using namespace ferronel;

namespace {
constexpr size_t OutputCap = size_t(1) << 21;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    std::vector<uint8_t> expected(OutputCap);
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<Bytef*>(Data);
    z.avail_in = uInt(Size);
    z.next_out = expected.data();
    z.avail_out = uInt(expected.size());
    const int rc = inflate(&z, Z_FINISH);
    expected.resize(z.total_out);
    const bool zlibEnded = rc == Z_STREAM_END;
    const bool zlibRefused = !zlibEnded && z.avail_out > 0;
    inflateEnd(&z);

    std::vector<uint8_t> got;
    bool raised = false, finished = false;
    try {
        linear::TMemStream source;
        source.Write(Data, int32_t(Size));
        source.SetPosition(0);
        linear::TDeflateStream inflate(source, linear::TDeflateStream::dmDecompress);
        inflate.SetExactTransfers(false);
        std::vector<uint8_t> piece(70000);
        size_t step = 1 + Size % 7;
        while (got.size() <= OutputCap) {
            const int32_t want = int32_t(step);
            const int32_t n = inflate.Read(piece.data(), want);
            got.insert(got.end(), piece.begin(), piece.begin() + n);
            if (n < want) break;
            step = step * 3 % 65521 + 1;
        }
        finished = inflate.Finished();
    } catch (const Exception&) {
        raised = true;
    }
    if (zlibEnded && (raised || !finished || got != expected)) __builtin_trap();
    if (zlibRefused && finished && !raised) __builtin_trap();
    return 0;
}
