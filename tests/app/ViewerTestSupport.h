// What the viewer logic's tests share: a window system whose open dialog answers a chosen file, the
// picture formats registered before a form is made, and blank pictures of chosen sizes.
#pragma once

#include "app/MainForm.h"
#include "host/Bitmap.h"
#include "picture/Registrations.h"
#include "support/TestData.h"

namespace ferronel::app {

class TFakeWindowSystem : public IWindowSystem {
public:
    std::string ChosenFile; // empty: the dialog is cancelled
    int Closed = 0;
    bool ExecuteOpenDialog(TOpenPictureDialog& Dialog) override {
        Dialog.FileName = ChosenFile;
        return !ChosenFile.empty();
    }
    void CloseWindow() override { ++Closed; }
};

// The window builds its dialog filter from the registry, so a fixture holds this before its form.
struct TPictureFormats {
    TPictureFormats() { InitializePictureFormats(); }
};

inline std::string BlankPicture(const test::TTempDir& dir, const std::string& name, int32_t w, int32_t h) {
    TBitmap b;
    b.SetPixelFormat(pf1bit);
    b.SetSize(w, h);
    b.SaveToFile(dir.Path(name));
    return dir.Path(name);
}

} // namespace ferronel::app
