// Loaders: one object per file format, kept in a process-wide registry and chosen by the upper-case
// extension. A loader overrides the stream pair or the file pair; the other goes through a
// temporary file.
#pragma once

#include "linear/BaseStream.h"

#include <string>
#include <vector>

namespace ferronel::linear {

class TLinearBitmap;

class TBitmapLoader : public TObject {
    FERRONEL_ABSTRACT_CLASS(TBitmapLoader, TObject)
public:
    // True when "*." + Ext occurs in the filter text (so a prefix of a listed extension matches too).
    virtual bool CanLoad(const std::string& Ext);
    virtual bool CanSave(const std::string& Ext);
    // Open-dialog form: description and pattern pairs separated by "|".
    virtual std::string GetLoadFilter() { return {}; }
    virtual std::string GetSaveFilter() { return GetLoadFilter(); }
    virtual void LoadFromStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap);
    virtual void SaveToStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap);
    virtual void LoadFromFile(const std::string& FileName, const std::string& Ext, TLinearBitmap& Bitmap);
    virtual void SaveToFile(const std::string& FileName, const std::string& Ext, TLinearBitmap& Bitmap);
};

// The registry; it does not own the loaders.
class TBitmapLoaders {
public:
    void RegisterLoader(TBitmapLoader& Loader) { FLoaders.push_back(&Loader); }
    // For a loader that must be asked before all others (the plug-in loader).
    void RegisterLoaderFirst(TBitmapLoader& Loader) { FLoaders.insert(FLoaders.begin(), &Loader); }
    void UnregisterLoader(TBitmapLoader& Loader);
    // The first registered loader that accepts Ext; none raises EUnsupportedFileFormat.
    TBitmapLoader& FindLoader(const std::string& Ext) const;
    TBitmapLoader& FindSaver(const std::string& Ext) const;
    size_t Count() const { return FLoaders.size(); }

private:
    std::vector<TBitmapLoader*> FLoaders;
};

// The process-wide registry, made on first use with the library's own loaders in their order.
TBitmapLoaders& BitmapLoaders();

} // namespace ferronel::linear
