#include "support/TestData.h"

#include "Thumbnail.h"
#include "host/Bitmap.h"
#include "host/Picture.h"
#include "picture/Registrations.h"
#include "qt/ImageShrink.h"
#include "qt/ImageView.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace ferronel {
namespace {

namespace fs = std::filesystem;
using test::DataPath;
using test::TTempDir;

int Thumbnail(const std::vector<std::string>& Args, std::string* Err = nullptr) {
    std::ostringstream e;
    const int status = ThumbnailerMain(Args, e);
    if (Err) *Err = e.str();
    return status;
}

QSize Fitted(QSize Picture, int Size) {
    if (Picture.width() <= Size && Picture.height() <= Size) return Picture;
    return Picture.scaled(Size, Size, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

// One picture of every fixture folder, as a file manager asks for them (normal and large).
TEST(Thumbnailer, EveryFixtureFormatGivesAPngOfTheAskedSize) {
    InitializePictureFormats();
    TTempDir dir;
    int formats = 0;
    for (const auto& folder : fs::directory_iterator(DataPath(""))) {
        if (!folder.is_directory()) continue;
        std::vector<fs::path> pictures;
        for (const auto& file : fs::directory_iterator(folder.path())) {
            const std::string ext = AsciiLowerCase(file.path().extension().string().substr(
                std::min<size_t>(1, file.path().extension().string().size())));
            if (ext != "pam" && FindExt(ext)) pictures.push_back(file.path());
        }
        if (pictures.empty()) continue;
        std::sort(pictures.begin(), pictures.end());
        const std::string input = pictures.front().string();
        TPicture picture;
        picture.LoadFromFile(input);
        ++formats;
        for (int size : {128, 256, 16}) {
            const std::string output = dir.Path("thumb-" + std::to_string(size) + ".png");
            std::string err;
            ASSERT_EQ(Thumbnail({"-s", std::to_string(size), input, output}, &err), 0)
                << input << ": " << err;
            QImage thumbnail(QString::fromStdString(output), "png");
            ASSERT_FALSE(thumbnail.isNull()) << input;
            EXPECT_EQ(thumbnail.size(), Fitted(QSize(picture.Width(), picture.Height()), size)) << input;
        }
    }
    EXPECT_GE(formats, 10);
}

TEST(Thumbnailer, LargePictureShrinksWithTheViewersFilter) {
    TTempDir dir;
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(600, 300);
    for (int32_t y = 0; y < 300; ++y) {
        uint8_t* row = bitmap.ScanLine(y);
        for (int32_t x = 0; x < 600; ++x) {
            row[3 * x] = x < 300 ? 0 : 255; // blue
            row[3 * x + 1] = uint8_t(y);    // green ramp
            row[3 * x + 2] = x < 300 ? 255 : 0;
        }
    }
    bitmap.SaveToFile(dir.Path("wide.bmp"));
    std::unique_ptr<TBitmap> keep;
    const QImage full = qt::PictureImage(bitmap, keep);
    for (int size : {128, 256}) {
        ASSERT_EQ(Thumbnail({"-s", std::to_string(size), dir.Path("wide.bmp"), dir.Path("wide.png")}), 0);
        const QImage thumbnail =
            QImage(QString::fromStdString(dir.Path("wide.png"))).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(thumbnail.size(), QSize(size, size / 2));
        EXPECT_EQ(thumbnail, qt::ScaleDown(full, thumbnail.size()).convertToFormat(QImage::Format_RGB32));
        EXPECT_EQ(qRed(thumbnail.pixel(2, 2)), 255);
        EXPECT_EQ(qBlue(thumbnail.pixel(size - 3, 2)), 255);
    }
}

TEST(Thumbnailer, UnreadablePicturesAndBadUsageGiveNoThumbnail) {
    TTempDir dir;
    dir.Write("broken.pcx", {'n', 'o', 't'});
    dir.Write("empty.bmp", {});
    for (const std::string& input : {dir.Path("broken.pcx"), dir.Path("empty.bmp"), dir.Path("missing.tga"),
                                     dir.Path("picture.unknown")}) {
        std::string err;
        EXPECT_EQ(Thumbnail({"-s", "128", input, dir.Path("out.png")}, &err), 1) << input;
        EXPECT_FALSE(err.empty());
        EXPECT_FALSE(fs::exists(dir.Path("out.png"))) << input;
    }
    const std::string in = DataPath("bmp/rgb8.bmp"), out = dir.Path("out.png");
    for (const auto& args : std::vector<std::vector<std::string>>{{in, out},
                                                                  {"-s", "0", in, out},
                                                                  {"-s", "big", in, out},
                                                                  {"-s", "128", in},
                                                                  {"-s", "128", in, out, out},
                                                                  {"-s", "128", "-x", in, out},
                                                                  {"-t", "0", "-s", "128", in, out}}) {
        EXPECT_EQ(Thumbnail(args), 2);
        EXPECT_FALSE(fs::exists(out));
    }
}

TEST(Thumbnailer, TimeLimitEndsTheWait) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(RunWithTimeLimit([] { std::this_thread::sleep_for(std::chrono::seconds(2)); },
                                  std::chrono::milliseconds(50)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    int ran = 0;
    EXPECT_TRUE(RunWithTimeLimit([&ran] { ran = 1; }, std::chrono::seconds(5)));
    EXPECT_EQ(ran, 1);
}

} // namespace
} // namespace ferronel
