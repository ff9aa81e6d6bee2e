// The one shape of a reader's fuzz target. The bytes are loaded into a fresh graphic of the reader's
// class under a small pixel-buffer limit (the limit itself is tested elsewhere); a CanLoad that
// moves the stream is a failure; the system's own exceptions end an input quietly, anything else
// escapes to the fuzzer. What loads is handed to the target's follow-up (draw, save and read back).
//
//   FERRONEL_FUZZ_READER(TTargaGraphic, 1 << 20, [](TTargaGraphic& Targa) { ... })
#pragma once

#include "host/Exceptions.h"
#include "host/Limits.h"
#include "host/Stream.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ferronel::fuzz {

template <class TReader, class TFollowUp>
int FuzzReader(const uint8_t* Data, size_t Size, uint64_t PixelBufferLimit, TFollowUp FollowUp) {
    SetPixelBufferLimit(PixelBufferLimit);
    TMemoryStream stream(Data, Size);
    TReader reader;
    try {
        if constexpr (requires(const TReader& r, TStream& s) { r.CanLoad(s); }) {
            reader.CanLoad(stream);
            if (stream.Position() != 0) __builtin_trap();
        }
        reader.LoadFromStream(stream);
        FollowUp(reader);
    } catch (const Exception&) {
    }
    return 0;
}

// For targets whose follow-up must not raise at all (drawing, decoding records): the graphic the
// bytes load into, or nothing when the system refuses them.
template <class TReader> std::unique_ptr<TReader> LoadOrRefuse(const uint8_t* Data, size_t Size) {
    TMemoryStream stream(Data, Size);
    auto reader = std::make_unique<TReader>();
    try {
        reader->LoadFromStream(stream);
    } catch (const Exception&) {
        return nullptr;
    }
    return reader;
}

} // namespace ferronel::fuzz

#define FERRONEL_FUZZ_READER(Reader, PixelBufferLimit, FollowUp)                                             \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {                                \
        return ferronel::fuzz::FuzzReader<Reader>(Data, Size, PixelBufferLimit, FollowUp);                   \
    }
