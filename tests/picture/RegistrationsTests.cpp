#include "gif/GIFImage.h"
#include "host/Bitmap.h"
#include "host/Picture.h"
#include "host/formats/Icon.h"
#include "host/formats/Metafile.h"
#include "linear/HIPSLoader.h"
#include "linear/ICOLoader.h"
#include "linear/PNGLoader.h"
#include "picture/JPEGImage.h"
#include "picture/Registrations.h"
#include "readers/formats/CUTGraphic.h"
#include "readers/formats/EPSGraphic.h"
#include "readers/formats/PCDGraphic.h"
#include "readers/formats/PCXGraphic.h"
#include "readers/formats/PNGGraphic.h"
#include "readers/formats/PSDGraphic.h"
#include "readers/formats/PSPGraphic.h"
#include "readers/formats/TIFFGraphic.h"
#include "readers/formats/TargaGraphic.h"
#include "support/ReaderConformance.h"

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
                                               "pcx:Zsoft Paintbrush",
                                               "png:Portable Network Graphics",
                                               "mng:Multiple-image Network Graphics",
                                               "cur:Windows cursors",
                                               "jpeg:JPEG Image File",
                                               "jpg:JPEG Image File",
                                               "gif:GIF Image",
                                               "hip:HIPS image",
                                               "hips:HIPS image",
                                               "bmp:Windows bitmaps",
                                               "ico:Windows icons",
                                               "wmf:Windows metafiles",
                                               "emf:Windows enhanced meta files",
                                               "jfif:JFIF images",
                                               "jpg:JPG images",
                                               "jpe:JPE images",
                                               "jpeg:JPEG images",
                                               "rle:Run length encoded Windows bitmaps",
                                               "dib:Device independant Windows bitmaps",
                                               "win:Truevision images",
                                               "vst:Truevision images",
                                               "vda:Truevision images",
                                               "tga:Truevision images",
                                               "icb:Truevision images",
                                               "tiff:Macintosh TIFF images",
                                               "tif:PC TIF images",
                                               "fax:GFI fax images",
                                               "eps:Encapsulated Postscript images",
                                               "pcx:ZSoft Paintbrush images",
                                               "pcc:ZSoft Paintbrush images",
                                               "scr:Word 5.x screen capture images",
                                               "rpf:Alias/Wavefront images",
                                               "rla:Alias/Wavefront images",
                                               "sgi:SGI true color images",
                                               "rgba:SGI true color images with alpha",
                                               "rgb:SGI true color images",
                                               "bw:SGI black/white images",
                                               "psd:Photoshop images",
                                               "pdd:Photoshop images",
                                               "ppm:Portable pixel map images",
                                               "pgm:Portable gray map images",
                                               "pbm:Portable bitmap images",
                                               "cel:Autodesk images",
                                               "pic:Autodesk images",
                                               "pcd:Kodak Photo-CD images",
                                               "cut:Dr. Halo images",
                                               "psp:Paintshop Pro images",
                                               "png:Portable network graphic images"}));
    EXPECT_EQ(FindExt("RLE"), TBitmap::ClassInfo());
    EXPECT_EQ(FindExt("dib"), TBitmap::ClassInfo());
    EXPECT_EQ(FindExt("Ico"), TIcon::ClassInfo());
    EXPECT_EQ(FindExt("emf"), TMetafile::ClassInfo());
    EXPECT_EQ(FindExt("TGA"), TTargaGraphic::ClassInfo());
    EXPECT_EQ(FindExt("Tif"), TTIFFGraphic::ClassInfo());
    EXPECT_EQ(FindExt("eps"), TEPSGraphic::ClassInfo());
    EXPECT_EQ(FindExt("Scr"), TPCXGraphic::ClassInfo());
    EXPECT_EQ(FindExt("cut"), TCUTGraphic::ClassInfo());
    EXPECT_EQ(FindExt("PDD"), TPSDGraphic::ClassInfo());
    EXPECT_EQ(FindExt("psp"), TPSPGraphic::ClassInfo());
    EXPECT_EQ(FindExt("PCD"), TPCDGraphic::ClassInfo());
    EXPECT_EQ(FindExt("Gif"), TGIFImage::ClassInfo());
    EXPECT_EQ(FindExt("png"), TPNGGraphic::ClassInfo());
    EXPECT_EQ(FindExt("MNG"), linear::TMNGGraphic::ClassInfo());
    EXPECT_EQ(FindExt("Cur"), linear::TCURGraphic::ClassInfo());
    EXPECT_EQ(FindExt("hips"), linear::THIPSGraphic::ClassInfo());
    EXPECT_EQ(FindExt("HIP"), linear::THIPSGraphic::ClassInfo());
    EXPECT_EQ(FindExt("pcx"), TPCXGraphic::ClassInfo()); // the reader library's, registered later
    EXPECT_EQ(FindExt("JPG"), TJPEGImage::ClassInfo());
    EXPECT_EQ(FindExt("jfif"), TJPEGImage::ClassInfo());

    const std::string filter = GraphicFilter(TGraphic::ClassInfo());
    EXPECT_EQ(filter.substr(0, filter.find('|')),
              "All "
              "(*.png;*.psp;*.cut;*.pcd;*.pic;*.cel;*.pbm;*.pgm;*.ppm;*.pdd;*.psd;*.bw;*.rgb;*.rgba;*.sgi;*."
              "rla;*.rpf;*.scr;*.pcc;"
              "*.pcx;*.eps;*.fax;*.tif;*.tiff;*.icb;*.tga;*.vda;*.vst;*.win;*.dib;*.rle;*.jpeg;*.jpe;*.jpg;*."
              "jfif;*.emf;*.wmf;*.ico;*.bmp;"
              "*.hips;*.hip;*.gif;*.jpg;*.jpeg;*.cur;*.mng;*.png;*.pcx;*.bmp;*.ico;*.emf;*.wmf)");
    EXPECT_NE(filter.find("|Windows bitmaps (*.bmp)|*.bmp|"), std::string::npos);

    // Icons show their PNG-compressed 256 x 256 image, read by the reader library's PNG reader.
    const std::vector<uint8_t> icon = test::ReadFileBytes(test::DataPath("ico-png/rounded256.ico"));
    TIcon withPng;
    TMemoryStream s(icon);
    withPng.LoadFromStream(s);
    const test::TPam reference = test::ReadPam(test::DataPath("ico-png/rounded256.pam"));
    ASSERT_EQ(withPng.Width(), 256);
    ASSERT_EQ(withPng.Height(), 256);
    EXPECT_EQ(test::Rgba(withPng), reference.Pixels);

    // MNG files open through the picture object with their first image, a.mng and a.MNG alike.
    for (const char* name : {"mng/plasma-three.mng", "mng/palette.mng"}) {
        TPicture picture;
        picture.LoadFromFile(test::DataPath(name));
        ASSERT_NE(dynamic_cast<linear::TMNGGraphic*>(picture.Graphic()), nullptr);
        std::string pam = test::DataPath(name);
        pam.replace(pam.size() - 3, 3, "pam");
        EXPECT_EQ(test::Rgba(*picture.Graphic()), test::ReadPam(pam).Pixels) << name;
    }
    // So do HIPS files, through the linear library's loader.
    {
        TPicture picture;
        picture.LoadFromFile(test::DataPath("hips/new-rgb.hips"));
        ASSERT_NE(dynamic_cast<linear::THIPSGraphic*>(picture.Graphic()), nullptr);
        EXPECT_EQ(test::Rgba(*picture.Graphic()), test::ReadPam(test::DataPath("hips/new-rgb.pam")).Pixels);
    }

    // At exit every class is withdrawn, the platform's own entries included, and icons pass their
    // PNG images over again.
    FinalizePictureFormats();
    EXPECT_TRUE(PictureRegistry().Entries().empty());
    TIcon withoutPng;
    TMemoryStream again(icon);
    withoutPng.LoadFromStream(again);
    EXPECT_EQ(withoutPng.Width(), 32);
}

} // namespace
} // namespace ferronel
