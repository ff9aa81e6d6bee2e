// Helpers shared by the test programs: fixture paths, temporary files and PAM images.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ferronel::test {

inline std::string DataPath(const std::string& Name) { return std::string(FERRONEL_TEST_DATA) + "/" + Name; }

// A folder under the system's temporary folder, removed with the object.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    std::string Path(const std::string& Name) const { return (FPath / Name).string(); }
    void Write(const std::string& Name, const std::vector<uint8_t>& Bytes) const;

private:
    std::filesystem::path FPath;
};

struct TPam {
    int Width = 0, Height = 0, Depth = 0;
    std::vector<uint8_t> Pixels;
};

// Reads an 8-bit PAM file; throws std::runtime_error on anything else.
TPam ReadPam(const std::string& FileName);

} // namespace ferronel::test
