#include "Convert.h"

#include "Batch.h"

#include "gif/ColorReduction.h"
#include "gif/GIFImage.h"

#include "host/Bitmap.h"
#include "host/Canvas.h"
#include "host/Exceptions.h"
#include "host/Format.h"
#include "host/Picture.h"
#include "host/RenderBitmap.h"
#include "host/Stream.h"
#include "host/formats/Metafile.h"
#include "picture/Registrations.h"
#include "qt/MetafilePlayer.h"
#include "readers/PropertyNames.h"
#include "readers/formats/TargaGraphic.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <mutex>
#include <ostream>

namespace ferronel {

namespace {

const char* const Usage =
    "usage: ferronel-convert [GIF OPTIONS] INPUT OUTPUT   (OUTPUT ends in .bmp, .png, .pam, .tga or .gif)\n"
    "       ferronel-convert --info INPUT\n"
    "       ferronel-convert --to FORMAT -o FOLDER [-r] [-j N] [--force] INPUT...\n"
    "GIF options: --rle (run-length codes instead of LZW), --reduction 1..8 (palette of true-colour\n"
    "  pictures; default 6, the colour cube), --depth 1..8 (colours of --reduction 7: 2^depth),\n"
    "  --dither 0..6 (none, Floyd-Steinberg, Stucki, Sierra, Jarvis-Judice-Ninke, Stevenson-Arce, Burkes)\n";

// Takes the GIF options off the front of Args; false when one is malformed.
bool ParseGIFOptions(std::vector<std::string>& Args, TGIFOptions& Options) {
    auto number = [](const std::string& Text, int Low, int High, int& Value) {
        if (Text.empty() || Text.size() > 3 || Text.find_first_not_of("0123456789") != std::string::npos)
            return false;
        Value = std::stoi(Text);
        return Value >= Low && Value <= High;
    };
    size_t i = 0;
    while (i < Args.size() && Args[i].starts_with("--") && Args[i] != "--info") {
        const std::string& option = Args[i];
        int value = 0;
        if (option == "--rle") {
            Options.EncoderKind = 1;
            ++i;
        } else if (i + 1 < Args.size() &&
                   (option == "--reduction" || option == "--depth" || option == "--dither")) {
            const bool ok = option == "--reduction" ? number(Args[i + 1], 1, rmCustomPalette - 1, value)
                            : option == "--depth"   ? number(Args[i + 1], 1, 8, value)
                                                    : number(Args[i + 1], 0, dkBurkes, value);
            if (!ok) return false;
            if (option == "--reduction")
                Options.ReductionMethod = uint8_t(value);
            else if (option == "--depth")
                Options.ReductionDepth = value;
            else
                Options.DitherKind = uint8_t(value);
            i += 2;
        } else {
            return false;
        }
        Options.Used = true;
    }
    Args.erase(Args.begin(), Args.begin() + std::ptrdiff_t(i));
    return true;
}

// A GIF picture is written as it stands (every frame and block); anything else becomes one frame,
// reduced to at most 256 colours when it has more.
void WriteGif(TGraphic& Graphic, const TGIFOptions& Options, const std::string& FileName) {
    TGIFImage converted;
    auto* image = dynamic_cast<TGIFImage*>(&Graphic);
    if (!image) {
        image = &converted;
        image->ReductionMethod = Options.ReductionMethod;
        image->ReductionDepth = Options.ReductionDepth;
        image->DitherKind = Options.DitherKind;
        image->Add(Graphic);
    }
    image->EncoderKind = Options.EncoderKind;
    TMemoryStream bytes;
    image->SaveToStream(bytes);
    bytes.SaveToFile(FileName);
}

const char* PixelFormatName(TPixelFormat f) {
    static const char* const names[] = {"pfDevice", "pf1bit",  "pf4bit",  "pf8bit",  "pf15bit",
                                        "pf16bit",  "pf24bit", "pf32bit", "pfCustom"};
    return f <= pfCustom ? names[f] : "?";
}

// The PAM and PNG writers give the same pixels: a 32-bit copy read row by row as R, G, B, A, where
// A is the bitmap's own only when it carries opacity (otherwise the fourth byte means nothing).
struct TRgbaSource {
    explicit TRgbaSource(const TBitmap& Bitmap) {
        Pixels.Assign(Bitmap);
        Pixels.SetPixelFormat(pf32bit);
        Alpha = Pixels.AlphaFormat() == afDefined;
    }
    void Row(int32_t Y, uint8_t* Target) const {
        const uint8_t* s = Pixels.ScanLine(Y);
        for (int32_t x = 0; x < Pixels.Width(); ++x, s += 4, Target += 4) {
            Target[0] = s[2];
            Target[1] = s[1];
            Target[2] = s[0];
            Target[3] = Alpha ? s[3] : 255;
        }
    }
    TBitmap Pixels;
    bool Alpha = false;
};

void PrintImageProperties(const TImageProperties& P, std::ostream& Out) {
    Out << "colour scheme: " << ColorSchemeName(P.ColorScheme)
        << "\nbits per sample: " << unsigned(P.BitsPerSample)
        << "\nsamples per pixel: " << unsigned(P.SamplesPerPixel)
        << "\nbits per pixel: " << unsigned(P.BitsPerPixel)
        << "\ncompression: " << CompressionSchemeName(P.Compression)
        << "\norientation: " << (P.BottomUp ? "bottom-up" : "top-down") << "\n";
}

} // namespace

void WritePam(TStream& Stream, const TBitmap& Bitmap) {
    const TRgbaSource source(Bitmap);
    const std::string header = "P7\nWIDTH " + std::to_string(source.Pixels.Width()) + "\nHEIGHT " +
                               std::to_string(source.Pixels.Height()) +
                               "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    Stream.WriteBuffer(header.data(), header.size());
    std::vector<uint8_t> row(size_t(source.Pixels.Width()) * 4);
    for (int32_t y = 0; y < source.Pixels.Height(); ++y) {
        source.Row(y, row.data());
        Stream.WriteBuffer(row.data(), row.size());
    }
}

void WritePng(TStream& Stream, const TBitmap& Bitmap) {
    const TRgbaSource source(Bitmap);
    // RGBX keeps an opaque picture free of an alpha channel in the file.
    QImage image(source.Pixels.Width(), source.Pixels.Height(),
                 source.Alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
    if (image.isNull())
        throw EOutOfResources(Format("Not enough memory for a %d x %d picture",
                                     {source.Pixels.Width(), source.Pixels.Height()}));
    for (int32_t y = 0; y < source.Pixels.Height(); ++y) source.Row(y, image.scanLine(y));
    // Encoded in memory, then written through the stream like every other output, so that a write
    // that fails says so in the same words.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) throw EInOutError("PNG encoding failed: " + writer.errorString().toStdString());
    Stream.WriteBuffer(bytes.constData(), size_t(bytes.size()));
}

int ConvertMain(const std::vector<std::string>& Arguments, std::ostream& Out, std::ostream& Err,
                bool Terminal) {
    if (IsBatchCommand(Arguments)) return BatchMain(Arguments, Out, Err, Terminal);
    std::vector<std::string> Args = Arguments;
    TGIFOptions gifOptions;
    if (!ParseGIFOptions(Args, gifOptions)) {
        Err << Usage;
        return 2;
    }
    const bool info = Args.size() == 2 && Args[0] == "--info";
    if (!info && (Args.size() != 2 || Args[0].starts_with("-"))) {
        Err << Usage;
        return 2;
    }
    const std::string input = info ? Args[1] : Args[0];
    std::string outputKind;
    if (!info) {
        outputKind = AsciiLowerCase(ExtractPictureExtension(Args[1]));
        if (outputKind.empty()) {
            Err << "ferronel-convert: " << Args[1] << ": no extension to choose the output format by\n"
                << Usage;
            return 2;
        }
        if (!IsOutputKind(outputKind)) {
            Err << "ferronel-convert: cannot write ." << outputKind << " files\n" << Usage;
            return 2;
        }
    }
    if (gifOptions.Used && outputKind != "gif") {
        Err << "ferronel-convert: the GIF options need a .gif output\n" << Usage;
        return 2;
    }

    InitializePictureFormats();
    try {
        if (info) {
            TPicture picture;
            picture.LoadFromFile(input);
            TGraphic& graphic = *picture.Graphic();
            if (dynamic_cast<TMetafile*>(&graphic)) qt::InstallOffscreenMetafilePlayer();
            const auto* bitmap = dynamic_cast<const TBitmap*>(&graphic);
            Out << "class: " << graphic.ClassType()->Name << "\nwidth: " << graphic.Width()
                << "\nheight: " << graphic.Height()
                << "\npixel format: " << (bitmap ? PixelFormatName(bitmap->PixelFormat()) : "-") << "\n";
            if (const auto* reader = dynamic_cast<const TReaderGraphic*>(&graphic))
                PrintImageProperties(reader->ImageProperties(), Out);
            return 0;
        }
        ConvertFile(input, Args[1], outputKind, gifOptions);
        return 0;
    } catch (const Exception& e) {
        Err << e.Message() << "\n";
    } catch (const std::exception& e) {
        Err << e.what() << "\n";
    }
    return 1;
}

bool IsOutputKind(const std::string& Kind) {
    return Kind == "bmp" || Kind == "png" || Kind == "pam" || Kind == "tga" || Kind == "gif";
}

const char* ConvertUsage() { return Usage; }

void PrepareConversions() {
    static std::once_flag once;
    std::call_once(once, qt::InstallOffscreenMetafilePlayer);
}

void ConvertFile(const std::string& Input, const std::string& Output, const std::string& Kind,
                 const TGIFOptions& Gif) {
    TPicture picture;
    picture.LoadFromFile(Input);
    TGraphic& graphic = *picture.Graphic();
    if (dynamic_cast<TMetafile*>(&graphic)) PrepareConversions();
    // Every writer would make a file no reader accepts; nothing is opened before this.
    if (graphic.Width() <= 0 || graphic.Height() <= 0)
        throw EInvalidGraphic(Input + ": the picture is empty (" + std::to_string(graphic.Width()) + " x " +
                              std::to_string(graphic.Height()) + "); nothing written");
    // Bitmap files keep a bitmap's own format; anything else is rendered.
    auto copy = [&](TBitmap& target) {
        if (auto* source = dynamic_cast<TBitmap*>(&graphic))
            target.Assign(*source);
        else
            RenderToBitmap(graphic, target);
    };
    if (Kind == "gif") {
        WriteGif(graphic, Gif, Output);
    } else if (Kind == "tga") {
        TTargaGraphic targa;
        copy(targa);
        targa.SaveToFile(Output);
    } else if (Kind == "bmp") {
        TBitmap bitmap;
        copy(bitmap);
        bitmap.SaveToFile(Output);
    } else {
        TBitmap bitmap;
        RenderToBitmap(graphic, bitmap);
        TFileStream stream(Output, fmCreate);
        if (Kind == "png")
            WritePng(stream, bitmap);
        else
            WritePam(stream, bitmap);
    }
}

} // namespace ferronel
