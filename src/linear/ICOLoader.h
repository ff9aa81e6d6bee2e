// The loader for icon and cursor files: it reads every image of the file, lets the user (through a
// hook the window layer installs) pick one image and the colour transparent pixels get, and writes a
// picture back as a one-image icon or cursor.
#pragma once

#include "host/Types.h"
#include "linear/BitmapLoader.h"
#include "linear/IconList.h"
#include "linear/LinearBitmap.h"
#include "linear/LinearGraphic.h"

#include <functional>

namespace ferronel::linear {

// What the selection dialog answers: OK or not, the chosen image and the transparent colour.
struct TIconSelection {
    bool Ok = false;
    int32_t Index = 0;
    TColor Color = 0;
};
using TIconSelectionDialog = std::function<TIconSelection(const TIconList& List, TColor Color)>;

class TICOLoader : public TBitmapLoader {
    FERRONEL_CLASS(TICOLoader, TBitmapLoader)
public:
    std::string GetLoadFilter() override;
    void LoadFromStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) override;
    void SaveToStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) override;

    // 0x00BBGGRR: given to transparent pixels on loading; pixels of it become transparent on saving.
    TColor TransparentColor = 0x00FF00FF;
    // The first image, without asking. Without a selection dialog installed loads behave the same.
    bool NoSelection = false;
    // The hot spot of the last cursor loaded, written into saved files.
    uint16_t HotSpotX = 0;
    uint16_t HotSpotY = 0;

    // The window layer's dialog, shown when a file is loaded and NoSelection is off; an empty
    // function removes it. When it answers anything but OK the load raises EAbort, which callers
    // pass over without a message.
    static void SetSelectionDialog(TIconSelectionDialog Dialog);
};

// An image of the list as a picture: transparent pixels get Color. 1, 4 and 8-bit images become
// 8-bit pictures with the image's palette (and Color as entry 255 when the palette lacks it); 24-bit
// images, and 8-bit ones whose palette lacks Color, become 24-bit pictures.
void IconImageToBitmap(const TIconImage& Image, TColor Color, TLinearBitmap& Bitmap);

// Serves "cur" in the picture registry (the host's icon class keeps "ico").
class TCURGraphic : public TLinearGraphic {
    FERRONEL_CLASS(TCURGraphic, TLinearGraphic)
public:
    void LoadFromStream(TStream& Stream) override { LoadWithExtension(Stream, "CUR"); }
    void SaveToStream(TStream& Stream) override { SaveWithExtension(Stream, "CUR"); }
};

TICOLoader& ICOLoader();
// The module's start-up with the picture registry: "cur" joins it; at exit it leaves.
void InitializeICOLoader();
void FinalizeICOLoader();

} // namespace ferronel::linear
