#include "Convert.h"

#include "host/Bitmap.h"
#include "host/Canvas.h"
#include "host/Exceptions.h"
#include "host/formats/Metafile.h"
#include "host/Picture.h"
#include "host/RenderBitmap.h"
#include "host/Stream.h"
#include "picture/Registrations.h"
#include "qt/MetafilePlayer.h"
#include "readers/formats/TargaGraphic.h"

#include <ostream>

namespace ferronel {

namespace {

const char* const Usage = "usage: ferronel-convert INPUT OUTPUT   (OUTPUT ends in .bmp, .pam or .tga)\n"
                          "       ferronel-convert --info INPUT\n";

const char* PixelFormatName(TPixelFormat f) {
    static const char* const names[] = {"pfDevice", "pf1bit",  "pf4bit",  "pf8bit",  "pf15bit",
                                        "pf16bit",  "pf24bit", "pf32bit", "pfCustom"};
    return f <= pfCustom ? names[f] : "?";
}

} // namespace

void WritePam(TStream& Stream, const TBitmap& Bitmap) {
    TBitmap rgba;
    rgba.Assign(Bitmap);
    rgba.SetPixelFormat(pf32bit);
    const bool alpha = rgba.AlphaFormat() == afDefined;
    const std::string header = "P7\nWIDTH " + std::to_string(rgba.Width()) + "\nHEIGHT " +
                               std::to_string(rgba.Height()) +
                               "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    Stream.WriteBuffer(header.data(), header.size());
    std::vector<uint8_t> row(size_t(rgba.Width()) * 4);
    for (int32_t y = 0; y < rgba.Height(); ++y) {
        const uint8_t* s = rgba.ScanLine(y);
        for (int32_t x = 0; x < rgba.Width(); ++x) {
            row[4 * size_t(x)] = s[4 * x + 2];
            row[4 * size_t(x) + 1] = s[4 * x + 1];
            row[4 * size_t(x) + 2] = s[4 * x];
            row[4 * size_t(x) + 3] = alpha ? s[4 * x + 3] : 255;
        }
        Stream.WriteBuffer(row.data(), row.size());
    }
}

int ConvertMain(const std::vector<std::string>& Args, std::ostream& Out, std::ostream& Err) {
    const bool info = Args.size() == 2 && Args[0] == "--info";
    if (!info && (Args.size() != 2 || Args[0].starts_with("-"))) {
        Err << Usage;
        return 2;
    }
    const std::string input = info ? Args[1] : Args[0];
    std::string outputKind;
    if (!info) {
        outputKind = AsciiLowerCase(ExtractPictureExtension(Args[1]));
        if (outputKind != "bmp" && outputKind != "pam" && outputKind != "tga") {
            Err << "ferronel-convert: cannot write ." << outputKind << " files\n" << Usage;
            return 2;
        }
    }

    InitializePictureFormats();
    try {
        TPicture picture;
        picture.LoadFromFile(input);
        TGraphic& graphic = *picture.Graphic();
        if (dynamic_cast<TMetafile*>(&graphic)) qt::InstallOffscreenMetafilePlayer();
        if (info) {
            const auto* bitmap = dynamic_cast<const TBitmap*>(&graphic);
            Out << "class: " << graphic.ClassType()->Name << "\nwidth: " << graphic.Width()
                << "\nheight: " << graphic.Height()
                << "\npixel format: " << (bitmap ? PixelFormatName(bitmap->PixelFormat()) : "-") << "\n";
            return 0;
        }
        // Bitmap files keep a bitmap's own format; anything else is rendered.
        auto copy = [&](TBitmap& target) {
            if (auto* source = dynamic_cast<TBitmap*>(&graphic))
                target.Assign(*source);
            else
                RenderToBitmap(graphic, target);
        };
        if (outputKind == "tga") {
            TTargaGraphic targa;
            copy(targa);
            targa.SaveToFile(Args[1]);
        } else if (outputKind == "bmp") {
            TBitmap bitmap;
            copy(bitmap);
            bitmap.SaveToFile(Args[1]);
        } else {
            TBitmap bitmap;
            RenderToBitmap(graphic, bitmap);
            TFileStream stream(Args[1], fmCreate);
            WritePam(stream, bitmap);
        }
        return 0;
    } catch (const Exception& e) {
        Err << e.Message() << "\n";
    } catch (const std::exception& e) {
        Err << e.what() << "\n";
    }
    return 1;
}

} // namespace ferronel
