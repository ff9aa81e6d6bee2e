// Windows metafiles (wmf, emf). The class is registered with the picture registry so that these
// files reach it; reading and drawing their records is not built yet, so a load reports that.
#pragma once

#include "host/Graphic.h"

namespace ferronel {

class TMetafile : public TGraphic {
    FERRONEL_CLASS(TMetafile, TGraphic)
public:
    void Draw(TCanvas&, const TRect&) override {}
    bool Empty() const override { return true; }
    int32_t Width() const override { return 0; }
    int32_t Height() const override { return 0; }
    void SetWidth(int32_t) override {}
    void SetHeight(int32_t) override {}
    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) override;
};

} // namespace ferronel
