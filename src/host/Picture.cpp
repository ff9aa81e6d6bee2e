#include "host/Picture.h"

#include "host/Bitmap.h"
#include "host/Exceptions.h"
#include "host/Format.h"
#include "host/formats/Icon.h"
#include "host/formats/Metafile.h"

namespace ferronel {

namespace {
const char* const SUnknownExtension = "Unknown picture file extension (.%s)";
const char* const SAllFilter = "All";
} // namespace

std::string AsciiLowerCase(std::string Text) {
    for (char& c : Text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return Text;
}

TPictureRegistry::TPictureRegistry() {
    RegisterFileFormat("wmf", "Metafiles", TMetafile::ClassInfo());
    RegisterFileFormat("emf", "Enhanced Metafiles", TMetafile::ClassInfo());
    RegisterFileFormat("ico", "Icons", TIcon::ClassInfo());
    RegisterFileFormat("bmp", "Bitmaps", TBitmap::ClassInfo());
}

void TPictureRegistry::RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                          TGraphicClass GraphicClass) {
    FEntries.push_back({AsciiLowerCase(Extension), Description, GraphicClass});
}

void TPictureRegistry::UnregisterGraphicClass(TGraphicClass GraphicClass) {
    for (size_t i = FEntries.size(); i-- > 0;)
        if (FEntries[i].GraphicClass->InheritsFrom(GraphicClass))
            FEntries.erase(FEntries.begin() + ptrdiff_t(i));
}

TGraphicClass TPictureRegistry::FindExt(const std::string& Extension) const {
    const std::string key = AsciiLowerCase(Extension);
    for (size_t i = FEntries.size(); i-- > 0;)
        if (FEntries[i].Extension == key) return FEntries[i].GraphicClass;
    return nullptr;
}

std::string TPictureRegistry::GraphicFilter(TGraphicClass GraphicClass) const {
    std::string descriptions, patterns;
    int count = 0;
    for (size_t i = FEntries.size(); i-- > 0;) {
        const TFileFormatEntry& e = FEntries[i];
        if (!e.GraphicClass->InheritsFrom(GraphicClass) || e.Extension.empty()) continue;
        if (!descriptions.empty()) descriptions += '|';
        descriptions = Format("%s%s (*.%s)|*.%2:s", {descriptions, e.Description, e.Extension});
        if (!patterns.empty()) patterns += ';';
        patterns = Format("%s*.%s", {patterns, e.Extension});
        ++count;
    }
    if (count > 1) return Format("%s (%s)|%1:s|%s", {SAllFilter, patterns, descriptions});
    return descriptions;
}

TPictureRegistry& PictureRegistry() {
    static TPictureRegistry registry;
    return registry;
}

void RegisterFileFormat(const std::string& Extension, const std::string& Description,
                        TGraphicClass GraphicClass) {
    PictureRegistry().RegisterFileFormat(Extension, Description, GraphicClass);
}
void UnregisterGraphicClass(TGraphicClass GraphicClass) {
    PictureRegistry().UnregisterGraphicClass(GraphicClass);
}
TGraphicClass FindExt(const std::string& Extension) { return PictureRegistry().FindExt(Extension); }
std::string GraphicFilter(TGraphicClass GraphicClass) {
    return PictureRegistry().GraphicFilter(GraphicClass);
}

std::string ExtractPictureExtension(const std::string& FileName) {
    const size_t dot = FileName.rfind('.');
    if (dot == std::string::npos) return {};
    const size_t slash = FileName.rfind('/');
    if (slash != std::string::npos && slash > dot) return {};
    return FileName.substr(dot + 1);
}

std::unique_ptr<TGraphic> CreateGraphic(TGraphicClass GraphicClass) {
    if (!GraphicClass || !GraphicClass->Factory || !GraphicClass->InheritsFrom(TGraphic::ClassInfo()))
        throw EInvalidGraphicOperation("Cannot create an instance of an abstract graphic class");
    std::unique_ptr<TObject> object = GraphicClass->Factory();
    return std::unique_ptr<TGraphic>(static_cast<TGraphic*>(object.release()));
}

// ---------------------------------------------------------------------------------------------------------

TPicture::TPicture() { PictureRegistry(); }
TPicture::~TPicture() = default;

void TPicture::Changed() {
    if (OnChange) OnChange(this);
}

TProgressEvent TPicture::ProgressForwarder() {
    return [this](TObject* Sender, TProgressStage Stage, uint8_t Percent, bool Redraw, const TRect& R,
                  const std::string& Msg) {
        if (OnProgress) OnProgress(Sender, Stage, Percent, Redraw, R, Msg);
    };
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> Graphic) {
    FGraphic = std::move(Graphic);
    if (FGraphic) {
        FGraphic->OnChange = [this](TObject*) { Changed(); };
        FGraphic->OnProgress = ProgressForwarder();
    }
    Changed();
}

void TPicture::LoadFromFile(const std::string& FileName) {
    const std::string extension = ExtractPictureExtension(FileName);
    const TGraphicClass graphicClass = FindExt(extension);
    if (!graphicClass) throw EInvalidGraphic(Format(SUnknownExtension, {extension}));
    std::unique_ptr<TGraphic> graphic = CreateGraphic(graphicClass);
    // Progress reaches the picture's listeners during the load; changes only after it.
    graphic->OnProgress = ProgressForwarder();
    graphic->LoadFromFile(FileName);
    SetGraphic(std::move(graphic));
}

} // namespace ferronel
