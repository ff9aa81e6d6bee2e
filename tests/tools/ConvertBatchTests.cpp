#include "support/TestData.h"
#include "tools/RunConvert.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace ferronel {
namespace {

namespace fs = std::filesystem;
using test::Convert;
using test::DataPath;
using test::TTempDir;

std::string Slurp(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void CopyFixture(const std::string& Fixture, const std::string& Target) {
    fs::create_directories(fs::path(Target).parent_path());
    fs::copy_file(DataPath(Fixture), Target);
}

void WriteText(const std::string& Path, const std::string& Text) {
    fs::create_directories(fs::path(Path).parent_path());
    std::ofstream(Path, std::ios::binary) << Text;
}

// A folder of mixed pictures, two of them damaged, one of them a level down.
struct TMixedFolder {
    TTempDir dir;
    std::string in = dir.Path("in"), out = dir.Path("out");
    TMixedFolder() {
        CopyFixture("bmp/rgb8.bmp", in + "/rgb8.bmp");
        CopyFixture("pcx/im-pal16.pcx", in + "/im-pal16.pcx");
        CopyFixture("gif/anim-loop0.gif", in + "/anim.gif");
        CopyFixture("tga/" + FirstTga(), in + "/deeper/picture.tga");
        WriteText(in + "/broken.pcx", "not a picture");
        WriteText(in + "/deeper/empty.bmp", "");
        WriteText(in + "/notes.txt", "not looked at");
    }
    static std::string FirstTga() {
        for (const auto& e : fs::directory_iterator(DataPath("tga")))
            if (e.path().extension() == ".tga") return e.path().filename().string();
        return {};
    }
};

TEST(ConvertBatch, MixedFolderListsExactlyTheDamagedFilesAndMirrorsTheTree) {
    TMixedFolder f;
    std::string out, err;
    EXPECT_EQ(Convert({"-r", "-j", "2", "--to", "png", "-o", f.out, f.in}, &out, &err), 1);
    EXPECT_EQ(out.substr(0, out.find(" in ")),
              "4 converted, 0 kept (the output exists; --force replaces it), 2 failed");
    // One line per failure, file and reason; nothing else.
    std::istringstream lines(err);
    std::vector<std::string> failed;
    for (std::string line; std::getline(lines, line);) {
        ASSERT_NE(line.find(": "), std::string::npos) << line;
        failed.push_back(line.substr(0, line.find(": ")));
    }
    EXPECT_EQ(failed, (std::vector<std::string>{f.in + "/broken.pcx", f.in + "/deeper/empty.bmp"}));

    // The outputs sit where the inputs sit and hold what the single-file form writes.
    TTempDir single;
    for (const auto& [input, output] :
         std::vector<std::pair<std::string, std::string>>{{"rgb8.bmp", "rgb8.png"},
                                                          {"im-pal16.pcx", "im-pal16.png"},
                                                          {"anim.gif", "anim.png"},
                                                          {"deeper/picture.tga", "deeper/picture.png"}}) {
        ASSERT_EQ(Convert({f.in + "/" + input, single.Path("one.png")}), 0) << input;
        EXPECT_EQ(Slurp(f.out + "/" + output), Slurp(single.Path("one.png"))) << output;
    }
    EXPECT_FALSE(fs::exists(f.out + "/broken.png"));
    EXPECT_FALSE(fs::exists(f.out + "/notes.png"));
    // No temporary file is left behind by the failures.
    size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(f.out)) files += e.is_regular_file();
    EXPECT_EQ(files, 4u);
}

TEST(ConvertBatch, ExistingOutputsStayUnlessForced) {
    TMixedFolder f;
    ASSERT_EQ(Convert({"-r", "--to", "png", "-o", f.out, f.in}), 1);
    WriteText(f.out + "/rgb8.png", "mine");
    const auto before = fs::last_write_time(f.out + "/deeper/picture.png");
    std::string out;
    EXPECT_EQ(Convert({"-r", "--to", "png", "-o", f.out, f.in}, &out), 1);
    EXPECT_EQ(out, "0 converted, 4 kept (the output exists; --force replaces it), 2 failed\n");
    EXPECT_EQ(Slurp(f.out + "/rgb8.png"), "mine");
    EXPECT_EQ(fs::last_write_time(f.out + "/deeper/picture.png"), before);

    EXPECT_EQ(Convert({"-r", "--force", "--to", "png", "-o", f.out, f.in}, &out), 1);
    EXPECT_EQ(out.substr(0, out.find(" in ")),
              "4 converted, 0 kept (the output exists; --force replaces it), 2 failed");
    EXPECT_EQ(Slurp(f.out + "/rgb8.png").substr(1, 3), "PNG");
}

TEST(ConvertBatch, FolderWithoutRecursionTakesItsOwnPicturesOnly) {
    TMixedFolder f;
    std::string out, err;
    EXPECT_EQ(Convert({"--to=PAM", "-j1", "-o", f.out, f.in}, &out, &err), 1);
    EXPECT_EQ(err, f.in + "/broken.pcx: " + err.substr(err.find(": ") + 2));
    EXPECT_TRUE(fs::exists(f.out + "/rgb8.pam"));
    EXPECT_FALSE(fs::exists(f.out + "/deeper"));
    EXPECT_EQ(test::ReadPam(f.out + "/rgb8.pam").Pixels, test::ReadPam(DataPath("bmp/rgb8.pam")).Pixels);
}

TEST(ConvertBatch, NamedFilesMissingInputsAndCollidingOutputs) {
    TTempDir dir;
    CopyFixture("bmp/rgb8.bmp", dir.Path("a/same.bmp"));
    CopyFixture("pcx/im-pal16.pcx", dir.Path("b/same.pcx"));
    WriteText(dir.Path("a/readme"), "text");
    std::string out, err;
    EXPECT_EQ(Convert({"--to", "bmp", "-o", dir.Path("out"), dir.Path("a/same.bmp"), dir.Path("b/same.pcx"),
                       dir.Path("nowhere.png"), dir.Path("a/readme")},
                      &out, &err),
              1);
    EXPECT_EQ(out.substr(0, out.find(" in ")),
              "1 converted, 0 kept (the output exists; --force replaces it), 3 failed");
    // The missing input comes first (found while planning), then the files in the order given; the
    // second picture bound for the same name is not written over the first.
    EXPECT_EQ(err.find(dir.Path("nowhere.png") + ": "), 0u) << err;
    EXPECT_NE(err.find(dir.Path("b/same.pcx") + ": would write"), std::string::npos) << err;
    EXPECT_NE(err.find(dir.Path("a/readme") + ": "), std::string::npos) << err;
    EXPECT_EQ(Slurp(dir.Path("out/same.bmp")).substr(0, 2), "BM");
}

TEST(ConvertBatch, OutputFolderInsideTheInputIsNotReadBack) {
    TTempDir dir;
    CopyFixture("bmp/rgb8.bmp", dir.Path("in/rgb8.bmp"));
    const std::string out = dir.Path("in/converted");
    ASSERT_EQ(Convert({"-r", "--to", "bmp", "-o", out, dir.Path("in")}), 0);
    std::string summary;
    ASSERT_EQ(Convert({"-r", "--to", "bmp", "-o", out, dir.Path("in")}, &summary), 0);
    EXPECT_EQ(summary, "0 converted, 1 kept (the output exists; --force replaces it), 0 failed\n");
    EXPECT_FALSE(fs::exists(out + "/converted"));
}

TEST(ConvertBatch, BadUsageWritesNothing) {
    TTempDir dir;
    const std::string in = DataPath("bmp/rgb8.bmp"), o = dir.Path("out");
    for (const auto& args : std::vector<std::vector<std::string>>{{"--to", "png", in},
                                                                  {"-o", o, in},
                                                                  {"--to", "jpg", "-o", o, in},
                                                                  {"--to", "png", "-o", o},
                                                                  {"--to", "png", "-o", o, "-j", "0", in},
                                                                  {"--to", "png", "-o", o, "-j", in},
                                                                  {"--to", "png", "-o", o, "--fast", in}}) {
        std::string err;
        EXPECT_EQ(Convert(args, nullptr, &err), 2) << args.size();
        EXPECT_NE(err.find("usage:"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(o));
}

} // namespace
} // namespace ferronel
