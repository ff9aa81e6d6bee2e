// Toolkit-free models of the controls the viewer window uses. The viewer's logic reads and sets
// them; the window-system layer shows them and feeds events back.
#pragma once

#include "host/Picture.h"
#include "host/Types.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ferronel::app {

class TMenuItem {
public:
    TMenuItem(std::string AName, std::string ACaption, std::string AShortCut = "", bool AEnabled = true)
        : Name(std::move(AName)), Caption(std::move(ACaption)), ShortCut(std::move(AShortCut)),
          Enabled(AEnabled) {}

    std::string Name;
    std::string Caption;  // "-" for a separator
    std::string ShortCut; // in the portable text form, e.g. "Ctrl+O", "Shift+Ctrl+Z", "Esc"
    bool Enabled = true;
    bool Checkable = false; // shows a check mark when Checked
    bool Checked = false;
    bool Visible = true;
    std::function<void()> OnClick;

    TMenuItem& Add(std::unique_ptr<TMenuItem> Item);
    const std::vector<std::unique_ptr<TMenuItem>>& Items() const { return FItems; }
    bool IsSeparator() const { return Caption == "-"; }
    // Runs OnClick when the item is enabled and has one.
    void Click() const;

private:
    std::vector<std::unique_ptr<TMenuItem>> FItems;
};

enum TWindowState : uint8_t { wsNormal, wsMinimized, wsMaximized };
enum TBorderStyle : uint8_t { bsNone, bsSizeable };

struct TWindow {
    std::string Caption;
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    int32_t ClientWidth = 0, ClientHeight = 0;
    TWindowState WindowState = wsNormal;
    TBorderStyle BorderStyle = bsSizeable;
    bool DoubleBuffered = false;
};

struct TPanel {
    bool Visible = false;
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
};

struct TCheckBox {
    std::string Caption;
    bool Checked = false;
};

// The image control: a rectangle that stretches its picture into itself, centred, keeping the
// aspect ratio while Proportional is on.
class TImageControl {
public:
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    bool Proportional = true;
    TPicture Picture;

    void SetBounds(int32_t L, int32_t T, int32_t W, int32_t H) { Left = L, Top = T, Width = W, Height = H; }
    // Where the picture is drawn, relative to the control.
    TRect PictureRect() const;
};

// The open-picture dialog: its filter ("description|pattern" pairs) and the file chosen.
struct TOpenPictureDialog {
    std::string Filter;
    std::string FileName;
};

} // namespace ferronel::app
