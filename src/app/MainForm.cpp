#include "app/MainForm.h"

#include "host/Graphic.h"
#include "plugins/ImageDLLLoader.h"

#include <algorithm>
#include <iostream>

namespace ferronel::app {

std::string ComputeProgramPath(const std::string& Argument0) {
    const size_t slash = Argument0.rfind('/');
    return slash == std::string::npos ? std::string() : Argument0.substr(0, slash + 1);
}

TForm1::TForm1(IWindowSystem& WindowSystem) : PluginReport(&std::cerr), FWindowSystem(WindowSystem) {
    Window.Caption = MainCaption;
    Window.Left = 228;
    Window.Top = 125;
    Window.Width = 783;
    Window.Height = 540;
    Window.ClientWidth = 775;
    Window.ClientHeight = 513;
    Image1.SetBounds(0, 0, 775, 513);
    Panel1.Width = 185;
    Panel2 = TPanel{false, 208, 16, 265, 457};
    for (const TAssociationType& type : AssociationTypes()) CheckBoxes.push_back(TCheckBox{type.Caption});
    FileListBox1.OnChange = [this] { FileListBox1Change(); };
    FileListBox1.Height = 273;
    BuildMenu();
    OpenPictureDialog1.Filter = GraphicFilter(TGraphic::ClassInfo());
}

void TForm1::BuildMenu() {
    auto item = [](TMenuItem& parent, const char* name, const char* caption, const char* shortcut = "",
                   bool enabled = true) -> TMenuItem& {
        return parent.Add(std::make_unique<TMenuItem>(name, caption, shortcut, enabled));
    };
    auto separator = [&](TMenuItem& parent) { item(parent, "", "-"); };

    TMenuItem& file = item(MainMenu, "File1", "File");
    Open1 = &item(file, "Open1", "Open", "Ctrl+O");
    Saveas1 = &item(file, "Saveas1", "Save as", "Ctrl+S", false);
    Close1 = &item(file, "Close1", "Close", "Ctrl+X");
    separator(file);
    Exit1 = &item(file, "Exit1", "Exit", "Esc");

    TMenuItem& edit = item(MainMenu, "Edit1", "Edit");
    item(edit, "Undo1", "Undo", "Ctrl+Z", false);
    item(edit, "Redo1", "Redo", "Shift+Ctrl+Z", false);
    item(edit, "Cancelallchanges1", "Cancel all changes", "Ctrl+Alt+Z", false);

    TMenuItem& options = item(MainMenu, "Options1", "Options");
    item(options, "Rememberprogramstateonexit1", "Remember program state on exit", "", false).Checked = true;
    item(options, "Saveprogramstatenow1", "Save program state now", "Shift+Ctrl+S", false);
    separator(options);
    Fileassociations1 = &item(options, "Fileassociations1", "File associations");

    TMenuItem& view = item(MainMenu, "View1", "View");
    TMenuItem& zoom = item(view, "Zoom1", "Zoom");
    N4001 = &item(zoom, "N4001", "400%");
    N2001 = &item(zoom, "N2001", "200%");
    N1001 = &item(zoom, "N1001", "100%");
    N1001->Checked = true;
    N501 = &item(zoom, "N501", "50%");
    N251 = &item(zoom, "N251", "25%");
    ofit1 = &item(zoom, "ofit1", "To fit");
    Keepzoomfactor1 = &item(view, "Keepzoomfactor1", "Keep zoom factor");
    separator(view);
    Enlargetofit1 = &item(view, "Enlargetofit1", "Enlarge to fit");
    Enlargetofit1->Checked = true;
    Shrinktofit1 = &item(view, "Shrinktofit1", "Shrink to fit");
    Shrinktofit1->Checked = true;
    Keepaspectratio1 = &item(view, "Keepaspectratio1", "Keep aspect ratio");
    Keepaspectratio1->Checked = true;
    separator(view);
    Browsermode1 = &item(view, "Browsermode1", "Browser mode", "Enter");
    Fullscreenmode1 = &item(view, "Fullscreenmode1", "Fullscreen mode", "Ctrl+F");

    TMenuItem& slideshow = item(MainMenu, "Slideshow1", "Slideshow");
    item(slideshow, "Startslideshowplay1", "Start slideshow (play)", "Ctrl+P", false);
    separator(slideshow);
    item(slideshow, "Playonce1", "Play once", "", false).Checked = true;
    item(slideshow, "Repeatforever1", "Repeat forever", "", false);
    item(slideshow, "Pingpongplay1", "Pingpong play", "", false);
    separator(slideshow);
    item(slideshow, "Setslideshowdelay1", "Set slideshow delay", "", false);

    TMenuItem& filters = item(MainMenu, "Filters1", "Filters");
    for (const char* caption :
         {"Rotate to left", "Rotate to right", "Rotate 180", "-", "Horizontal mirror", "Vertical mirror", "-",
          "Brightness", "Contrast", "Saturation", "Levels", "-", "Blur", "Sharpen", "-", "Resize"})
        item(filters, "", caption, "", false);

    TMenuItem& help = item(MainMenu, "Help1", "Help");
    item(help, "Help2", "Help", "Ctrl+H", false);
    item(help, "About1", "About", "Ctrl+A", false);

    for (const std::string name :
         {"Rememberprogramstateonexit1", "Playonce1", "Repeatforever1", "Pingpongplay1"})
        for (const auto& menu : MainMenu.Items())
            for (const auto& entry : menu->Items())
                if (entry->Name == name) entry->Checkable = true;
    for (TMenuItem* checkable : {N4001, N2001, N1001, N501, N251, ofit1, Keepzoomfactor1, Enlargetofit1,
                                 Shrinktofit1, Keepaspectratio1, Browsermode1, Fullscreenmode1})
        checkable->Checkable = true;

    Open1->OnClick = [this] { Open1Click(); };
    Close1->OnClick = [this] { Close1Click(); };
    Exit1->OnClick = [this] { Exit1Click(); };
    N4001->OnClick = [this] { N4001Click(); };
    N2001->OnClick = [this] { N2001Click(); };
    N1001->OnClick = [this] { N1001Click(); };
    N501->OnClick = [this] { N501Click(); };
    N251->OnClick = [this] { N251Click(); };
    ofit1->OnClick = [this] { ofit1Click(); };
    Keepzoomfactor1->OnClick = [this] { Keepzoomfactor1Click(); };
    Enlargetofit1->OnClick = [this] { Enlargetofit1Click(); };
    Shrinktofit1->OnClick = [this] { Shrinktofit1Click(); };
    Keepaspectratio1->OnClick = [this] { Keepaspectratio1Click(); };
    Browsermode1->OnClick = [this] { Browsermode1Click(); };
    Fullscreenmode1->OnClick = [this] { Fullscreenmode1Click(); };
    Fileassociations1->OnClick = [this] { Fileassociations1Click(); };
}

void TForm1::FormCreate(const std::vector<std::string>& Arguments) {
    // Plug-ins register their extensions after every built-in format, so they serve what they
    // name. A library that cannot be used is left out and named; the viewer starts without it.
    plugins::TImageDLLLoader& loader = plugins::PluginLoader();
    const std::string folder = PluginFolder.empty() ? ProgramPath + "plugins/" : PluginFolder;
    loader.LoadPlugins(folder);
    if (PluginReport)
        for (const plugins::TSkippedPlugin& skipped : loader.Skipped())
            *PluginReport << "ferronel: plug-in " << folder << (folder.ends_with('/') ? "" : "/")
                          << skipped.FileName << " left out: " << skipped.Reason << "\n";
    // The all-formats entry becomes the native one; the plug-ins' entries go in front of it.
    OpenPictureDialog1.Filter = "Native formats" + OpenPictureDialog1.Filter.substr(
                                                       std::min<size_t>(3, OpenPictureDialog1.Filter.size()));
    const std::string pluginFilter = loader.GetLoadFilter();
    if (!pluginFilter.empty()) OpenPictureDialog1.Filter = pluginFilter + "|" + OpenPictureDialog1.Filter;
    ViewState.ZoomPercent = 100;
    if (!Arguments.empty()) {
        ApplyPathAndLoad(Arguments[0]);
        ViewState.CurrentIndex = FileListBox1.ItemIndex();
    }
}

void TForm1::ApplyPathAndLoad(const std::string& Path) {
    const int32_t loads = FChangeLoads;
    FileListBox1.ApplyFilePath(Path);
    if (FChangeLoads == loads) LoadImage(FileListBox1.SelectedPath());
}

void TForm1::LoadImage(const std::string& FileName) {
    if (!FileName.empty()) {
        Image1.Picture.LoadFromFile(FileName);
        ViewState.ImageWidth = Image1.Picture.Width();
        ViewState.ImageHeight = Image1.Picture.Height();
        if (!Keepzoomfactor1->Checked) {
            UncheckZoomGroup();
            N1001->Checked = true;
            ViewState.ZoomPercent = 100;
            const int32_t cw = Window.ClientWidth, ch = Window.ClientHeight;
            const int32_t iw = ViewState.ImageWidth, ih = ViewState.ImageHeight;
            if (Shrinktofit1->Checked && (cw < iw || ch < ih)) ofit1->Checked = true;
            if (Enlargetofit1->Checked && (iw < cw || ih < ch)) ofit1->Checked = true;
            if (ofit1->Checked) N1001->Checked = false;
        }
        ZoomImage();
    }
    ViewState.CurrentIndex = FileListBox1.ItemIndex();
}

void TForm1::ZoomImage() {
    const int32_t p = Panel1.Visible ? Panel1.Width : 0;
    if (ofit1->Checked) {
        Image1.SetBounds(p, 0, Window.ClientWidth - p, Window.ClientHeight);
        return;
    }
    // 32-bit products, as the window system computes them.
    const int32_t w = int32_t(int64_t(ViewState.ImageWidth) * ViewState.ZoomPercent / 100);
    const int32_t h = int32_t(int64_t(ViewState.ImageHeight) * ViewState.ZoomPercent / 100);
    Image1.SetBounds((Window.ClientWidth + p - w) / 2, (Window.ClientHeight - h) / 2, w, h);
}

void TForm1::FormResize() {
    FileListBox1.Height = Window.ClientHeight - 224;
    ZoomImage();
}

void TForm1::FormKeyDown(uint16_t Key) {
    switch (Key) {
    case VK_PRIOR:
        FileListBox1.SetItemIndex(ViewState.CurrentIndex - 1);
        if (FileListBox1.ItemIndex() < 0) FileListBox1.SetItemIndex(0);
        LoadImage(FileListBox1.SelectedPath());
        break;
    case VK_NEXT:
        FileListBox1.SetItemIndex(ViewState.CurrentIndex + 1);
        LoadImage(FileListBox1.SelectedPath());
        break;
    case VK_END:
        FileListBox1.SetItemIndex(FileListBox1.Count() - 1);
        LoadImage(FileListBox1.SelectedPath());
        break;
    case VK_HOME:
        FileListBox1.SetItemIndex(0);
        LoadImage(FileListBox1.SelectedPath());
        break;
    case VK_ADD: ZoomIn(); break;
    case VK_SUBTRACT: ZoomOut(); break;
    default: break;
    }
}

void TForm1::FormMouseWheel(int32_t WheelDelta) {
    const int32_t s = WheelDelta < 0 ? -1 : WheelDelta > 0 ? 1 : 0;
    FileListBox1.SetItemIndex(ViewState.CurrentIndex - s);
    ViewState.CurrentIndex = FileListBox1.ItemIndex();
    LoadImage(FileListBox1.SelectedPath());
}

void TForm1::UncheckZoomGroup() {
    for (TMenuItem* item : {N4001, N2001, N1001, N501, N251, ofit1}) item->Checked = false;
}

void TForm1::CheckZoomItem(int32_t Percent) {
    for (auto [percent, item] : {std::pair{400, N4001}, {200, N2001}, {100, N1001}, {50, N501}, {25, N251}})
        if (percent == Percent) item->Checked = true;
}

void TForm1::ZoomIn() {
    if (ViewState.ZoomPercent >= 400) return;
    UncheckZoomGroup();
    ViewState.ZoomPercent *= 2;
    CheckZoomItem(ViewState.ZoomPercent);
    ZoomImage();
}

void TForm1::ZoomOut() {
    if (ofit1->Checked) {
        // The fitted scale as a percentage; with no picture there is nothing to measure, so it
        // counts as 100 %.
        const int32_t pw = Image1.Picture.Width(), ph = Image1.Picture.Height();
        int32_t r = 100;
        if (pw > 0 && ph > 0)
            r = std::min(int32_t(int64_t(Image1.Width) * 100 / pw),
                         int32_t(int64_t(Image1.Height) * 100 / ph));
        ViewState.ZoomPercent = r > 400 ? 800 : r > 200 ? 400 : r > 100 ? 200 : r > 50 ? 100 : 50;
    }
    UncheckZoomGroup();
    if (ViewState.ZoomPercent > 25) ViewState.ZoomPercent /= 2;
    CheckZoomItem(ViewState.ZoomPercent);
    ZoomImage();
}

void TForm1::ZoomTo(int32_t Percent, TMenuItem& Item) {
    ViewState.ZoomPercent = Percent;
    UncheckZoomGroup();
    Item.Checked = true;
    ZoomImage();
}

void TForm1::ofit1Click() {
    UncheckZoomGroup();
    ofit1->Checked = true;
    ZoomImage();
}

void TForm1::Keepzoomfactor1Click() { Keepzoomfactor1->Checked = !Keepzoomfactor1->Checked; }

void TForm1::Enlargetofit1Click() {
    Enlargetofit1->Checked = !Enlargetofit1->Checked;
    ZoomImage();
}

void TForm1::Shrinktofit1Click() {
    Shrinktofit1->Checked = !Shrinktofit1->Checked;
    ZoomImage();
}

void TForm1::Keepaspectratio1Click() {
    Keepaspectratio1->Checked = !Keepaspectratio1->Checked;
    Image1.Proportional = Keepaspectratio1->Checked;
}

void TForm1::Open1Click() {
    if (!FWindowSystem.ExecuteOpenDialog(OpenPictureDialog1)) return;
    ApplyPathAndLoad(OpenPictureDialog1.FileName);
}

void TForm1::Close1Click() { Image1.Picture.SetGraphic(nullptr); }

void TForm1::Exit1Click() { FWindowSystem.CloseWindow(); }

void TForm1::Browsermode1Click() {
    Panel1.Visible = !Panel1.Visible;
    Browsermode1->Checked = Panel1.Visible;
    if (Fullscreenmode1->Checked) Fullscreenmode1Click();
    ZoomImage();
}

void TForm1::FileListBox1Change() {
    ++FChangeLoads;
    LoadImage(FileListBox1.SelectedPath());
}

void TForm1::Fullscreenmode1Click() {
    Fullscreenmode1->Checked = !Fullscreenmode1->Checked;
    if (Fullscreenmode1->Checked) {
        Panel1.Visible = false;
        ViewState.SavedWindowState = Window.WindowState;
        if (Window.WindowState != wsMaximized) {
            ViewState.SavedLeft = Window.Left;
            ViewState.SavedTop = Window.Top;
            ViewState.SavedWidth = Window.Width;
            ViewState.SavedHeight = Window.Height;
            Window.WindowState = wsMaximized;
        }
        Window.BorderStyle = bsNone;
    } else {
        if (ViewState.SavedWindowState != wsMaximized) {
            Window.WindowState = TWindowState(ViewState.SavedWindowState);
            Window.Left = ViewState.SavedLeft;
            Window.Top = ViewState.SavedTop;
            Window.Width = ViewState.SavedWidth;
            Window.Height = ViewState.SavedHeight;
        }
        Window.BorderStyle = bsSizeable;
    }
    // The items stay enabled, so their shortcuts keep working while the bar is hidden.
    for (const auto& menu : MainMenu.Items()) menu->Visible = !Fullscreenmode1->Checked;
}

void TForm1::Image1MouseDown(int32_t X, int32_t Y) {
    ViewState.DragX = X;
    ViewState.DragY = Y;
    ViewState.Dragging = true;
}

void TForm1::Image1MouseMove(int32_t X, int32_t Y) {
    Window.DoubleBuffered = true;
    if (!ViewState.Dragging) return;
    // The position is measured inside the moving control, so the grab point stays under the pointer.
    Image1.Top += Y - ViewState.DragY;
    Image1.Left += X - ViewState.DragX;
}

void TForm1::Image1MouseUp() { ViewState.Dragging = false; }

std::unique_ptr<TRegistry> TForm1::OpenRegistry() {
    auto registry = CreateRegistry ? CreateRegistry() : nullptr;
    if (registry) registry->SetRootKey(rkCurrentUser);
    return registry;
}

void TForm1::Fileassociations1Click() {
    if (auto registry = OpenRegistry())
        for (size_t i = 0; i < CheckBoxes.size(); ++i) {
            CheckBoxes[i].Checked = false;
            for (const char* extension : AssociationTypes()[i].Extensions)
                if (IsAssociated(*registry, extension)) CheckBoxes[i].Checked = true;
        }
    Window.ClientWidth = std::max(Window.ClientWidth, Panel2.Width);
    Window.ClientHeight = std::max(Window.ClientHeight, Panel2.Height);
    Panel2.Left = (Window.ClientWidth - Panel2.Width) / 2;
    Panel2.Top = (Window.ClientHeight - Panel2.Height) / 2;
    Panel2.Visible = true;
}

void TForm1::Button2Click() {
    for (TCheckBox& box : CheckBoxes) box.Checked = true;
}

void TForm1::Button3Click() {
    for (TCheckBox& box : CheckBoxes) box.Checked = false;
}

void TForm1::Button4Click() {
    std::vector<std::pair<std::string, bool>> states;
    for (size_t i = 0; i < CheckBoxes.size(); ++i)
        for (const char* extension : AssociationTypes()[i].Extensions)
            states.emplace_back(extension, CheckBoxes[i].Checked);
    if (auto registry = OpenRegistry())
        for (const auto& [extension, associate] : states) DoReg(*registry, associate, extension);
    if (auto registry = OpenRegistry()) {
        registry->SetRootKey(rkClassesRoot);
        if (registry->OpenKey(ApplicationCommandKey, true))
            registry->WriteString("(Default)", ProgramPath + "ferronel");
    }
    ApplyDesktopAssociations(XdgFolders.DataHome.empty() ? TXdgFolders::FromEnvironment() : XdgFolders,
                             ProgramPath + "ferronel", states);
    Panel2.Visible = false;
}

void TForm1::Button5Click() { Panel2.Visible = false; }

} // namespace ferronel::app
