#include "support/TestData.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace ferronel::test {

TTempDir::TTempDir() {
    std::random_device rd;
    FPath = std::filesystem::temp_directory_path() /
            ("ferronel-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(FPath);
}

TTempDir::~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
}

void TTempDir::Write(const std::string& Name, const std::vector<uint8_t>& Bytes) const {
    std::ofstream out(Path(Name), std::ios::binary);
    out.write(reinterpret_cast<const char*>(Bytes.data()), std::streamsize(Bytes.size()));
}

TPam ReadPam(const std::string& FileName) {
    std::ifstream in(FileName, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + FileName);
    std::string line;
    TPam pam;
    int maxval = 0;
    std::getline(in, line);
    if (line != "P7") throw std::runtime_error(FileName + " is not a PAM file");
    while (std::getline(in, line) && line != "ENDHDR") {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "WIDTH") words >> pam.Width;
        if (key == "HEIGHT") words >> pam.Height;
        if (key == "DEPTH") words >> pam.Depth;
        if (key == "MAXVAL") words >> maxval;
    }
    if (maxval != 255) throw std::runtime_error(FileName + ": only 8-bit PAM files are read");
    pam.Pixels.resize(size_t(pam.Width) * size_t(pam.Height) * size_t(pam.Depth));
    in.read(reinterpret_cast<char*>(pam.Pixels.data()), std::streamsize(pam.Pixels.size()));
    if (!in) throw std::runtime_error(FileName + " is short");
    return pam;
}

} // namespace ferronel::test
