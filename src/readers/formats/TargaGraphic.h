// Truevision Targa images: colour-mapped, true-colour and grey, uncompressed or run-length
// encoded; and writing the bitmap it holds as a run-length encoded Targa file.
#pragma once

#include "readers/ReaderGraphic.h"

namespace ferronel {

class TTargaGraphic : public TReaderGraphic {
    FERRONEL_CLASS(TTargaGraphic, TReaderGraphic)
public:
    bool CanLoad(TStream& Stream) const override;
    using TReaderGraphic::CanLoad;
    bool LoadImageProperties(TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) override;
    // The writer; SaveToStream compresses.
    void SaveToStream(TStream& Stream, bool Compressed);
};

} // namespace ferronel
