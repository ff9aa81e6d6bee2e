#include "readers/Decoder.h"

namespace ferronel {

void CompressionError(const std::string& Msg) { throw EGraphicCompression(Msg); }

} // namespace ferronel
