#include "app/DesktopAssociations.h"

#include "app/Associations.h"
#include "host/Exceptions.h"
#include "host/Format.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace ferronel::app {

namespace fs = std::filesystem;

namespace {

const char* const DefaultsSection = "[Default Applications]";

std::string Environment(const char* Name) {
    const char* value = std::getenv(Name);
    return value ? value : "";
}

std::string ReadText(const fs::path& Path) {
    std::ifstream in(Path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Writes beside the file and renames, so a failed write never leaves half a file.
void WriteText(const fs::path& Path, const std::string& Text) {
    std::error_code ec;
    fs::create_directories(Path.parent_path(), ec);
    const fs::path temporary = Path.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << Text;
        if (!out.flush()) throw EInOutError(Format("Cannot create file \"%s\"", {Path.string()}));
    }
    fs::rename(temporary, Path, ec);
    if (ec) {
        fs::remove(temporary, ec);
        throw EInOutError(Format("Cannot create file \"%s\"", {Path.string()}));
    }
}

// A desktop entry's Exec argument in double quotes, with the characters that must be escaped.
std::string QuoteExec(const std::string& Program) {
    std::string quoted = "\"";
    for (char c : Program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::vector<std::string> SplitList(const std::string& Value) {
    std::vector<std::string> items;
    std::istringstream in(Value);
    for (std::string item; std::getline(in, item, ';');)
        if (!item.empty()) items.push_back(item);
    return items;
}

} // namespace

TXdgFolders TXdgFolders::FromEnvironment() {
    const std::string home = Environment("HOME");
    TXdgFolders folders{Environment("XDG_DATA_HOME"), Environment("XDG_CONFIG_HOME")};
    if (folders.DataHome.empty()) folders.DataHome = home + "/.local/share";
    if (folders.ConfigHome.empty()) folders.ConfigHome = home + "/.config";
    return folders;
}

std::string MimeTypeOfExtension(const std::string& Extension) {
    static const std::map<std::string, std::string> types = {
        {"bmp", "image/bmp"},
        {"cur", "image/x-win-bitmap"},
        {"dib", "image/bmp"},
        {"emf", "image/emf"},
        {"eps", "image/x-eps"},
        {"gif", "image/gif"},
        {"icb", "image/x-tga"},
        {"ico", "image/vnd.microsoft.icon"},
        {"jp2", "image/jp2"},
        {"jpc", "image/x-jp2-codestream"},
        {"jpe", "image/jpeg"},
        {"jpeg", "image/jpeg"},
        {"jpg", "image/jpeg"},
        {"pbm", "image/x-portable-bitmap"},
        {"pcd", "image/x-photo-cd"},
        {"pcx", "image/vnd.zbrush.pcx"},
        {"pgm", "image/x-portable-graymap"},
        {"png", "image/png"},
        {"pnm", "image/x-portable-anymap"},
        {"ppm", "image/x-portable-pixmap"},
        {"psd", "image/vnd.adobe.photoshop"},
        {"ras", "image/x-cmu-raster"},
        {"rgb", "image/x-rgb"},
        {"rle", "image/rle"},
        {"sgi", "image/x-sgi"},
        {"tga", "image/x-tga"},
        {"tif", "image/tiff"},
        {"tiff", "image/tiff"},
        {"vda", "image/x-tga"},
        {"vst", "image/x-tga"},
        {"wmf", "image/wmf"},
    };
    const auto it = types.find(Extension);
    return it == types.end() ? std::string() : it->second;
}

std::string DesktopEntryText(const std::string& Program) {
    std::set<std::string> mimeTypes;
    for (const TAssociationType& type : AssociationTypes())
        for (const char* extension : type.Extensions)
            if (const std::string mime = MimeTypeOfExtension(extension); !mime.empty())
                mimeTypes.insert(mime);
    std::string text = "[Desktop Entry]\nType=Application\nName=Ferronel\nComment=Picture viewer\n";
    text += "Exec=" + QuoteExec(Program) + " %f\nTerminal=false\nCategories=Graphics;Viewer;\nMimeType=";
    for (const std::string& mime : mimeTypes) text += mime + ";";
    return text + "\n";
}

std::string UpdateMimeApps(const std::string& Text, const std::vector<std::pair<std::string, bool>>& Types) {
    std::map<std::string, bool> pending(Types.begin(), Types.end());
    auto owned = [](const std::string& mime) { return mime + "=" + DesktopEntryName + ";\n"; };
    auto missing = [&] {
        std::string lines;
        for (const auto& [mime, tick] : pending)
            if (tick) lines += owned(mime);
        pending.clear();
        return lines;
    };
    std::string result;
    bool inDefaults = false, sawDefaults = false;
    std::istringstream in(Text);
    for (std::string line; std::getline(in, line);) {
        const bool lastLineUnended = in.eof() && (Text.empty() || Text.back() != '\n');
        if (line.starts_with('[')) {
            if (inDefaults) result += missing();
            inDefaults = line.rfind(DefaultsSection, 0) == 0;
            sawDefaults = sawDefaults || inDefaults;
        }
        const size_t equals = line.find('=');
        const std::string key = equals == std::string::npos ? "" : line.substr(0, equals);
        const auto type = inDefaults ? pending.find(key) : pending.end();
        if (type == pending.end()) {
            result += line + (lastLineUnended ? "" : "\n");
            continue;
        }
        std::vector<std::string> apps;
        bool named = false;
        for (std::string& app : SplitList(line.substr(equals + 1))) {
            if (app == DesktopEntryName)
                named = true;
            else
                apps.push_back(std::move(app));
        }
        if (!named && !type->second) {
            result += line + (lastLineUnended ? "" : "\n");
            continue;
        }
        if (type->second) apps.insert(apps.begin(), DesktopEntryName);
        if (!apps.empty()) {
            result += key + "=";
            for (const std::string& app : apps) result += app + ";";
            result += "\n";
        }
        // Later lines for the same type are another program's business; only the first is ours.
        if (type->second) pending.erase(type);
    }
    std::string rest = missing();
    if (!rest.empty()) {
        if (!result.empty() && result.back() != '\n') result += "\n";
        if (!sawDefaults) result += std::string(result.empty() ? "" : "\n") + DefaultsSection + "\n";
        result += rest;
    }
    return result;
}

void ApplyDesktopAssociations(const TXdgFolders& Folders, const std::string& Program,
                              const std::vector<std::pair<std::string, bool>>& ExtensionStates) {
    WriteText(fs::path(Folders.DataHome) / "applications" / DesktopEntryName, DesktopEntryText(Program));
    std::map<std::string, bool> mimeStates;
    for (const auto& [extension, ticked] : ExtensionStates)
        if (const std::string mime = MimeTypeOfExtension(extension); !mime.empty())
            mimeStates[mime] |= ticked;
    const fs::path list = fs::path(Folders.ConfigHome) / "mimeapps.list";
    const std::string before = ReadText(list);
    const std::string after = UpdateMimeApps(before, {mimeStates.begin(), mimeStates.end()});
    if (after != before) WriteText(list, after);
}

} // namespace ferronel::app
