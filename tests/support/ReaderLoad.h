// Loading a reader from bytes in the tests: the picture, its rows, and the message of a refusal.
#pragma once

#include "host/Bitmap.h"
#include "host/Exceptions.h"
#include "host/Stream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ferronel::test {

template <class TReader> std::unique_ptr<TReader> LoadAs(const std::vector<uint8_t>& Bytes) {
    TMemoryStream stream(Bytes);
    auto reader = std::make_unique<TReader>();
    reader->LoadFromStream(stream);
    return reader;
}

// The message of the system's exception a load raises; empty when it loads.
template <class TReader> std::string LoadMessage(const std::vector<uint8_t>& Bytes) {
    try {
        LoadAs<TReader>(Bytes);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

// The first N bytes of row Y.
inline std::vector<uint8_t> RowBytes(const TBitmap& Bitmap, int32_t Y, size_t N) {
    return std::vector<uint8_t>(Bitmap.ScanLine(Y), Bitmap.ScanLine(Y) + N);
}

} // namespace ferronel::test
