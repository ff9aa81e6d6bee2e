// The reader library's table of the extensions it serves: which class reads each and how each is
// described. Every entry added is passed on to the picture registry at once.
#pragma once

#include "host/Graphic.h"
#include "host/Set.h"

#include <memory>
#include <string>
#include <vector>

namespace ferronel {

enum TFormatKind : uint8_t { fkLayered = 1, fkMultiImage = 2, fkRaster = 3, fkVector = 4 };
using TFormatKinds = TSet<TFormatKind, uint8_t>;

class TFileFormatList : public TObject {
    FERRONEL_CLASS(TFileFormatList, TObject)
public:
    struct TClassEntry {
        TGraphicClass GraphicClass;
        std::string Description;
        int32_t Count = 0;
    };
    struct TExtensionEntry {
        std::string Extension;
        std::string Description;
        TFormatKinds Kinds;
        TClassEntry* ClassEntry;
    };

    TFileFormatList() = default;
    ~TFileFormatList() override;

    // Unregisters every listed class from the picture registry and empties the list.
    void Clear();
    int IndexOfExtension(const std::string& Extension) const;
    int IndexOfClass(TGraphicClass GraphicClass) const;
    void AddFormat(const std::string& Extension, const std::string& Common, const std::string& Individual,
                   TFormatKinds Kinds, bool Replace, TGraphicClass GraphicClass);
    // With an extension: removes that entry (and the class from the picture registry when it was
    // its last). With an empty extension: removes every entry of the class and the class.
    void RemoveFormat(const std::string& Extension, TGraphicClass GraphicClass);

    const std::vector<std::unique_ptr<TClassEntry>>& Classes() const { return FClasses; }
    const std::vector<std::unique_ptr<TExtensionEntry>>& Extensions() const { return FExtensions; }

private:
    TClassEntry& ClassEntryFor(TGraphicClass GraphicClass, const std::string& Common);
    void ReleaseClassEntry(TClassEntry* Entry);

    std::vector<std::unique_ptr<TClassEntry>> FClasses;
    std::vector<std::unique_ptr<TExtensionEntry>> FExtensions;
};

// The library's list, made and filled at start-up. The JPEG image class lives above this library,
// so start-up is told it; its rows are left out while there is none.
TFileFormatList* FileFormatList();
void InitializeFileFormatList(TGraphicClass JPEGImageClass);
void FinalizeFileFormatList();

} // namespace ferronel
