// The picture registry, which maps file extensions to graphic classes, and the picture object that
// loads a file through it. The newest registration of an extension wins; extensions match without
// regard to letter case.
#pragma once

#include "host/Graphic.h"

#include <memory>
#include <string>
#include <vector>

namespace ferronel {

struct TFileFormatEntry {
    std::string Extension; // without the dot, lower case
    std::string Description;
    TGraphicClass GraphicClass;
};

class TPictureRegistry {
public:
    // Starts with the platform's four entries: wmf, emf, ico and bmp.
    TPictureRegistry();

    void RegisterFileFormat(const std::string& Extension, const std::string& Description,
                            TGraphicClass GraphicClass);
    // Removes every entry whose class is GraphicClass or derives from it.
    void UnregisterGraphicClass(TGraphicClass GraphicClass);
    TGraphicClass FindExt(const std::string& Extension) const;
    // The open dialog's filter: "description (*.ext)|*.ext" pairs, newest first, behind an "All"
    // entry when there is more than one.
    std::string GraphicFilter(TGraphicClass GraphicClass) const;
    const std::vector<TFileFormatEntry>& Entries() const { return FEntries; }

private:
    std::vector<TFileFormatEntry> FEntries;
};

// The process-wide registry, created on first use.
TPictureRegistry& PictureRegistry();

void RegisterFileFormat(const std::string& Extension, const std::string& Description,
                        TGraphicClass GraphicClass);
void UnregisterGraphicClass(TGraphicClass GraphicClass);
TGraphicClass FindExt(const std::string& Extension);
std::string GraphicFilter(TGraphicClass GraphicClass);

// The extension of a file name as written (case kept): the text after the last dot when that dot
// follows the last path separator, else empty.
std::string ExtractPictureExtension(const std::string& FileName);
std::string AsciiLowerCase(std::string Text);

// A new instance of a graphic class.
std::unique_ptr<TGraphic> CreateGraphic(TGraphicClass GraphicClass);

class TPicture : public TObject {
    FERRONEL_CLASS(TPicture, TObject)
public:
    TPicture();
    ~TPicture() override;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    TGraphic* Graphic() const { return FGraphic.get(); }
    // Takes the graphic over (none clears the picture) and reports the change.
    void SetGraphic(std::unique_ptr<TGraphic> Graphic);
    int32_t Width() const { return FGraphic ? FGraphic->Width() : 0; }
    int32_t Height() const { return FGraphic ? FGraphic->Height() : 0; }

    // Loads FileName with the class registered last for its extension. On failure the previous
    // graphic stays and the error propagates.
    void LoadFromFile(const std::string& FileName);

    TNotifyEvent OnChange;
    TProgressEvent OnProgress;

private:
    void Changed();
    TProgressEvent ProgressForwarder();

    std::unique_ptr<TGraphic> FGraphic;
};

} // namespace ferronel
