// The decompressor interface of the reader library and its exception class. A reader makes one
// decoder per image, calls BeginDecode once, Decode per row or strip and EndDecode at the end.
//
// Decode's sizes: PackedSize is the number of bytes available at Source, UnpackedSize the number of
// units (bytes, samples or pixels, as each decoder says) wanted at Dest, which must hold that many.
// No decoder reads past PackedSize bytes or writes past UnpackedSize units, whatever the data says.
#pragma once

#include "host/Exceptions.h"
#include "host/Object.h"

#include <cstdint>
#include <string>

namespace ferronel {

FERRONEL_EXCEPTION(EGraphicCompression, Exception);

[[noreturn]] void CompressionError(const std::string& Msg);

class TDecoder : public TObject {
    FERRONEL_ABSTRACT_CLASS(TDecoder, TObject)
public:
    // Source and Dest are updated only where a decoder says so.
    virtual void Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) = 0;
    virtual void EndDecode() {}
    virtual void BeginDecode() {}
    // Dest must hold the worst case the encoder documents. Decoders without an encoder store
    // nothing.
    virtual void Encode(const uint8_t* Source, uint8_t* Dest, uint32_t Count, uint32_t& BytesStored);
    virtual void BeginEncode() {}
    virtual void EndEncode() {}
};

} // namespace ferronel
