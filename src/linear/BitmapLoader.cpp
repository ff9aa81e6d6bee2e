#include "linear/BitmapLoader.h"

#include "host/Format.h"
#include "linear/BufferedStream.h"
#include "linear/FileStream.h"
#include "linear/LinearBitmap.h"
#include "linear/LinearStrings.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>

namespace ferronel::linear {

namespace {

std::string Upper(std::string Text) {
    for (char& c : Text)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return Text;
}

bool Lists(const std::string& Filter, const std::string& Ext) {
    return !Ext.empty() && Upper(Filter).find("*." + Upper(Ext)) != std::string::npos;
}

// A fresh name in the system's temporary folder with the extension, removed with the object.
class TTempFile {
public:
    explicit TTempFile(const std::string& Ext) {
        static std::mt19937 random{std::random_device{}()};
        const auto ticks = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
        const uint64_t number =
            std::uniform_int_distribution<uint64_t>(0, 2147483646)(random) + ticks % 1000000;
        FPath = (std::filesystem::temp_directory_path() / (std::to_string(number) + "." + Ext)).string();
    }
    ~TTempFile() {
        std::error_code ignored;
        std::filesystem::remove(FPath, ignored);
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};

} // namespace

bool TBitmapLoader::CanLoad(const std::string& Ext) { return Lists(GetLoadFilter(), Ext); }
bool TBitmapLoader::CanSave(const std::string& Ext) { return Lists(GetSaveFilter(), Ext); }

void TBitmapLoader::LoadFromStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) {
    const TTempFile temp(Ext);
    {
        // The whole stream: cutting it would hand the loader a damaged file.
        TFileStream file(temp.Path(), fsRead | fsWrite | fsCreate | fsShareRead);
        file.CopyFrom(Stream);
    }
    LoadFromFile(temp.Path(), Ext, Bitmap);
}

void TBitmapLoader::SaveToStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) {
    const TTempFile temp(Ext);
    { TFileStream create(temp.Path(), fsWrite | fsCreate); }
    SaveToFile(temp.Path(), Ext, Bitmap);
    TFileStream file(temp.Path(), fsRead | fsShareRead);
    Stream.CopyFrom(file);
}

void TBitmapLoader::LoadFromFile(const std::string& FileName, const std::string& Ext, TLinearBitmap& Bitmap) {
    const auto stream = OpenBufferedFile(FileName, false);
    LoadFromStream(*stream, Ext, Bitmap);
}

void TBitmapLoader::SaveToFile(const std::string& FileName, const std::string& Ext, TLinearBitmap& Bitmap) {
    const auto stream = OpenBufferedFile(FileName, true);
    SaveToStream(*stream, Ext, Bitmap);
    stream->Flush();
}

void TBitmapLoaders::UnregisterLoader(TBitmapLoader& Loader) {
    FLoaders.erase(std::remove(FLoaders.begin(), FLoaders.end(), &Loader), FLoaders.end());
}

TBitmapLoader& TBitmapLoaders::FindLoader(const std::string& Ext) const {
    const std::string ext = Upper(Ext);
    for (TBitmapLoader* loader : FLoaders)
        if (loader->CanLoad(ext)) return *loader;
    throw EUnsupportedFileFormat(Format(SUnsupportedFileFormat, {ext}));
}

TBitmapLoader& TBitmapLoaders::FindSaver(const std::string& Ext) const {
    const std::string ext = Upper(Ext);
    for (TBitmapLoader* loader : FLoaders)
        if (loader->CanSave(ext)) return *loader;
    throw EUnsupportedFileFormat(Format(SUnsupportedFileFormat, {ext}));
}

} // namespace ferronel::linear
