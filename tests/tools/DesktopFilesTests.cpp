// The files that tell a desktop about the pictures: the MIME definitions, the thumbnailer entry and
// the desktop entry, checked against the picture registry so that a reader added later without its
// type fails here.
#include "support/TestData.h"

#include "app/DesktopAssociations.h"
#include "host/Picture.h"
#include "picture/Registrations.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace ferronel {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string DataFile(const std::string& Name) { return std::string(FERRONEL_SOURCE_DIR) + "/data/" + Name; }

struct TMimeFile {
    std::map<std::string, std::string> Globs; // extension -> type
    std::set<std::string> Defined;            // types this file describes (with a comment)
    TMimeFile() {
        const std::string text = Slurp(DataFile("ferronel-mime.xml"));
        const std::regex type(R"re(<mime-type type="([^"]+)">([\s\S]*?)</mime-type>)re");
        const std::regex glob(R"re(<glob pattern="\*\.([a-z0-9]+)"/>)re");
        for (auto t = std::sregex_iterator(text.begin(), text.end(), type); t != std::sregex_iterator();
             ++t) {
            const std::string name = (*t)[1], body = (*t)[2];
            if (body.find("<comment>") != std::string::npos) Defined.insert(name);
            for (auto g = std::sregex_iterator(body.begin(), body.end(), glob); g != std::sregex_iterator();
                 ++g)
                Globs[(*g)[1]] = name;
        }
    }
    std::string TypeOf(const std::string& Extension) const {
        const auto it = Globs.find(Extension);
        return it != Globs.end() ? it->second : app::MimeTypeOfExtension(Extension);
    }
};

std::set<std::string> MimeTypeLine(const std::string& Text) {
    std::set<std::string> types;
    const size_t at = Text.find("\nMimeType=");
    if (at == std::string::npos) return types;
    std::istringstream line(Text.substr(at + 10, Text.find('\n', at + 1) - at - 10));
    for (std::string item; std::getline(line, item, ';');)
        if (!item.empty()) types.insert(item);
    return types;
}

TEST(DesktopFiles, EveryExtensionTheViewerReadsHasAType) {
    InitializePictureFormats();
    const TMimeFile mime;
    for (const TFileFormatEntry& entry : PictureRegistry().Entries())
        EXPECT_FALSE(mime.TypeOf(entry.Extension).empty()) << "." << entry.Extension << " has no MIME type";
    // Readers that arrive on their own carry their types here already.
    for (const char* extension :
         {"tif", "tiff", "fax", "eps", "psd", "pdd", "psp", "pcd", "mng", "hip", "hips"})
        EXPECT_FALSE(mime.TypeOf(extension).empty()) << "." << extension << " has no MIME type";
    // The formats a desktop does not know are described here, with their variants.
    EXPECT_EQ(mime.TypeOf("cel"), "image/x-autodesk-cel");
    EXPECT_EQ(mime.TypeOf("cut"), "image/x-dr-halo-cut");
    EXPECT_EQ(mime.TypeOf("rpf"), "image/x-alias-rla");
    EXPECT_EQ(mime.TypeOf("psp"), "image/x-paint-shop-pro");
    EXPECT_EQ(mime.TypeOf("hips"), "image/x-hips");
    EXPECT_EQ(mime.TypeOf("win"), "image/x-tga");
    EXPECT_EQ(mime.TypeOf("scr"), "image/vnd.zbrush.pcx");
}

TEST(DesktopFiles, ThumbnailerServesEveryTypeDefinedHere) {
    const TMimeFile mime;
    const std::string entry = Slurp(DataFile("ferronel.thumbnailer"));
    EXPECT_NE(entry.find("\nExec=ferronel-thumbnailer -s %s %i %o\n"), std::string::npos);
    const std::set<std::string> served = MimeTypeLine(entry);
    for (const std::string& type : mime.Defined) EXPECT_TRUE(served.count(type)) << type;
    for (const char* extension : {"tga", "win", "pcx", "pcc", "sgi", "pcd", "psd"})
        EXPECT_TRUE(served.count(mime.TypeOf(extension))) << extension;
}

// The installed entry offers the viewer for what the association panel offers and for the types
// only this package defines.
TEST(DesktopFiles, InstalledDesktopEntryOffersEveryTypeTheViewerOpens) {
    const std::set<std::string> offered = MimeTypeLine(Slurp(DataFile("ferronel.desktop")));
    for (const std::string& type : MimeTypeLine(app::DesktopEntryText("ferronel")))
        EXPECT_TRUE(offered.count(type)) << type;
    for (const std::string& type : TMimeFile().Defined) EXPECT_TRUE(offered.count(type)) << type;
}

// The desktop's own tool compiles the definitions; each extension must come out with its type.
TEST(DesktopFiles, MimeDatabaseCompilesTheDefinitions) {
    if (std::system("command -v update-mime-database >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "update-mime-database is not installed";
    test::TTempDir dir;
    fs::create_directories(dir.Path("mime/packages"));
    fs::copy_file(DataFile("ferronel-mime.xml"), dir.Path("mime/packages/ferronel.xml"));
    ASSERT_EQ(std::system(("update-mime-database '" + dir.Path("mime") + "' 2>&1").c_str()), 0);
    const std::string globs = Slurp(dir.Path("mime/globs2"));
    const TMimeFile mime;
    for (const auto& [extension, type] : mime.Globs)
        EXPECT_NE(globs.find(type + ":*." + extension + "\n"), std::string::npos) << extension;
    const std::string magic = Slurp(dir.Path("mime/magic"));
    for (const char* type : {"image/x-autodesk-cel", "image/x-paint-shop-pro", "image/x-photo-cd"})
        EXPECT_NE(magic.find(type), std::string::npos) << type;
}

} // namespace
} // namespace ferronel
