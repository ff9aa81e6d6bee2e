#include "app/FileListBox.h"

#include "host/Exceptions.h"
#include "host/Format.h"
#include "host/Picture.h"

#include <algorithm>
#include <filesystem>

namespace ferronel::app {

namespace fs = std::filesystem;

const char* const TFileListBox::DefaultMask =
    "*.bmp;*.bw;*.cel;*.cut;*.dib;*.emf;*.eps;*.fax;*.gif;*.hips;*.hip;*.icb;*.ico;*.jfif;*.jp2;*.jpc;*.jpe;"
    "*.jpeg;*.jpg;*.pbm;*.pcc;*.pcd;*.pcx;*.pdd;*.pgm;*.pic;*.pnm;*.png;*.ppm;*.psd;*.psp;*.ras;*.rgb;*.rgba;"
    "*.rla;*.rle;*.rpf;*.sgi;*.scr;*.tga;*.tif;*.tiff;*.vda;*.vst;*.win;*.wmf";

namespace {

const char* const SInvalidFileName = "Invalid file name - %s";

bool GlobMatch(const char* p, const char* s) {
    for (; *p; ++p, ++s) {
        if (*p == '*') {
            for (const char* t = s;; ++t) {
                if (GlobMatch(p + 1, t)) return true;
                if (!*t) return false;
            }
        }
        if (!*s || (*p != '?' && *p != *s)) return false;
    }
    return !*s;
}

bool SameText(const std::string& a, const std::string& b) { return AsciiLowerCase(a) == AsciiLowerCase(b); }

} // namespace

bool MatchesMask(const std::string& Name, const std::string& Mask) {
    const std::string name = AsciiLowerCase(Name);
    size_t start = 0;
    while (start <= Mask.size()) {
        const size_t end = std::min(Mask.find(';', start), Mask.size());
        const std::string pattern = AsciiLowerCase(Mask.substr(start, end - start));
        if (!pattern.empty() && GlobMatch(pattern.c_str(), name.c_str())) return true;
        start = end + 1;
    }
    return false;
}

TFileListBox::TFileListBox() : FMask(DefaultMask) {}

void TFileListBox::SetFolder(const std::string& Folder) {
    FFolder = Folder;
    Refresh();
}

void TFileListBox::SetMask(const std::string& Mask) {
    FMask = Mask;
    Refresh();
}

void TFileListBox::Refresh() {
    FEntries.clear();
    FItemIndex = -1;
    std::error_code ec;
    for (fs::directory_iterator it(FFolder.empty() ? "." : FFolder, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError)) continue;
        const std::string name = it->path().filename().string();
        if (MatchesMask(name, FMask)) FEntries.push_back(name);
    }
    std::sort(FEntries.begin(), FEntries.end(), [](const std::string& a, const std::string& b) {
        const std::string la = AsciiLowerCase(a), lb = AsciiLowerCase(b);
        return la != lb ? la < lb : a < b;
    });
}

void TFileListBox::SetItemIndex(int32_t Index) { FItemIndex = Index >= 0 && Index < Count() ? Index : -1; }

std::string TFileListBox::SelectedPath() const {
    if (FItemIndex < 0) return {};
    if (!FFolder.empty() && FFolder.back() == '/') return FFolder + FEntries[size_t(FItemIndex)];
    return FFolder + "/" + FEntries[size_t(FItemIndex)];
}

void TFileListBox::ApplyFilePath(const std::string& Path) {
    if (Path.empty()) return;
    const fs::path path = fs::absolute(fs::path(Path)).lexically_normal();
    const std::string file = path.filename().string();
    if (FItemIndex >= 0 && path.parent_path() == fs::path(FFolder) &&
        SameText(file, FEntries[size_t(FItemIndex)]))
        return;
    SetFolder(path.parent_path().string());
    if (file.find_first_of("*?") != std::string::npos) {
        SetMask(file);
        return;
    }
    auto find = [&] {
        for (size_t i = 0; i < FEntries.size(); ++i)
            if (SameText(FEntries[i], file)) return int32_t(i);
        return int32_t(-1);
    };
    // A listed entry matches without regard to case; a file the mask hides becomes the mask.
    if (find() < 0) {
        std::error_code ec;
        if (!fs::is_regular_file(path, ec)) throw EInOutError(Format(SInvalidFileName, {Path}));
        SetMask(file);
    }
    SetItemIndex(find());
    if (OnChange) OnChange();
}

} // namespace ferronel::app
