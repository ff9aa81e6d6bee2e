// Any graphic as a 32-bit bitmap: bitmaps are copied, graphics that know how become bitmaps
// themselves, anything else is drawn onto black. The fourth byte is opacity when the result's
// AlphaFormat says so.
#pragma once

namespace ferronel {

class TBitmap;
class TGraphic;

void RenderToBitmap(TGraphic& Graphic, TBitmap& Bitmap);

} // namespace ferronel
