// zlib streams for tests of the readers that inflate.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <vector>

namespace ferronel::test {

// A whole zlib stream of Raw.
inline std::vector<uint8_t> Deflate(const std::vector<uint8_t>& Raw) {
    uLongf size = compressBound(uLong(Raw.size()));
    std::vector<uint8_t> out(size);
    compress(out.data(), &size, Raw.data(), uLong(Raw.size()));
    out.resize(size);
    return out;
}

// A stream that holds the first Keep bytes of Raw and stops there, without its end.
inline std::vector<uint8_t> DeflateCut(const std::vector<uint8_t>& Raw, size_t Keep) {
    z_stream z{};
    deflateInit(&z, 6);
    std::vector<uint8_t> out(Keep + 64);
    z.next_in = const_cast<Bytef*>(Raw.data());
    z.avail_in = uInt(Keep);
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_SYNC_FLUSH);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

} // namespace ferronel::test
