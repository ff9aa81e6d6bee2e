#include "plugins/ImageDLLLoader.h"

#include "host/CheckedSize.h"
#include "host/Format.h"
#include "host/Picture.h"
#include "linear/LinearGraphic.h"
#include "linear/LinearStrings.h"
#include "plugins/ImageRecord.h"
#include "plugins/PluginStrings.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>

namespace ferronel::plugins {

using linear::ELinearBitmap;

namespace fs = std::filesystem;

void TLibraryCloser::operator()(void* Handle) const {
    if (Handle) dlclose(Handle);
}

namespace {

std::string Upper(std::string Text) {
    for (char& c : Text)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return Text;
}

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool Lists(const std::string& Filter, const std::string& Ext) {
    return !Ext.empty() && Upper(Filter).find("*." + Upper(Ext)) != std::string::npos;
}

std::string JoinFilters(const std::vector<TPluginEntry>& Plugins, bool Save) {
    std::string joined;
    for (const TPluginEntry& entry : Plugins) {
        const std::string& filter = Save ? entry.SaveFilter : entry.LoadFilter;
        if (filter.empty() || !(Save ? bool(entry.SaveFunction) : bool(entry.LoadFunction))) continue;
        if (!joined.empty() && joined.back() != '|') joined += '|';
        joined += filter;
    }
    return joined;
}

// The library's text for one filter. An unterminated or absurd text is refused (the library is
// then left out); one trailing "|" is dropped, and the parts must pair descriptions with patterns,
// or the open dialog's own entries would shift behind the plug-in's.
bool TakeFilter(TLibGetFilter Get, const char* Which, std::string& Filter, std::string& Reason) {
    Filter.clear();
    const char* text = Get ? Get() : nullptr;
    if (!text) return true;
    const size_t length = strnlen(text, MaxFilterLength + 1);
    if (length > MaxFilterLength) {
        Reason = Format(SFilterUnterminated, {Which, int64_t(MaxFilterLength)});
        return false;
    }
    Filter.assign(text, length);
    if (!Filter.empty() && Filter.back() == '|') Filter.pop_back();
    if (!Filter.empty() && std::count(Filter.begin(), Filter.end(), '|') % 2 == 0) {
        Reason = Format(SFilterUnpaired, {Which});
        return false;
    }
    return true;
}

template <typename T> T Lookup(void* Handle, const char* Name) {
    return reinterpret_cast<T>(dlsym(Handle, Name));
}

std::string ResultMessage(int Result, const char* Pattern) {
    switch (Result) {
    case prOpenError: return SUnableToOpenFile;
    case prDataError: return SErrorInBitmapData;
    case prPixelFormat: return linear::SUnsupportedPixelFormat;
    case prCloseError: return SUnableToCloseFile;
    default: return Format(Pattern, {Result});
    }
}

// The extension in the buffer the libraries receive (at most 260 characters).
std::array<char, ExtBufferSize> ExtBuffer(const std::string& Ext) {
    std::array<char, ExtBufferSize> buffer{};
    const std::string upper = Upper(Ext);
    std::memcpy(buffer.data(), upper.data(), std::min(upper.size(), buffer.size() - 1));
    return buffer;
}

} // namespace

std::vector<std::string> LoadFilterExtensions(const std::string& Filter) {
    const std::string text = Upper(Filter) + "|";
    std::vector<std::string> extensions;
    size_t at = text.find("*.");
    while (at != std::string::npos) {
        size_t end = at + 2;
        while (end < text.size() && IsNameChar(text[end])) ++end;
        const std::string ext = text.substr(at + 2, end - at - 2);
        // "*.*" names every file, not a type: registering it would give the registry an empty key.
        if (!ext.empty() && text.find("*." + ext) == at) extensions.push_back(ext);
        at = text.find("*.", end);
    }
    return extensions;
}

bool TImageDLLLoader::LoadPlugins(const std::string& Folder) {
    FSkipped.clear();
    std::string folder = Folder;
    // An empty folder is the current one; a bare file name would send dlopen down the library path.
    if (folder.empty()) folder = "./";
    if (folder.back() != '/' && folder.back() != '\\') folder += '/';

    // Name order, so that the library that serves a shared extension does not depend on the
    // file system.
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() > 3 && name.ends_with(".so") && !it->is_directory(ec)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());

    const size_t kept = FPlugins.size();
    for (const std::string& name : names) TryLoad(folder, name);
    return FPlugins.size() > kept;
}

void TImageDLLLoader::TryLoad(const std::string& Folder, const std::string& Name) {
    dlerror();
    TLibraryHandle handle(dlopen((Folder + Name).c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!handle) {
        const char* error = dlerror();
        Skip(Name, Format(SNotLoadable, {error ? error : "unknown error"}));
        return;
    }
    // The same library found again (a second call, or a link to a loaded file) stays as it is.
    for (const TPluginEntry& entry : FPlugins)
        if (entry.Handle.get() == handle.get()) return;

    TPluginEntry entry;
    entry.FileName = Name;
    entry.LoadFunction = Lookup<TLibLoadImage>(handle.get(), SLibLoadImage);
    entry.SaveFunction = Lookup<TLibSaveImage>(handle.get(), SLibSaveImage);
    entry.FreeFunction = Lookup<TLibFreeImage>(handle.get(), SLibFreeImage);
    if (!entry.LoadFunction && !entry.SaveFunction) return Skip(Name, SNoEntryPoints);
    if (!entry.FreeFunction) return Skip(Name, SNoFreeFunction);

    std::string reason;
    if (!TakeFilter(Lookup<TLibGetFilter>(handle.get(), SLibGetLoadFilter), "load", entry.LoadFilter,
                    reason) ||
        !TakeFilter(Lookup<TLibGetFilter>(handle.get(), SLibGetSaveFilter), "save", entry.SaveFilter, reason))
        return Skip(Name, reason);
    // The types of the load filter are registered even for a library that cannot read them: such
    // files then go on to the first built-in loader that takes them. One that names nothing could
    // never be chosen.
    const std::vector<std::string> reads = LoadFilterExtensions(entry.LoadFilter);
    const bool writes = entry.SaveFunction && !LoadFilterExtensions(entry.SaveFilter).empty();
    if (reads.empty() && !writes) return Skip(Name, SNoFileTypes);

    for (const std::string& ext : reads) RegisterFileFormat(ext, ext, linear::TLinearGraphic::ClassInfo());
    entry.Handle = std::move(handle);
    FPlugins.push_back(std::move(entry));
}

const TPluginEntry* TImageDLLLoader::FindEntry(const std::string& Ext, bool Save) const {
    for (const TPluginEntry& entry : FPlugins)
        if (Save ? entry.SaveFunction && Lists(entry.SaveFilter, Ext)
                 : entry.LoadFunction && Lists(entry.LoadFilter, Ext))
            return &entry;
    throw ELinearBitmap(SNoPluginForType);
}

std::string TImageDLLLoader::GetLoadFilter() { return JoinFilters(FPlugins, false); }
std::string TImageDLLLoader::GetSaveFilter() { return JoinFilters(FPlugins, true); }

void TImageDLLLoader::LoadFromFile(const std::string& FileName, const std::string& Ext,
                                   linear::TLinearBitmap& Bitmap) {
    const TPluginEntry* entry = FindEntry(Ext, false);

    // Cleared, so that a library that leaves a field unset is not read with stale memory.
    TImageContainer image{};
    image.Options = FOptions;
    std::array<char, ExtBufferSize> ext = ExtBuffer(Ext);
    std::string name = FileName;
    const int result = entry->LoadFunction(name.data(), ext.data(), &image);
    if (result != prOK) throw Exception(ResultMessage(result, SLoadResultPattern));

    // What the library allocated goes back to it on every path from here.
    struct TRelease {
        TLibFreeImage Free;
        TImageContainer* Image;
        ~TRelease() { Free(Image); }
    } release{entry->FreeFunction, &image};
    ConvertImageContainer(image, Bitmap);
}

void TImageDLLLoader::SaveToFile(const std::string& FileName, const std::string& Ext,
                                 linear::TLinearBitmap& Bitmap) {
    const TPluginEntry* entry = FindEntry(Ext, true);

    TImageContainer image{};
    switch (Bitmap.PixelFormat()) {
    case linear::lpf8bit: image.Format = ifIndexed; break;
    case linear::lpf24bit: image.Format = ifBGR; break;
    default: throw ELinearBitmap(linear::SUnsupportedPixelFormat);
    }
    image.Width = Bitmap.Width();
    image.Height = Bitmap.Height();
    image.BytesPerLine = CheckedCast<int32_t>(Bitmap.BytesPerLine());
    image.PixelData = Bitmap.Map();
    image.Palette = Bitmap.PixelFormat() == linear::lpf8bit ? Bitmap.Palette() : nullptr;
    image.Options = FOptions;
    std::array<char, ExtBufferSize> ext = ExtBuffer(Ext);
    std::string name = FileName;
    const int result = entry->SaveFunction(name.data(), ext.data(), &image);
    if (result != prOK) throw Exception(ResultMessage(result, SSaveResultPattern));
}

TImageDLLLoader& PluginLoader() {
    // Asked before every built-in loader, so a plug-in serves the extensions it names.
    static struct TRegistered {
        TImageDLLLoader Loader;
        TRegistered() { linear::BitmapLoaders().RegisterLoaderFirst(Loader); }
        ~TRegistered() { linear::BitmapLoaders().UnregisterLoader(Loader); }
    } registered;
    return registered.Loader;
}

} // namespace ferronel::plugins
