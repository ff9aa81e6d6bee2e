// The viewer window's test fixture: a window started on a command line, with keys sent to it and
// solid pictures to show.
#pragma once

#include "host/Bitmap.h"
#include "picture/Registrations.h"
#include "qt/MainWindow.h"
#include "support/TestData.h"

#include <QApplication>
#include <QKeyEvent>

#include <gtest/gtest.h>

namespace ferronel::qt {

// A solid picture of one colour (blue, green, red bytes), saved as a 24-bit bitmap.
inline std::string SolidPicture(const test::TTempDir& dir, const std::string& name, int32_t w, int32_t h,
                                uint8_t b, uint8_t g, uint8_t r) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = bitmap.ScanLine(y) + 3 * x;
            p[0] = b, p[1] = g, p[2] = r;
        }
    bitmap.SaveToFile(dir.Path(name));
    return dir.Path(name);
}

class TViewerFixture : public ::testing::Test {
protected:
    void SetUp() override { InitializePictureFormats(); }
    void Start(const std::vector<std::string>& args) {
        window = std::make_unique<TMainWindow>();
        window->show();
        window->Start(args);
        QApplication::processEvents();
    }
    QImage Grab() { return window->ClientArea().grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // A key press as the focused widget receives it (no shortcut handling).
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(window->focusWidget() ? window->focusWidget() : window.get(), &press);
        QApplication::processEvents();
    }
    test::TTempDir dir;
    std::unique_ptr<TMainWindow> window;
};

} // namespace ferronel::qt
