#include "app/Controls.h"

namespace ferronel::app {

TMenuItem& TMenuItem::Add(std::unique_ptr<TMenuItem> Item) {
    FItems.push_back(std::move(Item));
    return *FItems.back();
}

void TMenuItem::Click() const {
    if (Enabled && OnClick) OnClick();
}

TRect TImageControl::PictureRect() const {
    const int32_t w = Picture.Width(), h = Picture.Height();
    const int32_t cw = Width, ch = Height;
    int32_t pw = cw, ph = ch;
    if (Proportional && w > 0 && h > 0) {
        const double aspect = double(w) / double(h);
        if (w > h) {
            pw = cw;
            ph = int32_t(cw / aspect);
            if (ch < ph) {
                ph = ch;
                pw = int32_t(aspect * ch);
            }
        } else {
            ph = ch;
            pw = int32_t(aspect * ch);
            if (cw < pw) {
                pw = cw;
                ph = int32_t(cw / aspect);
            }
        }
    }
    const int32_t left = (cw - pw) / 2, top = (ch - ph) / 2;
    return TRect{left, top, left + pw, top + ph};
}

} // namespace ferronel::app
