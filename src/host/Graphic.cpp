#include "host/Graphic.h"

#include "host/Exceptions.h"
#include "host/Format.h"
#include "host/Stream.h"

namespace ferronel {

void TGraphic::SetTransparent(bool Value) {
    if (Value != FTransparent) {
        FTransparent = Value;
        Changed(this);
    }
}

void TGraphic::LoadFromFile(const std::string& FileName) {
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& FileName) {
    TFileStream stream(FileName, fmCreate);
    SaveToStream(stream);
}

void TGraphic::Assign(const TObject& Source) {
    if (!Source.AssignTo(*this)) AssignError(Source);
}

void TGraphic::AssignError(const TObject& Source) const {
    throw EConvertError(Format("Cannot assign a %s to a %s.", {Source.ClassType()->Name, ClassType()->Name}));
}

void TGraphic::SetModified(bool Value) {
    if (Value)
        Changed(this);
    else
        FModified = false;
}

void TGraphic::Changed(TObject*) {
    FModified = true;
    if (OnChange) OnChange(this);
}

void TGraphic::Progress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow,
                        const TRect& R, const std::string& Msg) {
    if (OnProgress) OnProgress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
}

} // namespace ferronel
