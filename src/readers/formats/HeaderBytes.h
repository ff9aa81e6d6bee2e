// The two ways a reader reads its fixed-size header: a look for CanLoad that leaves the stream where
// it was, and the read of a load. Both parse through the header struct's own Parse.
#pragma once

#include "host/ByteReader.h"
#include "host/Stream.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace ferronel {

// The header at the stream position, when more than the header remains (a header alone holds no
// picture); the position is left as it was.
template <class THeader> std::optional<THeader> PeekHeader(TStream& Stream) {
    std::array<uint8_t, THeader::Size + 1> bytes;
    if (!PeekBytes(Stream, bytes.data(), bytes.size())) return std::nullopt;
    return THeader::Parse(std::span(bytes).template first<THeader::Size>());
}

// The header at the stream position; the stream moves past it. A short stream raises the host's
// stream read error.
template <class THeader> THeader ReadHeaderFrom(TStream& Stream) {
    std::array<uint8_t, THeader::Size> bytes;
    Stream.ReadBuffer(bytes.data(), bytes.size());
    return THeader::Parse(bytes);
}

} // namespace ferronel
