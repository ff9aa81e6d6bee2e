// A temporary plug-in folder filled with libraries built by plugins/, and picture files for them.
#pragma once

#include "support/TestData.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ferronel::test {

class TPluginFolder {
public:
    // Copies each built library under its own name, or "built=copy" under the name copy.
    explicit TPluginFolder(const std::vector<std::string>& Libraries = {}) {
        std::filesystem::create_directory(Folder());
        for (const std::string& library : Libraries) Add(library);
    }
    void Add(const std::string& Library) {
        const size_t eq = Library.find('=');
        const std::string built = Library.substr(0, eq) + ".so";
        const std::string copy = eq == std::string::npos ? built : Library.substr(eq + 1);
        std::filesystem::copy_file(std::string(FERRONEL_SAMPLE_PLUGIN_DIR) + "/" + built, Folder() + copy);
    }
    std::string Folder() const { return FDir.Path("plugins") + "/"; }
    std::string Path(const std::string& Name) const { return FDir.Path(Name); }
    void Write(const std::string& Name, const std::vector<uint8_t>& Bytes) const { FDir.Write(Name, Bytes); }

private:
    TTempDir FDir;
};

inline void Put32(std::vector<uint8_t>& Bytes, uint32_t Value) {
    for (int i = 0; i < 4; ++i) Bytes.push_back(uint8_t(Value >> (8 * i)));
}

// A picture in the sample plug-in's format.
inline std::vector<uint8_t> SamplePicture(uint32_t Width, uint32_t Height, uint32_t Format,
                                          const std::vector<uint8_t>& Palette,
                                          const std::vector<uint8_t>& Pixels) {
    std::vector<uint8_t> bytes = {'F', 'S', 'P', '1'};
    Put32(bytes, Width);
    Put32(bytes, Height);
    Put32(bytes, Format);
    bytes.insert(bytes.end(), Palette.begin(), Palette.end());
    bytes.insert(bytes.end(), Pixels.begin(), Pixels.end());
    return bytes;
}

// A record for the lying plug-in to hand out (its ".lie" file).
struct TLie {
    int32_t Width = 1, Height = 1, BytesPerLine = 0, Format = 3, Result = 0;
    bool NoPixels = false;
    std::vector<uint8_t> Palette; // empty: none
    std::vector<uint8_t> Pixels;
    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> bytes;
        for (int32_t v : {Width, Height, BytesPerLine, Format, Result}) Put32(bytes, uint32_t(v));
        bytes.push_back(uint8_t((NoPixels ? 1 : 0) | (Palette.empty() ? 0 : 2)));
        bytes.insert(bytes.end(), Palette.begin(), Palette.end());
        bytes.insert(bytes.end(), Pixels.begin(), Pixels.end());
        return bytes;
    }
};

} // namespace ferronel::test
