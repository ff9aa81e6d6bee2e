#include "app/MainForm.h"
#include "app/ViewerTestSupport.h"
#include "host/Bitmap.h"
#include "host/Exceptions.h"
#include "host/Format.h"
#include "picture/Registrations.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace ferronel::app {
namespace {

// An in-memory store: keys by root and path, values by name; a value may be marked as not a string.
struct TMemoryStore {
    std::map<std::string, std::map<std::string, std::string>> Keys;
    std::set<std::string> NotStrings; // "key|name"
    bool ReadOnly = false;
    int Created = 0;
};

class TMemoryRegistry : public TRegistry {
public:
    explicit TMemoryRegistry(TMemoryStore& Store) : FStore(Store) {}
    void SetRootKey(TRootKey Root) override { FRoot = Root == rkCurrentUser ? "HKCU" : "HKCR"; }
    bool OpenKey(const std::string& Key, bool CanCreate) override {
        FKey = FRoot + Key;
        if (!FStore.Keys.contains(FKey)) {
            if (!CanCreate) return false;
            FStore.Keys[FKey];
            ++FStore.Created;
        }
        return true;
    }
    std::string ReadString(const std::string& Name) override {
        if (FStore.NotStrings.contains(FKey + "|" + Name))
            throw Exception("Invalid data type for '" + Name + "'");
        const auto& values = FStore.Keys[FKey];
        const auto it = values.find(Name);
        return it == values.end() ? "" : it->second;
    }
    void WriteString(const std::string& Name, const std::string& Value) override {
        if (FStore.ReadOnly) throw Exception(Format(RegistryWriteFailed, {Name}));
        FStore.Keys[FKey][Name] = Value;
    }
    bool DeleteValue(const std::string& Name) override { return FStore.Keys[FKey].erase(Name) > 0; }

private:
    TMemoryStore& FStore;
    std::string FRoot = "HKCU", FKey;
};

std::string ReadFile(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class Browser : public ::testing::Test {
protected:
    Browser() {
        form.CreateRegistry = [this] { return std::make_unique<TMemoryRegistry>(store); };
        form.XdgFolders = {home.Path("data"), home.Path("config")};
        form.ProgramPath = "/opt/ferronel/";
    }
    std::string Picture(const std::string& name, int32_t w, int32_t h) {
        return BlankPicture(dir, name, w, h);
    }
    std::string Application(const std::string& extension) {
        return store.Keys["HKCU" + std::string(FileExtsKey) + extension]["Application"];
    }

    test::TTempDir dir, home;
    TMemoryStore store;
    TPictureFormats formats;
    TFakeWindowSystem windowSystem;
    TForm1 form{windowSystem};
};

TEST_F(Browser, StartUpAndOpenLoadTheFileOnceThroughTheList) {
    Picture("a.bmp", 10, 10);
    const std::string b = Picture("b.bmp", 20, 10);
    int changes = 0;
    form.Image1.Picture.OnChange = [&](TObject*) { ++changes; };
    form.FormCreate({b});
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(form.ViewState.CurrentIndex, 1);

    // Opening the file already selected loads it again, once; another file through its change event.
    windowSystem.ChosenFile = b;
    form.Open1Click();
    EXPECT_EQ(changes, 2);
    windowSystem.ChosenFile = dir.Path("a.bmp");
    form.Open1Click();
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(form.ViewState.ImageWidth, 10);
    EXPECT_EQ(form.ViewState.CurrentIndex, 0);

    // A selection the user makes in the list loads its file.
    form.FileListBox1.SetItemIndex(1);
    form.FileListBox1.OnChange();
    EXPECT_EQ(form.ViewState.ImageWidth, 20);
    EXPECT_EQ(form.ViewState.CurrentIndex, 1);
}

TEST_F(Browser, PanelTogglesAndMovesThePicture) {
    form.FormCreate({});
    form.Enlargetofit1->Click();
    form.LoadImage(Picture("p.bmp", 200, 100));
    EXPECT_EQ(form.Image1.Left, (775 - 200) / 2);
    form.Browsermode1->Click();
    EXPECT_TRUE(form.Panel1.Visible);
    EXPECT_TRUE(form.Browsermode1->Checked);
    EXPECT_EQ(form.Image1.Left, (775 + 185 - 200) / 2); // 380: 93 pixels to the right
    form.Window.ClientWidth = 776;
    form.FormResize();
    EXPECT_EQ(form.Image1.Left, (776 + 185 - 200) / 2); // 380 again: 92 pixels
    form.Browsermode1Click();
    EXPECT_FALSE(form.Panel1.Visible);
    EXPECT_EQ(form.Image1.Left, (776 - 200) / 2);
}

TEST_F(Browser, FullscreenRestoresTheWindow) {
    form.FormCreate({});
    form.Browsermode1Click();
    form.Fullscreenmode1->Click();
    EXPECT_EQ(form.Window.WindowState, wsMaximized);
    EXPECT_EQ(form.Window.BorderStyle, bsNone);
    EXPECT_FALSE(form.Panel1.Visible);
    EXPECT_TRUE(form.Browsermode1->Checked); // left as it was
    for (const auto& menu : form.MainMenu.Items()) {
        EXPECT_FALSE(menu->Visible);
        EXPECT_TRUE(menu->Enabled); // so the shortcuts keep working
    }
    form.Window.Left = form.Window.Top = 0; // the window system maximises
    form.Window.Width = 1920;
    form.Fullscreenmode1Click();
    EXPECT_EQ(form.Window.WindowState, wsNormal);
    EXPECT_EQ(form.Window.BorderStyle, bsSizeable);
    EXPECT_EQ((TRect{form.Window.Left, form.Window.Top, form.Window.Width, form.Window.Height}),
              (TRect{228, 125, 783, 540}));
    EXPECT_TRUE(form.MainMenu.Items()[0]->Visible);
    EXPECT_FALSE(form.Panel1.Visible); // not shown again

    // From a maximised window: stays maximised, no bounds restored.
    form.Window.WindowState = wsMaximized;
    form.Fullscreenmode1Click();
    form.Window.Width = 1234;
    form.Fullscreenmode1Click();
    EXPECT_EQ(form.Window.WindowState, wsMaximized);
    EXPECT_EQ(form.Window.BorderStyle, bsSizeable);
    EXPECT_EQ(form.Window.Width, 1234);

    // Browser mode in fullscreen toggles the panel and leaves fullscreen.
    form.Fullscreenmode1Click();
    form.Browsermode1->Click();
    EXPECT_FALSE(form.Fullscreenmode1->Checked);
    EXPECT_EQ(form.Window.BorderStyle, bsSizeable);
    EXPECT_TRUE(form.Panel1.Visible);
}

TEST_F(Browser, DraggingWithAnyButtonFollowsThePointer) {
    form.FormCreate({});
    form.LoadImage(Picture("p.bmp", 100, 50));
    const int32_t left = form.Image1.Left, top = form.Image1.Top;
    form.Image1MouseMove(30, 30); // not dragging: nothing moves
    EXPECT_TRUE(form.Window.DoubleBuffered);
    EXPECT_EQ(form.Image1.Left, left);
    form.Image1MouseDown(10, 20);
    form.Image1MouseMove(15, 12);
    EXPECT_EQ(form.Image1.Left, left + 5);
    EXPECT_EQ(form.Image1.Top, top - 8);
    // The control has moved with the pointer: the grab point is again at (10, 20) inside it.
    form.Image1MouseMove(10, 20);
    EXPECT_EQ(form.Image1.Left, left + 5);
    form.Image1MouseUp();
    form.Image1MouseMove(500, 500);
    EXPECT_EQ(form.Image1.Left, left + 5);
    form.ZoomImage(); // any new layout puts it back
    EXPECT_EQ(form.Image1.Left, left);
}

TEST_F(Browser, AssociationPanelReadsWhatTheStoreSays) {
    store.Keys["HKCU" + std::string(FileExtsKey) + "jpe"]["Application"] = "Ferronel";
    store.Keys["HKCU" + std::string(FileExtsKey) + "png"]["Application"] = "ferronel"; // another case
    form.Window.ClientWidth = 200;
    form.Window.ClientHeight = 600;
    form.CheckBoxes[0].Checked = true;
    form.Fileassociations1->Click();
    std::vector<size_t> ticked;
    for (size_t i = 0; i < form.CheckBoxes.size(); ++i)
        if (form.CheckBoxes[i].Checked) ticked.push_back(i);
    EXPECT_EQ(ticked, std::vector<size_t>{8}); // the JPEG box
    EXPECT_EQ(store.Created, 45 - 2);
    EXPECT_TRUE(form.Panel2.Visible);
    EXPECT_EQ(form.Window.ClientWidth, 265); // grown to hold the panel
    EXPECT_EQ(form.Window.ClientHeight, 600);
    EXPECT_EQ(form.Panel2.Left, 0);
    EXPECT_EQ(form.Panel2.Top, (600 - 457) / 2);
    form.Button2Click();
    EXPECT_TRUE(form.CheckBoxes[23].Checked);
    form.Button3Click();
    EXPECT_FALSE(form.CheckBoxes[8].Checked);
    form.Button5Click();
    EXPECT_FALSE(form.Panel2.Visible);
}

TEST_F(Browser, ApplyLeavesOtherProgramsAlone) {
    const std::string key = "HKCU" + std::string(FileExtsKey);
    store.Keys[key + "png"]["Application"] = "paint.program";
    store.Keys[key + "png"]["Other"] = "x";
    store.Keys[key + "gif"]["Application"] = "Ferronel";
    store.Keys[key + "tga"]["Application"] = "FERRONEL";
    form.Fileassociations1Click();
    form.CheckBoxes[8].Checked = true; // JPEG
    form.CheckBoxes[2].Checked = false;
    form.CheckBoxes[13].Checked = false;
    form.Button4Click();
    EXPECT_EQ(Application("jpg"), "Ferronel");
    EXPECT_EQ(Application("jpe"), "Ferronel");
    EXPECT_EQ(Application("jpeg"), "Ferronel");
    EXPECT_FALSE(store.Keys[key + "gif"].contains("Application"));
    EXPECT_EQ(Application("png"), "paint.program");
    EXPECT_EQ(store.Keys[key + "png"]["Other"], "x");
    EXPECT_EQ(Application("tga"), "FERRONEL");
    EXPECT_FALSE(form.Panel2.Visible);

    // Nothing ticked: the command entry is written all the same.
    store.Keys.clear();
    form.Button3Click();
    form.Button4Click();
    EXPECT_EQ(store.Keys["HKCR" + std::string(ApplicationCommandKey)]["(Default)"], "/opt/ferronel/ferronel");
}

TEST_F(Browser, AStoreThatCannotBeWrittenIsReportedAndThePanelStays) {
    store.ReadOnly = true;
    form.Fileassociations1Click();
    form.Button2Click();
    try {
        form.Button4Click();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Failed to set data for 'Application'");
    }
    EXPECT_TRUE(form.Panel2.Visible);
    store.ReadOnly = false;
    form.Button4Click(); // still usable
    EXPECT_FALSE(form.Panel2.Visible);
}

TEST_F(Browser, AValueOfAnotherTypeIsAnotherProgramsAndStaysPut) {
    const std::string rla = "HKCU" + std::string(FileExtsKey) + "rla";
    store.Keys[rla]["Application"] = "binary";
    store.NotStrings.insert(rla + "|Application");
    form.Fileassociations1Click();
    EXPECT_TRUE(form.Panel2.Visible);
    EXPECT_FALSE(form.CheckBoxes[0].Checked);
    form.Button4Click();
    EXPECT_EQ(store.Keys[rla]["Application"], "binary");
}

TEST_F(Browser, ApplyMakesTheViewerTheDesktopDefaultForTickedTypes) {
    const std::string list = home.Path("config") + "/mimeapps.list";
    std::filesystem::create_directories(home.Path("config"));
    const std::string before = "[Added Associations]\nimage/png=other.desktop;\n\n[Default Applications]\n"
                               "image/png=other.desktop;\nimage/gif=ferronel.desktop;other.desktop;\n"
                               "text/plain=editor.desktop;\nimage/bmp=ferronel.desktop;\n";
    std::ofstream(list) << before;
    form.Fileassociations1Click();
    form.Button3Click();
    form.CheckBoxes[13].Checked = true; // PNG
    form.CheckBoxes[8].Checked = true;  // JPEG
    form.Button4Click();
    EXPECT_EQ(ReadFile(list), "[Added Associations]\nimage/png=other.desktop;\n\n[Default Applications]\n"
                              "image/png=ferronel.desktop;other.desktop;\nimage/gif=other.desktop;\n"
                              "text/plain=editor.desktop;\nimage/jpeg=ferronel.desktop;\n");
    const std::string entry = ReadFile(home.Path("data") + "/applications/ferronel.desktop");
    EXPECT_NE(entry.find("\nExec=\"/opt/ferronel/ferronel\" %f\n"), std::string::npos);
    EXPECT_NE(entry.find("image/jpeg;"), std::string::npos);
    EXPECT_NE(entry.find("Type=Application\n"), std::string::npos);
}

TEST(MimeApps, UpdatesOnlyOurOwnDefaults) {
    EXPECT_EQ(UpdateMimeApps("", {{"image/png", true}, {"image/gif", false}}),
              "[Default Applications]\nimage/png=ferronel.desktop;\n");
    EXPECT_EQ(UpdateMimeApps("[Other]\na=b", {{"image/png", true}}),
              "[Other]\na=b\n\n[Default Applications]\nimage/png=ferronel.desktop;\n");
    // The defaults section followed by another: the new line goes into the defaults section.
    EXPECT_EQ(
        UpdateMimeApps("[Default Applications]\nx=y.desktop\n[Z]\nimage/png=k;\n", {{"image/png", true}}),
        "[Default Applications]\nx=y.desktop\nimage/png=ferronel.desktop;\n[Z]\nimage/png=k;\n");
    const std::string untouched = "# comment\n[Default Applications]\nimage/png=a.desktop;b.desktop\n";
    EXPECT_EQ(UpdateMimeApps(untouched, {{"image/png", false}, {"image/gif", false}}), untouched);
    EXPECT_EQ(MimeTypeOfExtension("jpe"), "image/jpeg");
    EXPECT_EQ(MimeTypeOfExtension("rla"), "");
}

} // namespace
} // namespace ferronel::app
