// The browser's file list: the picture files of one folder that match its mask, sorted by name
// without regard to case, with one selected entry.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ferronel::app {

class TFileListBox {
public:
    // The fixed mask of picture extensions.
    static const char* const DefaultMask;

    TFileListBox();

    const std::string& Folder() const { return FFolder; }
    void SetFolder(const std::string& Folder);
    const std::string& Mask() const { return FMask; }
    void SetMask(const std::string& Mask);
    const std::vector<std::string>& Entries() const { return FEntries; }
    int32_t Count() const { return int32_t(FEntries.size()); }

    int32_t ItemIndex() const { return FItemIndex; }
    // An index outside the entries leaves none selected (-1). Does not fire OnChange.
    void SetItemIndex(int32_t Index);
    // Folder + "/" + the selected entry, or empty when none is selected.
    std::string SelectedPath() const;
    // Moves the list to the path's folder and selects the file, or takes a file part with "*" or
    // "?" as the new mask. A file that does not exist raises "Invalid file name - %s"; one the mask
    // hides becomes the mask. Nothing happens for an empty path or the entry already selected.
    void ApplyFilePath(const std::string& Path);
    // Reads the folder again.
    void Refresh();

    int32_t Height = 0;
    std::function<void()> OnChange; // fired by selections a user or ApplyFilePath makes

private:
    std::string FFolder;
    std::string FMask;
    std::vector<std::string> FEntries;
    int32_t FItemIndex = -1;
};

// Whether Name matches one of the ";"-separated patterns ("*" and "?"), without regard to case.
bool MatchesMask(const std::string& Name, const std::string& Mask);

} // namespace ferronel::app
