// The plug-in loader over real libraries: the sample plug-in, the broken ones and the lying one,
// copied into temporary folders.
#include "host/Picture.h"
#include "linear/LinearGraphic.h"
#include "plugins/ImageDLLLoader.h"
#include "plugins/PluginFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dlfcn.h>
#include <functional>

namespace ferronel::plugins {
namespace {

using linear::TLinearBitmap;
using test::TLie;
using test::TPluginFolder;

std::string ErrorOf(const std::function<void()>& Action) {
    try {
        Action();
    } catch (const Exception& e) {
        return e.what();
    }
    return "no error";
}

size_t Registrations(const std::string& Ext) {
    const auto& entries = PictureRegistry().Entries();
    return size_t(std::count_if(entries.begin(), entries.end(), [&](const TFileFormatEntry& e) {
        return e.Extension == Ext && e.GraphicClass == linear::TLinearGraphic::ClassInfo();
    }));
}

// How often the lying plug-in copied into Folder as Name released a record.
int Frees(const TPluginFolder& Folder, const std::string& Name) {
    void* handle = dlopen((Folder.Folder() + Name).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle) return -1;
    const auto frees = reinterpret_cast<int (*)()>(dlsym(handle, "LyingPluginFrees"));
    const int count = frees ? frees() : -1;
    dlclose(handle);
    return count;
}

TEST(PluginFilters, EachExtensionOnceAndNothingEmpty) {
    using V = std::vector<std::string>;
    // Named in the description and again in the patterns: once each.
    EXPECT_EQ(LoadFilterExtensions("JPEG 2000 (*.jp2;*.j2k)|*.jp2;*.j2k"), (V{"JP2", "J2K"}));
    // A later pattern that is the start of an earlier one is taken as a repetition.
    EXPECT_EQ(LoadFilterExtensions("A (*.jp2)|*.jp2|B (*.jp)|*.jp"), (V{"JP2"}));
    EXPECT_EQ(LoadFilterExtensions("A (*.jp)|*.jp|B (*.jp2)|*.jp2"), (V{"JP", "JP2"}));
    EXPECT_EQ(LoadFilterExtensions("Raw_2 (*.r_2)|*.R_2"), (V{"R_2"}));
    // Patterns run into each other, or end the text.
    EXPECT_EQ(LoadFilterExtensions("x|*.abc*.def|*."), (V{"ABC", "DEF"}));
    for (const char* junk : {"", "All files (*.*)|*.*", "no patterns|here", "*.", "|||", "*.-|*. x"})
        EXPECT_EQ(LoadFilterExtensions(junk), V{}) << junk;
}

TEST(PluginLoader, AnEmptyOrMissingFolderChangesNothing) {
    const size_t entries = PictureRegistry().Entries().size();
    TPluginFolder folder;
    TImageDLLLoader loader;
    EXPECT_FALSE(loader.LoadPlugins(folder.Folder()));
    EXPECT_FALSE(loader.LoadPlugins(folder.Path("missing")));
    EXPECT_TRUE(loader.Plugins().empty());
    EXPECT_TRUE(loader.Skipped().empty());
    EXPECT_EQ(loader.GetLoadFilter(), "");
    EXPECT_FALSE(loader.CanLoad("FSP"));
    EXPECT_EQ(PictureRegistry().Entries().size(), entries);
}

TEST(PluginLoader, SamplePluginRegistersReadsAndWrites) {
    TPluginFolder folder({"sample_fsp"});
    TImageDLLLoader loader;
    // The folder without its trailing separator is taken as well.
    std::string path = folder.Folder();
    path.pop_back();
    ASSERT_TRUE(loader.LoadPlugins(path));
    EXPECT_TRUE(loader.Skipped().empty());
    EXPECT_EQ(loader.GetLoadFilter(), "Ferronel sample picture (*.fsp)|*.fsp");
    EXPECT_TRUE(loader.CanLoad("fsp"));
    EXPECT_TRUE(loader.CanSave("FSP"));
    EXPECT_EQ(FindExt("fsp"), linear::TLinearGraphic::ClassInfo());
    const auto& entries = PictureRegistry().Entries();
    const auto fsp =
        std::find_if(entries.begin(), entries.end(), [](auto& e) { return e.Extension == "fsp"; });
    ASSERT_NE(fsp, entries.end());
    EXPECT_EQ(fsp->Description, "FSP");

    std::vector<uint8_t> palette(768);
    for (size_t i = 0; i < 768; ++i) palette[i] = uint8_t(255 - i % 256);
    folder.Write("indexed.fsp", test::SamplePicture(3, 2, ifIndexed, palette, {0, 1, 2, 3, 4, 5}));
    TLinearBitmap bitmap;
    loader.LoadFromFile(folder.Path("indexed.fsp"), "FSP", bitmap);
    ASSERT_EQ(bitmap.PixelFormat(), linear::lpf8bit);
    EXPECT_EQ(std::vector<uint8_t>(bitmap.Map(), bitmap.Map() + 6), (std::vector<uint8_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_TRUE(std::equal(palette.begin(), palette.end(), bitmap.Palette()));

    // What the plug-in writes reads back the same, in both formats the program hands out.
    loader.SaveToFile(folder.Path("copy.fsp"), "FSP", bitmap);
    TLinearBitmap again;
    loader.LoadFromFile(folder.Path("copy.fsp"), "FSP", again);
    EXPECT_EQ(std::vector<uint8_t>(again.Map(), again.Map() + 6), (std::vector<uint8_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_TRUE(std::equal(palette.begin(), palette.end(), again.Palette()));
    bitmap.ConvertTo(linear::lpf24bit);
    loader.SaveToFile(folder.Path("rgb.fsp"), "fsp", bitmap);
    loader.LoadFromFile(folder.Path("rgb.fsp"), "FSP", again);
    ASSERT_EQ(again.PixelFormat(), linear::lpf24bit);
    EXPECT_TRUE(std::equal(bitmap.Map(), bitmap.Map() + bitmap.Size(), again.Map()));

    bitmap.ConvertTo(linear::lpf32bit);
    EXPECT_EQ(ErrorOf([&] { loader.SaveToFile(folder.Path("x.fsp"), "FSP", bitmap); }),
              "Unsupported pixel format");
    EXPECT_EQ(ErrorOf([&] { loader.SaveToFile(folder.Path("x.bmp"), "BMP", bitmap); }),
              "Unsupported file format");
    EXPECT_EQ(ErrorOf([&] { loader.LoadFromFile(folder.Path("x.bmp"), "BMP", bitmap); }),
              "Unsupported file format");
    // The plug-in's own answers become the program's messages.
    EXPECT_EQ(ErrorOf([&] { loader.LoadFromFile(folder.Path("missing.fsp"), "FSP", bitmap); }),
              "Unable to open file");
    bitmap.ConvertTo(linear::lpf24bit);
    EXPECT_EQ(ErrorOf([&] { loader.SaveToFile(folder.Path("no/such/x.fsp"), "FSP", bitmap); }),
              "Unable to open file");
}

TEST(PluginLoader, BrokenLibrariesAreLeftOutWithTheirReasons) {
    TPluginFolder folder({"no_entry_points", "load_without_free", "bad_filter_1", "bad_filter_2",
                          "bad_filter_3", "bad_filter_4"});
    folder.Write("plugins/not_a_library.so", {'h', 'e', 'l', 'l', 'o'});
    folder.Write("plugins/empty.so", {});
    std::filesystem::create_directory(folder.Folder() + "folder.so");
    folder.Write("plugins/readme.txt", {'x'});
    const size_t entries = PictureRegistry().Entries().size();

    TImageDLLLoader loader;
    EXPECT_FALSE(loader.LoadPlugins(folder.Folder()));
    EXPECT_TRUE(loader.Plugins().empty());
    EXPECT_EQ(loader.GetLoadFilter(), "");
    EXPECT_EQ(PictureRegistry().Entries().size(), entries);

    std::map<std::string, std::string> reasons;
    for (const TSkippedPlugin& skipped : loader.Skipped()) reasons[skipped.FileName] = skipped.Reason;
    EXPECT_EQ(reasons.size(), 8u);
    EXPECT_EQ(reasons["not_a_library.so"].rfind("not a shared library: ", 0), 0u)
        << reasons["not_a_library.so"];
    EXPECT_EQ(reasons["empty.so"].rfind("not a shared library: ", 0), 0u);
    EXPECT_EQ(reasons["no_entry_points.so"], "no plug-in entry points");
    EXPECT_EQ(reasons["load_without_free.so"], "no image release function");
    EXPECT_EQ(reasons["bad_filter_1.so"], "its load filter does not pair descriptions with patterns");
    EXPECT_EQ(reasons["bad_filter_2.so"], "its filters name no file types");
    EXPECT_EQ(reasons["bad_filter_3.so"], "its load filter text is not terminated within 65536 bytes");
    EXPECT_EQ(reasons["bad_filter_4.so"], "its filters name no file types");
}

TEST(PluginLoader, ALibraryThatOnlyWritesStillRegistersItsLoadTypes) {
    TPluginFolder folder({"save_only"});
    TImageDLLLoader loader;
    EXPECT_TRUE(loader.LoadPlugins(folder.Folder()));
    ASSERT_EQ(loader.Plugins().size(), 1u);
    // Registered for the viewer, but not read here: the built-in loaders are asked instead.
    EXPECT_EQ(Registrations("svo"), 1u);
    EXPECT_EQ(loader.GetLoadFilter(), "");
    EXPECT_FALSE(loader.CanLoad("SVO"));
    EXPECT_TRUE(loader.CanSave("SVW"));
}

TEST(PluginLoader, LyingRecordsAreRefusedAndReleased) {
    TPluginFolder folder({"lying"});
    TImageDLLLoader loader;
    ASSERT_TRUE(loader.LoadPlugins(folder.Folder()));
    int frees = Frees(folder, "lying.so");
    ASSERT_EQ(frees, 0);
    auto load = [&](const TLie& Lie, TLinearBitmap& Bitmap) {
        folder.Write("x.lie", Lie.Bytes());
        return ErrorOf([&] { loader.LoadFromFile(folder.Path("x.lie"), "LIE", Bitmap); });
    };
    TLinearBitmap bitmap;

    // Result codes: a failed load is never released.
    const std::pair<int, const char*> results[] = {
        {2, "Unable to open file"},      {3, "Error in bitmap data"},    {4, "Unsupported pixel format"},
        {5, "Unable to close file"},     {7, "Error in bitmap data: 7"}, {1, "Error in bitmap data: 1"},
        {-1, "Error in bitmap data: -1"}};
    for (auto [code, message] : results) {
        TLie lie;
        lie.Result = code;
        lie.Pixels = {1, 2, 3};
        EXPECT_EQ(load(lie, bitmap), message);
    }
    EXPECT_EQ(Frees(folder, "lying.so"), frees);

    // Records that lie: each refused, each released. The pixels given are exactly the file's
    // bytes, so a conversion that read what the sizes claim would overrun them.
    std::vector<TLie> lies(7);
    lies[0].Width = lies[0].Height = 100000;
    lies[1].NoPixels = true;
    lies[2].Format = 0;
    lies[3].Format = 0x23;
    lies[4].Width = -4;
    lies[5].Width = 4, lies[5].BytesPerLine = 6;
    lies[6].Format = ifBGRA, lies[6].Pixels = {1, 2, 3, 4};
    const char* const messages[] = {
        "Picture too large: 100000 x 100000 pixels at 24 bits exceed the limit of 1024 MB",
        "Error in bitmap data",
        "Unsupported bitmap format",
        "Unsupported pixel format",
        "Invalid bitmap size",
        "Error in bitmap data",
        "The image contains 4 color planes, only 3 were loaded"};
    for (size_t i = 0; i < lies.size(); ++i) {
        if (lies[i].Pixels.empty() && !lies[i].NoPixels) lies[i].Pixels = {1, 2, 3};
        EXPECT_EQ(load(lies[i], bitmap), messages[i]) << i;
        EXPECT_EQ(Frees(folder, "lying.so"), ++frees) << i;
    }

    // A record with a careless row length (read as packed) and an indexed one without a palette
    // load, and are released too.
    TLie padded;
    padded.Width = 1, padded.Height = 2, padded.BytesPerLine = 4;
    padded.Pixels = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(load(padded, bitmap), "no error");
    EXPECT_EQ(std::vector<uint8_t>(bitmap.Map(), bitmap.Map() + 6), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
    TLie grey;
    grey.Format = ifIndexed, grey.Pixels = {9};
    EXPECT_EQ(load(grey, bitmap), "no error");
    EXPECT_EQ(bitmap.Palette()[9 * 3], 9);
    EXPECT_EQ(Frees(folder, "lying.so"), frees + 2);

    // Saving: the plug-in's answer (the number the file name starts with) picks the message.
    bitmap.Allocate(1, 1, linear::lpf24bit);
    EXPECT_EQ(ErrorOf([&] { loader.SaveToFile(folder.Path("0.lie"), "LIE", bitmap); }), "no error");
    EXPECT_EQ(ErrorOf([&] { loader.SaveToFile(folder.Path("3.lie"), "LIE", bitmap); }),
              "Error in bitmap data");
    EXPECT_EQ(ErrorOf([&] { loader.SaveToFile(folder.Path("9.lie"), "LIE", bitmap); }),
              "Error writing image file: 9");
}

TEST(PluginLoader, TheFirstLibraryServesASharedExtension) {
    TPluginFolder folder({"lying=b_lying.so", "lying=a_lying.so"});
    const size_t before = Registrations("lie");
    TImageDLLLoader loader;
    ASSERT_TRUE(loader.LoadPlugins(folder.Folder()));
    ASSERT_EQ(loader.Plugins().size(), 2u);
    EXPECT_EQ(loader.Plugins()[0].FileName, "a_lying.so");
    EXPECT_EQ(Registrations("lie"), before + 2);
    EXPECT_EQ(loader.GetLoadFilter(), "Lying pictures (*.lie)|*.lie|Lying pictures (*.lie)|*.lie");

    TLie lie;
    lie.Pixels = {1, 2, 3};
    folder.Write("x.lie", lie.Bytes());
    TLinearBitmap bitmap;
    loader.LoadFromFile(folder.Path("x.lie"), "LIE", bitmap);
    EXPECT_EQ(Frees(folder, "a_lying.so"), 1);
    EXPECT_EQ(Frees(folder, "b_lying.so"), 0);

    // Loading the folder again keeps what is loaded.
    EXPECT_FALSE(loader.LoadPlugins(folder.Folder()));
    EXPECT_EQ(loader.Plugins().size(), 2u);
}

} // namespace
} // namespace ferronel::plugins
