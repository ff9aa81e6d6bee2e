#include "gif/GIFWriter.h"

#include "host/Stream.h"

namespace ferronel {

void TGIFWriter::WriteBlock() {
    FBlock[0] = uint8_t(FBlockFill - 1);
    FTarget.WriteBuffer(FBlock.data(), FBlockFill);
    FBlockFill = 1;
}

} // namespace ferronel
