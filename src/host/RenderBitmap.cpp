#include "host/RenderBitmap.h"

#include "host/Bitmap.h"
#include "host/Canvas.h"

namespace ferronel {

void RenderToBitmap(TGraphic& Graphic, TBitmap& Bitmap) {
    if (auto* bitmap = dynamic_cast<TBitmap*>(&Graphic)) {
        Bitmap.Assign(*bitmap);
    } else if (!Graphic.AssignTo(Bitmap)) {
        Bitmap.FreeImage();
        Bitmap.SetPixelFormat(pf32bit);
        Bitmap.SetSize(Graphic.Width(), Graphic.Height());
        Bitmap.Canvas().BrushColor = clBlack;
        Bitmap.Canvas().FillRect(TRect{0, 0, Bitmap.Width(), Bitmap.Height()});
        Graphic.Draw(Bitmap.Canvas(), TRect{0, 0, Bitmap.Width(), Bitmap.Height()});
    }
    Bitmap.SetPixelFormat(pf32bit);
}

} // namespace ferronel
