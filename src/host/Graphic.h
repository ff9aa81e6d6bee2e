// The abstract picture class: something that loads from a file or stream, knows its size and draws
// itself into a rectangle of a canvas. Change and progress events let the viewer follow a load.
#pragma once

#include "host/Object.h"
#include "host/Palette.h"
#include "host/Types.h"

#include <functional>
#include <string>

namespace ferronel {

class TCanvas;
class TStream;

enum TProgressStage : uint8_t { psStarting, psRunning, psEnding };

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TProgressEvent = std::function<void(TObject* Sender, TProgressStage Stage, uint8_t PercentDone,
                                          bool RedrawNow, const TRect& R, const std::string& Msg)>;

class TGraphic : public TObject {
    FERRONEL_ABSTRACT_CLASS(TGraphic, TObject)
public:
    TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;

    virtual void Draw(TCanvas& Canvas, const TRect& Rect) = 0;
    virtual bool Empty() const = 0;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    virtual void SetWidth(int32_t Value) = 0;
    virtual void SetHeight(int32_t Value) = 0;
    virtual HPALETTE Palette() const { return nullptr; }
    virtual void SetPalette(HPALETTE) {}
    virtual bool Transparent() const { return FTransparent; }
    virtual void SetTransparent(bool Value);

    virtual void LoadFromStream(TStream& Stream) = 0;
    virtual void SaveToStream(TStream& Stream) = 0;
    virtual void LoadFromFile(const std::string& FileName);
    virtual void SaveToFile(const std::string& FileName);

    // Copies Source into this graphic; a source this class does not know is asked to assign itself
    // (AssignTo). Neither side knowing the other raises "Cannot assign a %s to a %s."
    virtual void Assign(const TObject& Source);

    bool Modified() const { return FModified; }
    void SetModified(bool Value);

    TNotifyEvent OnChange;
    TProgressEvent OnProgress;

    // Fires OnChange and marks the graphic modified.
    virtual void Changed(TObject* Sender);
    void Progress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow, const TRect& R,
                  const std::string& Msg);

protected:
    [[noreturn]] void AssignError(const TObject& Source) const;

private:
    bool FTransparent = false;
    bool FModified = false;
};

using TGraphicClass = const TClass*;

} // namespace ferronel
