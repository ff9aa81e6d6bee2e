// The viewer's main window, without a toolkit: start-up, loading, zoom and fit, keys, wheel and
// the menu commands, over the control models. A window system (the Qt layer, or a fake in tests)
// shows the models, runs the dialog and closes the window.
#pragma once

#include "app/Associations.h"
#include "app/Controls.h"
#include "app/DesktopAssociations.h"
#include "app/FileListBox.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace ferronel::app {

inline constexpr const char* MainCaption = "Ferronel v0.47.16.4";

struct TViewState {
    int32_t ImageWidth = 0;
    int32_t ImageHeight = 0;
    int32_t ZoomPercent = 0;
    int32_t CurrentIndex = 0;
    int32_t SavedLeft = 0, SavedTop = 0, SavedWidth = 0, SavedHeight = 0;
    uint8_t SavedWindowState = 0;
    int32_t DragX = 0, DragY = 0;
    bool Dragging = false;
};

// The program's folder with a trailing separator, from argument 0; empty without a separator.
std::string ComputeProgramPath(const std::string& Argument0);

class IWindowSystem {
public:
    virtual ~IWindowSystem() = default;
    // Runs the open-picture dialog modally; answers whether a file was chosen (its path is then in
    // Dialog.FileName).
    virtual bool ExecuteOpenDialog(TOpenPictureDialog& Dialog) = 0;
    virtual void CloseWindow() = 0;
};

// Host virtual-key codes the window handles.
enum : uint16_t { VK_PRIOR = 33, VK_NEXT = 34, VK_END = 35, VK_HOME = 36, VK_ADD = 107, VK_SUBTRACT = 109 };

class TForm1 {
public:
    // Creates the window from its layout; the open dialog's filter is built from the picture
    // registry as it stands.
    explicit TForm1(IWindowSystem& WindowSystem);
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // Arguments are the command line without the program (argument 1 first).
    void FormCreate(const std::vector<std::string>& Arguments);
    void LoadImage(const std::string& FileName);
    void ZoomImage();
    void FormResize();
    void FormKeyDown(uint16_t Key);
    void FormMouseWheel(int32_t WheelDelta);

    void Open1Click();
    void Close1Click();
    void Exit1Click();
    void N4001Click() { ZoomTo(400, *N4001); }
    void N2001Click() { ZoomTo(200, *N2001); }
    void N1001Click() { ZoomTo(100, *N1001); }
    void N501Click() { ZoomTo(50, *N501); }
    void N251Click() { ZoomTo(25, *N251); }
    void ofit1Click();
    void Keepzoomfactor1Click();
    void Enlargetofit1Click();
    void Shrinktofit1Click();
    void Keepaspectratio1Click();

    // Browser mode, fullscreen and panning.
    void Browsermode1Click();
    void Fullscreenmode1Click();
    void FileListBox1Change();
    void Image1MouseDown(int32_t X, int32_t Y);
    void Image1MouseMove(int32_t X, int32_t Y);
    void Image1MouseUp();

    // The association panel.
    void Fileassociations1Click();
    void Button2Click(); // "All"
    void Button3Click(); // "None"
    void Button4Click(); // "Apply"
    void Button5Click(); // "Cancel"

    TViewState ViewState;
    TWindow Window;
    TMenuItem MainMenu{"MainMenu1", ""};
    TImageControl Image1;
    TPanel Panel1, Panel2;
    TFileListBox FileListBox1;
    TOpenPictureDialog OpenPictureDialog1;
    std::vector<TCheckBox> CheckBoxes; // the association panel's, one per type of AssociationTypes()

    // The program's folder with its trailing separator; the associations name the program in it.
    std::string ProgramPath;
    // Makes the association store's object for one handler; without it the panel reads nothing.
    TRegistryFactory CreateRegistry;
    // Where the desktop's associations go; read from the environment when empty.
    TXdgFolders XdgFolders;
    // The image plug-ins' folder; empty means "plugins/" in ProgramPath.
    std::string PluginFolder;
    // Where FormCreate names the plug-in files it left out, and why (standard error; none: quiet).
    std::ostream* PluginReport;

    // The menu items the handlers use.
    TMenuItem *Open1, *Saveas1, *Close1, *Exit1;
    TMenuItem *N4001, *N2001, *N1001, *N501, *N251, *ofit1;
    TMenuItem *Keepzoomfactor1, *Enlargetofit1, *Shrinktofit1, *Keepaspectratio1, *Browsermode1,
        *Fullscreenmode1, *Fileassociations1;

private:
    void BuildMenu();
    void ZoomTo(int32_t Percent, TMenuItem& Item);
    void CheckZoomItem(int32_t Percent);
    void UncheckZoomGroup();
    void ZoomIn();
    void ZoomOut();
    // Applies a path to the file list and shows the selected file once: through the list's change
    // event when the selection moved, directly otherwise.
    void ApplyPathAndLoad(const std::string& Path);
    std::unique_ptr<TRegistry> OpenRegistry();

    int32_t FChangeLoads = 0;

    IWindowSystem& FWindowSystem;
};

} // namespace ferronel::app
