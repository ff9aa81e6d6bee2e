#include "linear/LinearGraphic.h"

#include "host/Stream.h"
#include "linear/HostStreams.h"

namespace ferronel::linear {

void TLinearGraphic::BitmapChanged() {
    FDrawn.reset();
    Changed(this);
}

void TLinearGraphic::Draw(TCanvas& Canvas, const TRect& Rect) {
    if (!FBitmap.Present()) return;
    if (!FDrawn) {
        auto drawn = std::make_unique<TBitmap>();
        FBitmap.AssignTo(*drawn);
        FDrawn = std::move(drawn);
    }
    FDrawn->Draw(Canvas, Rect);
}

void TLinearGraphic::SetWidth(int32_t Value) {
    FBitmap.Resize(Value, FBitmap.Height(), 0, 0, 0);
    BitmapChanged();
}

void TLinearGraphic::SetHeight(int32_t Value) {
    FBitmap.Resize(FBitmap.Width(), Value, 0, 0, 0);
    BitmapChanged();
}

bool TLinearGraphic::AssignTo(TObject& Dest) const {
    if (auto* other = dynamic_cast<TLinearGraphic*>(&Dest)) {
        other->FBitmap.Assign(FBitmap);
        other->BitmapChanged();
        return true;
    }
    return FBitmap.AssignTo(Dest);
}

void TLinearGraphic::Assign(const TObject& Source) {
    if (&Source == this) return;
    if (const auto* other = dynamic_cast<const TLinearGraphic*>(&Source))
        FBitmap.Assign(other->FBitmap);
    else
        FBitmap.Assign(Source);
    BitmapChanged();
}

void TLinearGraphic::LoadFromFile(const std::string& FileName) {
    FDrawn.reset();
    FBitmap.LoadFromFile(FileName);
    BitmapChanged();
}

void TLinearGraphic::SaveToFile(const std::string& FileName) { FBitmap.SaveToFile(FileName); }

void TLinearGraphic::LoadFromStream(TStream& Stream) {
    TBitmap through;
    through.LoadFromStream(Stream);
    FBitmap.Assign(through);
    BitmapChanged();
}

void TLinearGraphic::SaveToStream(TStream& Stream) {
    TBitmap through;
    FBitmap.AssignTo(through);
    through.SaveToStream(Stream);
}

void TLinearGraphic::LoadWithExtension(TStream& Stream, const std::string& Ext) {
    FDrawn.reset();
    THostFilterStream stream(Stream);
    FBitmap.LoadFromStream(stream, Ext);
    BitmapChanged();
}

void TLinearGraphic::SaveWithExtension(TStream& Stream, const std::string& Ext) {
    THostFilterStream stream(Stream);
    FBitmap.SaveToStream(stream, Ext);
}

} // namespace ferronel::linear
