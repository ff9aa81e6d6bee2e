#include "readers/decoders/Decoder.h"

namespace ferronel {

void CompressionError(const std::string& Msg) { throw EGraphicCompression(Msg); }

} // namespace ferronel
