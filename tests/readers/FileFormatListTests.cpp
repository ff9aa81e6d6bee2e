#include "host/Exceptions.h"
#include "host/Picture.h"
#include "readers/FileFormatList.h"
#include "readers/ReaderGraphic.h"

#include <gtest/gtest.h>

namespace ferronel {
namespace {

class TTargaLike : public TReaderGraphic {
    FERRONEL_CLASS(TTargaLike, TReaderGraphic)
};
class TMapLike : public TReaderGraphic {
    FERRONEL_CLASS(TMapLike, TReaderGraphic)
};
class TPaintLike : public TReaderGraphic {
    FERRONEL_CLASS(TPaintLike, TReaderGraphic)
};

const TFormatKinds Raster{fkRaster};

// The descriptions the picture registry holds for an extension, oldest first.
std::vector<std::string> Registered(const std::string& extension) {
    std::vector<std::string> out;
    for (const auto& e : PictureRegistry().Entries())
        if (e.Extension == extension) out.push_back(e.Description);
    return out;
}

class FileFormatList : public ::testing::Test {
protected:
    void SetUp() override {
        list.AddFormat("win", "Truevision images", "", Raster, false, TTargaLike::ClassInfo());
        for (const char* e : {"vst", "vda", "tga", "icb"})
            list.AddFormat(e, "", "", Raster, false, TTargaLike::ClassInfo());
        list.AddFormat("ppm", "Portable map images", "Portable pixel map images", Raster, false,
                       TMapLike::ClassInfo());
        list.AddFormat("pgm", "", "Portable gray map images", Raster, false, TMapLike::ClassInfo());
        list.AddFormat("pbm", "", "Portable bitmap images", Raster, false, TMapLike::ClassInfo());
        list.AddFormat("pcx", "ZSoft Paintbrush images", "", Raster, false, TPaintLike::ClassInfo());
        list.AddFormat("pcc", "", "", Raster, false, TPaintLike::ClassInfo());
        list.AddFormat("scr", "", "Word 5.x screen capture images", Raster, false, TPaintLike::ClassInfo());
    }
    TFileFormatList list;
};

TEST_F(FileFormatList, ClassEntriesCountTheirExtensionsAndDescribeThem) {
    EXPECT_EQ(list.IndexOfExtension("TGA"), 3);
    EXPECT_EQ(list.IndexOfExtension(""), -1);
    const auto& targa = *list.Classes()[size_t(list.IndexOfClass(TTargaLike::ClassInfo()))];
    EXPECT_EQ(targa.Count, 5);
    EXPECT_EQ(targa.Description, "Truevision images");
    for (const char* e : {"win", "vst", "vda", "tga", "icb"})
        EXPECT_EQ(Registered(e), std::vector<std::string>{"Truevision images"}) << e;

    const auto& maps = *list.Classes()[size_t(list.IndexOfClass(TMapLike::ClassInfo()))];
    EXPECT_EQ(maps.Description, "Portable map images");
    EXPECT_EQ(Registered("pgm"), std::vector<std::string>{"Portable gray map images"});
    EXPECT_EQ(FindExt("PBM"), TMapLike::ClassInfo());
}

TEST_F(FileFormatList, RegisteringTwiceFailsUnlessReplacing) {
    try {
        list.AddFormat("TGA", "", "", Raster, false, TMapLike::ClassInfo());
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Attempt to register TGA twice.");
    }
    EXPECT_EQ(list.Extensions().size(), 11u);

    // Replacing moves the entry to the new class and keeps its own description and kinds.
    list.AddFormat("scr", "Maps", "", TFormatKinds{fkVector}, true, TMapLike::ClassInfo());
    const auto& scr = *list.Extensions()[size_t(list.IndexOfExtension("scr"))];
    EXPECT_EQ(scr.ClassEntry->GraphicClass, TMapLike::ClassInfo());
    EXPECT_EQ(scr.Description, "Word 5.x screen capture images");
    EXPECT_EQ(scr.Kinds, Raster);
    EXPECT_EQ(scr.ClassEntry->Count, 4);
    EXPECT_EQ(scr.ClassEntry->Description, "Maps");
    EXPECT_EQ(list.Classes()[size_t(list.IndexOfClass(TPaintLike::ClassInfo()))]->Count, 2);
    EXPECT_EQ(FindExt("scr"), TMapLike::ClassInfo());
    list.AddFormat("", "ignored", "", Raster, false,
                   TMapLike::ClassInfo()); // an empty extension does nothing
    EXPECT_EQ(list.Extensions().size(), 11u);
}

TEST_F(FileFormatList, RemovingTheLastExtensionOfAClassUnregistersIt) {
    list.RemoveFormat("pcc", TPaintLike::ClassInfo());
    EXPECT_EQ(list.Classes()[size_t(list.IndexOfClass(TPaintLike::ClassInfo()))]->Count, 2);
    EXPECT_EQ(FindExt("pcc"), TPaintLike::ClassInfo()); // the registry only drops whole classes
    list.RemoveFormat("pcx", TPaintLike::ClassInfo());
    list.RemoveFormat("scr", TPaintLike::ClassInfo());
    EXPECT_EQ(list.IndexOfClass(TPaintLike::ClassInfo()), -1);
    EXPECT_EQ(FindExt("pcc"), nullptr);
    list.RemoveFormat("xyz", TPaintLike::ClassInfo()); // not listed: nothing happens

    // An empty extension removes the whole class.
    list.RemoveFormat("", TTargaLike::ClassInfo());
    EXPECT_EQ(list.IndexOfExtension("tga"), -1);
    EXPECT_EQ(FindExt("tga"), nullptr);
    list.RemoveFormat("", TTargaLike::ClassInfo()); // no longer listed: quietly nothing
    EXPECT_EQ(list.Extensions().size(), 3u);

    list.Clear();
    EXPECT_EQ(FindExt("ppm"), nullptr);
    EXPECT_TRUE(list.Classes().empty());
}

} // namespace
} // namespace ferronel
