// The loader that reads and writes pictures through image plug-ins: shared libraries in a folder
// that export the entry points of ImageContainer.h. Their readable extensions join the picture
// registry under TLinearGraphic, and the process-wide loader is asked before every built-in one.
#pragma once

#include "linear/BitmapLoader.h"
#include "plugins/ImageContainer.h"

#include <memory>
#include <string>
#include <vector>

namespace ferronel::plugins {

struct TLibraryCloser {
    void operator()(void* Handle) const;
};
using TLibraryHandle = std::unique_ptr<void, TLibraryCloser>;

// One library kept by LoadPlugins.
struct TPluginEntry {
    std::string FileName;
    TLibraryHandle Handle;
    std::string LoadFilter; // the library's texts, copied; empty when it has none
    std::string SaveFilter;
    TLibLoadImage LoadFunction = nullptr;
    TLibSaveImage SaveFunction = nullptr;
    TLibFreeImage FreeFunction = nullptr;
};

// A file of the folder that was left out, and why.
struct TSkippedPlugin {
    std::string FileName;
    std::string Reason;
};

// Longest filter text taken from a library; a longer or unterminated one leaves the library out.
inline constexpr size_t MaxFilterLength = 65536;

class TImageDLLLoader : public linear::TBitmapLoader {
    FERRONEL_CLASS(TImageDLLLoader, linear::TBitmapLoader)
public:
    TImageDLLLoader() = default;
    TImageDLLLoader(const TImageDLLLoader&) = delete;
    TImageDLLLoader& operator=(const TImageDLLLoader&) = delete;

    // Loads every "*.so" of Folder (in name order) that exports a load or save function and the
    // release function, and registers the extensions it reads. Problems raise nothing: the file is
    // listed in Skipped(). True when at least one library was kept.
    bool LoadPlugins(const std::string& Folder);
    const std::vector<TPluginEntry>& Plugins() const { return FPlugins; }
    // The files the last LoadPlugins left out.
    const std::vector<TSkippedPlugin>& Skipped() const { return FSkipped; }

    // The libraries' filters in table order, joined with "|".
    std::string GetLoadFilter() override;
    std::string GetSaveFilter() override;
    void LoadFromFile(const std::string& FileName, const std::string& Ext,
                      linear::TLinearBitmap& Bitmap) override;
    void SaveToFile(const std::string& FileName, const std::string& Ext,
                    linear::TLinearBitmap& Bitmap) override;

private:
    void TryLoad(const std::string& Folder, const std::string& Name);
    // The first library that reads (or writes) Ext; none raises "Unsupported file format".
    const TPluginEntry* FindEntry(const std::string& Ext, bool Save) const;
    void Skip(const std::string& Name, std::string Reason) { FSkipped.push_back({Name, std::move(Reason)}); }

    std::vector<TPluginEntry> FPlugins;
    std::vector<TSkippedPlugin> FSkipped;
    char FOptions[1] = {0}; // handed to the libraries: an empty text
};

// The extensions a load filter names, upper case, each once: the name characters after every "*.".
// A pattern whose text already occurred earlier (also as the start of a longer one) and an empty
// extension ("*.*") are left out.
std::vector<std::string> LoadFilterExtensions(const std::string& Filter);

// The process-wide loader, registered at the front of linear::BitmapLoaders() on first use.
TImageDLLLoader& PluginLoader();

} // namespace ferronel::plugins
