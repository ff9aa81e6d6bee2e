#include "app/Associations.h"

#include "host/Exceptions.h"

namespace ferronel::app {

const std::vector<TAssociationType>& AssociationTypes() {
    static const std::vector<TAssociationType> types = {
        {"Alias/Wavefront Image (*.rla;*.rpf)", {"rla", "rpf"}},
        {"Autodesk Image (*.pic;*.cel)", {"pic", "cel"}},
        {"Compuserve GIF (*.gif)", {"gif"}},
        {"Dr. Halo Image (*.cut)", {"cut"}},
        {"Encapsulated Postscript (*.eps)", {"eps"}},
        {"GFI Fax Image (*.fax)", {"fax"}},
        {"HIPS Image (*.hip;*.hips)", {"hip", "hips"}},
        {"JPEG2000 Image (*.jp2;*.jpc)", {"jp2", "jpc"}},
        {"JPEG/JFIF Image (*.jpg;*.jpe;*.jpeg)", {"jpg", "jpe", "jpeg"}},
        {"Kodak PhotoCD Image (*.pcd)", {"pcd"}},
        {"PaintShopPro Image (*.psp)", {"psp"}},
        {"PhotoShop Image (*.pdd;*.psd)", {"pdd", "psd"}},
        {"Portable Bitmap (*.pbm;*.pgm;*.pnm;*.ppm)", {"pbm", "pgm", "pnm", "ppm"}},
        {"Portable Network Graphic (*.png)", {"png"}},
        {"Run Length Encoded Bitmap (*.rle)", {"rle"}},
        {"SGI Image (*.bw;*.rgb;*.rgba;*.sgi)", {"bw", "rgb", "rgba", "sgi"}},
        {"Sun Rasterfile (*.ras)", {"ras"}},
        {"TIFF Image (*.tif;*.tiff)", {"tif", "tiff"}},
        {"Truevision Image (*.icb;*.tga;*.vda;*.vst;*.win)", {"icb", "tga", "vda", "vst", "win"}},
        {"Windows Bitmap (*.bmp;*.dib)", {"bmp", "dib"}},
        {"Windows Icon (*.ico)", {"ico"}},
        {"Windows Metafile (*.emf;*.wmf)", {"emf", "wmf"}},
        {"Word 5.x Screen Capture Image (*.scr)", {"scr"}},
        {"ZSoft Paintbrush Image (*.pcc; *.pcx)", {"pcc", "pcx"}},
    };
    return types;
}

namespace {

// Whether the open key's "Application" names this viewer. A value of another type than a string is
// another program's: it is not ours, and one such value must not keep the panel from opening.
bool NamesThisViewer(TRegistry& Registry) {
    try {
        return Registry.ReadString("Application") == AssociationName;
    } catch (const Exception&) {
        return false;
    }
}

} // namespace

bool IsAssociated(TRegistry& Registry, const std::string& Extension) {
    // A key that cannot be opened counts as not associated.
    return Registry.OpenKey(FileExtsKey + Extension, true) && NamesThisViewer(Registry);
}

void DoReg(TRegistry& Registry, bool Associate, const std::string& Extension) {
    if (!Registry.OpenKey(FileExtsKey + Extension, true)) return;
    if (Associate)
        Registry.WriteString("Application", AssociationName);
    else if (NamesThisViewer(Registry))
        Registry.DeleteValue("Application");
}

} // namespace ferronel::app
