#include "readers/FileFormatList.h"

#include "host/Bitmap.h"
#include "host/Exceptions.h"
#include "host/Format.h"
#include "host/Picture.h"
#include "host/formats/Icon.h"
#include "host/formats/Metafile.h"
#include "readers/ReaderStrings.h"
#include "readers/formats/AutodeskGraphic.h"
#include "readers/formats/CUTGraphic.h"
#include "readers/formats/EPSGraphic.h"
#include "readers/formats/PCDGraphic.h"
#include "readers/formats/PCXGraphic.h"
#include "readers/formats/PPMGraphic.h"
#include "readers/formats/PSDGraphic.h"
#include "readers/formats/PSPGraphic.h"
#include "readers/formats/RLAGraphic.h"
#include "readers/formats/SGIGraphic.h"
#include "readers/formats/PNGGraphic.h"
#include "readers/formats/TIFFGraphic.h"
#include "readers/formats/TargaGraphic.h"

#include <algorithm>

namespace ferronel {

using namespace readers;

TFileFormatList::~TFileFormatList() { Clear(); }

void TFileFormatList::Clear() {
    for (const auto& c : FClasses) UnregisterGraphicClass(c->GraphicClass);
    FClasses.clear();
    FExtensions.clear();
}

int TFileFormatList::IndexOfExtension(const std::string& Extension) const {
    if (Extension.empty()) return -1;
    const std::string key = AsciiLowerCase(Extension);
    for (size_t i = 0; i < FExtensions.size(); ++i)
        if (AsciiLowerCase(FExtensions[i]->Extension) == key) return int(i);
    return -1;
}

int TFileFormatList::IndexOfClass(TGraphicClass GraphicClass) const {
    for (size_t i = 0; i < FClasses.size(); ++i)
        if (FClasses[i]->GraphicClass == GraphicClass) return int(i);
    return -1;
}

TFileFormatList::TClassEntry& TFileFormatList::ClassEntryFor(TGraphicClass GraphicClass,
                                                             const std::string& Common) {
    const int index = IndexOfClass(GraphicClass);
    TClassEntry* entry;
    if (index >= 0) {
        entry = FClasses[size_t(index)].get();
    } else {
        FClasses.push_back(std::make_unique<TClassEntry>(TClassEntry{GraphicClass, "", 0}));
        entry = FClasses.back().get();
    }
    if (!Common.empty()) entry->Description = Common;
    ++entry->Count;
    return *entry;
}

void TFileFormatList::ReleaseClassEntry(TClassEntry* Entry) {
    std::erase_if(FClasses, [Entry](const auto& c) { return c.get() == Entry; });
}

void TFileFormatList::AddFormat(const std::string& Extension, const std::string& Common,
                                const std::string& Individual, TFormatKinds Kinds, bool Replace,
                                TGraphicClass GraphicClass) {
    if (Extension.empty()) return;
    const int index = IndexOfExtension(Extension);
    TExtensionEntry* entry;
    if (index < 0) {
        TClassEntry& classEntry = ClassEntryFor(GraphicClass, Common);
        FExtensions.push_back(
            std::make_unique<TExtensionEntry>(TExtensionEntry{Extension, Individual, Kinds, &classEntry}));
        entry = FExtensions.back().get();
    } else {
        if (!Replace) throw EInvalidGraphic(Format(gesRegistration, {Extension}));
        entry = FExtensions[size_t(index)].get();
        if (entry->ClassEntry->GraphicClass != GraphicClass) {
            TClassEntry* old = entry->ClassEntry;
            entry->ClassEntry = &ClassEntryFor(GraphicClass, Common);
            if (--old->Count == 0) ReleaseClassEntry(old);
        }
    }
    RegisterFileFormat(Extension, Individual.empty() ? entry->ClassEntry->Description : Individual,
                       GraphicClass);
}

void TFileFormatList::RemoveFormat(const std::string& Extension, TGraphicClass GraphicClass) {
    if (!Extension.empty()) {
        const int index = IndexOfExtension(Extension);
        if (index < 0) return;
        TClassEntry* classEntry = FExtensions[size_t(index)]->ClassEntry;
        if (--classEntry->Count == 0) {
            UnregisterGraphicClass(classEntry->GraphicClass);
            ReleaseClassEntry(classEntry);
        }
        FExtensions.erase(FExtensions.begin() + index);
        return;
    }
    // A class that was never listed has nothing to remove.
    const int classIndex = IndexOfClass(GraphicClass);
    if (classIndex < 0) return;
    TClassEntry* classEntry = FClasses[size_t(classIndex)].get();
    for (size_t i = FExtensions.size(); i-- > 0 && classEntry->Count > 0;) {
        if (FExtensions[i]->ClassEntry != classEntry) continue;
        FExtensions.erase(FExtensions.begin() + ptrdiff_t(i));
        --classEntry->Count;
    }
    ReleaseClassEntry(classEntry);
    UnregisterGraphicClass(GraphicClass);
}

// ---------------------------------------------------------------------------------------------------------

namespace {

// Made on first use after the picture registry, so that at exit it goes before the registry it
// unregisters from.
std::unique_ptr<TFileFormatList>& List() {
    PictureRegistry();
    static std::unique_ptr<TFileFormatList> list;
    return list;
}

const TFormatKinds Raster{fkRaster};
const TFormatKinds Vector{fkVector};

} // namespace

TFileFormatList* FileFormatList() { return List().get(); }

void InitializeFileFormatList(TGraphicClass JPEGImageClass) {
    if (List()) return;
    List() = std::make_unique<TFileFormatList>();
    TFileFormatList& l = *List();
    l.AddFormat("bmp", "Windows bitmaps", "", Raster, false, TBitmap::ClassInfo());
    l.AddFormat("ico", "Windows icons", "", Raster, false, TIcon::ClassInfo());
    l.AddFormat("wmf", "Windows metafiles", "", Vector, false, TMetafile::ClassInfo());
    l.AddFormat("emf", "Windows metafiles", "Windows enhanced meta files", Vector, false,
                TMetafile::ClassInfo());
    if (JPEGImageClass) {
        l.AddFormat("jfif", "JPG images", "JFIF images", Raster, false, JPEGImageClass);
        l.AddFormat("jpg", "", "JPG images", Raster, false, JPEGImageClass);
        l.AddFormat("jpe", "", "JPE images", Raster, false, JPEGImageClass);
        l.AddFormat("jpeg", "", "JPEG images", Raster, false, JPEGImageClass);
    }
    l.AddFormat("rle", "Windows bitmaps", "Run length encoded Windows bitmaps", Raster, false,
                TBitmap::ClassInfo());
    l.AddFormat("dib", "", "Device independant Windows bitmaps", Raster, false, TBitmap::ClassInfo());
    l.AddFormat("win", "Truevision images", "", Raster, false, TTargaGraphic::ClassInfo());
    for (const char* e : {"vst", "vda", "tga", "icb"})
        l.AddFormat(e, "", "", Raster, false, TTargaGraphic::ClassInfo());
    const TFormatKinds multiImage{fkMultiImage, fkRaster};
    l.AddFormat("tiff", "Tagged image file format images", "Macintosh TIFF images", multiImage, false,
                TTIFFGraphic::ClassInfo());
    l.AddFormat("tif", "", "PC TIF images", multiImage, false, TTIFFGraphic::ClassInfo());
    l.AddFormat("fax", "", "GFI fax images", multiImage, false, TTIFFGraphic::ClassInfo());
    l.AddFormat("eps", "Encapsulated Postscript images", "", Raster, false, TEPSGraphic::ClassInfo());
    l.AddFormat("pcx", "ZSoft Paintbrush images", "", Raster, false, TPCXGraphic::ClassInfo());
    l.AddFormat("pcc", "", "", Raster, false, TPCXGraphic::ClassInfo());
    l.AddFormat("scr", "", "Word 5.x screen capture images", Raster, false, TPCXGraphic::ClassInfo());
    l.AddFormat("rpf", "Alias/Wavefront images", "", Raster, false, TRLAGraphic::ClassInfo());
    l.AddFormat("rla", "", "", Raster, false, TRLAGraphic::ClassInfo());
    l.AddFormat("sgi", "SGI images", "SGI true color images", Raster, false, TSGIGraphic::ClassInfo());
    l.AddFormat("rgba", "", "SGI true color images with alpha", Raster, false, TSGIGraphic::ClassInfo());
    l.AddFormat("rgb", "", "SGI true color images", Raster, false, TSGIGraphic::ClassInfo());
    l.AddFormat("bw", "", "SGI black/white images", Raster, false, TSGIGraphic::ClassInfo());
    l.AddFormat("psd", "Photoshop images", "", TFormatKinds{fkLayered, fkRaster}, false, TPSDGraphic::ClassInfo());
    l.AddFormat("pdd", "", "", TFormatKinds{fkLayered, fkRaster}, false, TPSDGraphic::ClassInfo());
    l.AddFormat("ppm", "Portable map images", "Portable pixel map images", Raster, false,
                TPPMGraphic::ClassInfo());
    l.AddFormat("pgm", "", "Portable gray map images", Raster, false, TPPMGraphic::ClassInfo());
    l.AddFormat("pbm", "", "Portable bitmap images", Raster, false, TPPMGraphic::ClassInfo());
    l.AddFormat("cel", "Autodesk images", "", Raster, false, TAutodeskGraphic::ClassInfo());
    l.AddFormat("pic", "Autodesk images", "", Raster, false, TAutodeskGraphic::ClassInfo());
    l.AddFormat("pcd", "Kodak Photo-CD images", "", Raster, false, TPCDGraphic::ClassInfo());
    l.AddFormat("cut", "Dr. Halo images", "", Raster, false, TCUTGraphic::ClassInfo());
    l.AddFormat("psp", "Paintshop Pro images", "", TFormatKinds{fkRaster, fkVector}, false,
                TPSPGraphic::ClassInfo());
    // Each reader adds its rows here, in the order of the library's table.
    l.AddFormat("png", "Portable network graphic images", "", Raster, false, TPNGGraphic::ClassInfo());
}

void FinalizeFileFormatList() {
    if (!List()) return;
    // The readers' classes go first, in the library's shutdown order.
    List()->RemoveFormat("", TPSPGraphic::ClassInfo());
    List()->RemoveFormat("", TPSDGraphic::ClassInfo());
    List()->RemoveFormat("", TTargaGraphic::ClassInfo());
    List()->RemoveFormat("", TTIFFGraphic::ClassInfo());
    for (TGraphicClass c : {TSGIGraphic::ClassInfo(), TPCXGraphic::ClassInfo(), TAutodeskGraphic::ClassInfo(),
                            TPCDGraphic::ClassInfo(), TPPMGraphic::ClassInfo(), TCUTGraphic::ClassInfo(), TRLAGraphic::ClassInfo()})
        List()->RemoveFormat("", c);
    List()->RemoveFormat("rle", TBitmap::ClassInfo());
    List()->RemoveFormat("dib", TBitmap::ClassInfo());
    List()->RemoveFormat("", TPNGGraphic::ClassInfo());
    List().reset();
}

} // namespace ferronel
