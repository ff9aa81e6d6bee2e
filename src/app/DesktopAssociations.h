// What a Linux desktop needs to open a picture type with the viewer: a desktop entry in the user's
// applications folder and the viewer as the default for the type in the user's mimeapps.list.
// Only the user's own XDG folders are written.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ferronel::app {

inline constexpr const char* DesktopEntryName = "ferronel.desktop";

struct TXdgFolders {
    std::string DataHome;   // $XDG_DATA_HOME, or ~/.local/share
    std::string ConfigHome; // $XDG_CONFIG_HOME, or ~/.config
    static TXdgFolders FromEnvironment();
};

// The desktop's MIME type for a panel extension, or empty when the desktop knows none.
std::string MimeTypeOfExtension(const std::string& Extension);

// The desktop entry that runs Program with the file the desktop hands it.
std::string DesktopEntryText(const std::string& Program);

// mimeapps.list with this viewer first among the defaults of every type marked true, and taken out
// of the defaults of every type marked false. Every other line stays as it was.
std::string UpdateMimeApps(const std::string& Text, const std::vector<std::pair<std::string, bool>>& Types);

// Writes the desktop entry and updates mimeapps.list for the extensions' states (ticked or not).
// A type stays the viewer's while any of its extensions is ticked.
void ApplyDesktopAssociations(const TXdgFolders& Folders, const std::string& Program,
                              const std::vector<std::pair<std::string, bool>>& ExtensionStates);

} // namespace ferronel::app
