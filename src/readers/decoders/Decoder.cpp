#include "readers/decoders/Decoder.h"

namespace ferronel {

void CompressionError(const std::string& Msg) { throw EGraphicCompression(Msg); }

void TDecoder::Encode(const uint8_t*, uint8_t*, uint32_t, uint32_t& BytesStored) { BytesStored = 0; }

} // namespace ferronel
