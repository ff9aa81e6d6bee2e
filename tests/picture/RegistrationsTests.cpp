#include "gif/GIFImage.h"
#include "host/Bitmap.h"
#include "host/Picture.h"
#include "host/formats/Icon.h"
#include "host/formats/Metafile.h"
#include "picture/Registrations.h"
#include "readers/formats/CUTGraphic.h"
#include "readers/formats/PCXGraphic.h"
#include "readers/formats/TargaGraphic.h"

#include <gtest/gtest.h>

namespace ferronel {
namespace {

TEST(PictureFormats, StartUpOrderDecidesTheServingClass) {
    InitializePictureFormats();
    InitializePictureFormats(); // a second call registers nothing twice
    std::vector<std::string> order;
    for (const auto& e : PictureRegistry().Entries()) order.push_back(e.Extension + ":" + e.Description);
    EXPECT_EQ(order, (std::vector<std::string>{"wmf:Metafiles",
                                               "emf:Enhanced Metafiles",
                                               "ico:Icons",
                                               "bmp:Bitmaps",
                                               "gif:GIF Image",
                                               "bmp:Windows bitmaps",
                                               "ico:Windows icons",
                                               "wmf:Windows metafiles",
                                               "emf:Windows enhanced meta files",
                                               "rle:Run length encoded Windows bitmaps",
                                               "dib:Device independant Windows bitmaps",
                                               "win:Truevision images",
                                               "vst:Truevision images",
                                               "vda:Truevision images",
                                               "tga:Truevision images",
                                               "icb:Truevision images",
                                               "pcx:ZSoft Paintbrush images",
                                               "pcc:ZSoft Paintbrush images",
                                               "scr:Word 5.x screen capture images",
                                               "rpf:Alias/Wavefront images",
                                               "rla:Alias/Wavefront images",
                                               "sgi:SGI true color images",
                                               "rgba:SGI true color images with alpha",
                                               "rgb:SGI true color images",
                                               "bw:SGI black/white images",
                                               "ppm:Portable pixel map images",
                                               "pgm:Portable gray map images",
                                               "pbm:Portable bitmap images",
                                               "cel:Autodesk images",
                                               "pic:Autodesk images",
                                               "cut:Dr. Halo images"}));
    EXPECT_EQ(FindExt("RLE"), TBitmap::ClassInfo());
    EXPECT_EQ(FindExt("dib"), TBitmap::ClassInfo());
    EXPECT_EQ(FindExt("Ico"), TIcon::ClassInfo());
    EXPECT_EQ(FindExt("emf"), TMetafile::ClassInfo());
    EXPECT_EQ(FindExt("TGA"), TTargaGraphic::ClassInfo());
    EXPECT_EQ(FindExt("Scr"), TPCXGraphic::ClassInfo());
    EXPECT_EQ(FindExt("cut"), TCUTGraphic::ClassInfo());
    EXPECT_EQ(FindExt("Gif"), TGIFImage::ClassInfo());

    const std::string filter = GraphicFilter(TGraphic::ClassInfo());
    EXPECT_EQ(filter.substr(0, filter.find('|')),
              "All "
              "(*.cut;*.pic;*.cel;*.pbm;*.pgm;*.ppm;*.bw;*.rgb;*.rgba;*.sgi;*.rla;*.rpf;*.scr;*.pcc;*.pcx;*."
              "icb;*.tga;"
              "*.vda;*.vst;*.win;*.dib;*.rle;*.emf;*.wmf;*.ico;*.bmp;*.gif;*.bmp;*.ico;*.emf;*.wmf)");
    EXPECT_NE(filter.find("|Windows bitmaps (*.bmp)|*.bmp|"), std::string::npos);

    // At exit every class is withdrawn, the platform's own entries included.
    FinalizePictureFormats();
    EXPECT_TRUE(PictureRegistry().Entries().empty());
}

} // namespace
} // namespace ferronel
