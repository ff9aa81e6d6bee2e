// The Qt image-format plug-in, loaded as any Qt program loads it: from the plug-in path.
#include "support/TestData.h"

#include "Convert.h"
#include "host/Picture.h"
#include "picture/Registrations.h"
#include "readers/formats/TargaGraphic.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>
#include <set>

namespace ferronel {
namespace {

namespace fs = std::filesystem;
using test::DataPath;
using test::TTempDir;

std::set<std::string> PluginKeys() {
    QFile file(FERRONEL_SOURCE_DIR "/src/qtimageformat/ferronel.json");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    std::set<std::string> keys;
    for (const QJsonValue& key : QJsonDocument::fromJson(file.readAll()).object()["Keys"].toArray())
        keys.insert(key.toString().toStdString());
    return keys;
}

std::set<std::string> QtFormats() {
    std::set<std::string> formats;
    for (const QByteArray& f : QImageReader::supportedImageFormats())
        formats.insert(f.toLower().toStdString());
    return formats;
}

class ImageFormatPlugin : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializePictureFormats();
        QtOwn = new std::set<std::string>(QtFormats());
        QCoreApplication::addLibraryPath(FERRONEL_QT_PLUGIN_DIR);
    }
    static void TearDownTestSuite() { delete QtOwn; }
    static std::set<std::string>* QtOwn;
};
std::set<std::string>* ImageFormatPlugin::QtOwn = nullptr;

// A fixture read by the same class as Extension, from any fixture folder (a format's files may
// live beside those of a related one), copied under this extension.
std::string FixtureFor(const std::string& Extension, const TTempDir& Dir) {
    const TGraphicClass cls = FindExt(Extension);
    for (const auto& folder : fs::directory_iterator(DataPath("")))
        if (folder.is_directory())
            for (const auto& file : fs::directory_iterator(folder.path())) {
                const std::string ext = file.path().extension().string();
                if (ext.size() < 2 || ext == ".pam" || FindExt(ext.substr(1)) != cls) continue;
                const std::string copy = Dir.Path("fixture." + Extension);
                fs::copy_file(file.path(), copy, fs::copy_options::overwrite_existing);
                return copy;
            }
    return {};
}

TEST_F(ImageFormatPlugin, ServesOnlyFormatsQtDoesNotRead) {
    const std::set<std::string> keys = PluginKeys(), all = QtFormats();
    for (const std::string& key : keys) {
        EXPECT_FALSE(QtOwn->count(key)) << key << " is Qt's own";
        // Offered exactly when this build has a reader for it.
        EXPECT_EQ(all.count(key) == 1, FindExt(key) != nullptr) << key;
    }
    for (const char* own : {"png", "bmp", "jpg", "gif", "ppm"}) EXPECT_FALSE(keys.count(own)) << own;
}

TEST_F(ImageFormatPlugin, EveryServedFormatReadsAsTheConverterReadsIt) {
    TTempDir dir;
    int formats = 0;
    for (const std::string& key : PluginKeys()) {
        if (!FindExt(key)) continue; // a reader this build does not have
        const std::string fixture = FixtureFor(key, dir);
        ASSERT_FALSE(fixture.empty()) << "no fixture for ." << key;
        QImageReader reader(QString::fromStdString(fixture));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << key << ": " << reader.errorString().toStdString();
        ConvertFile(fixture, dir.Path("expected.pam"), "pam");
        const test::TPam pam = test::ReadPam(dir.Path("expected.pam"));
        ASSERT_EQ(image.size(), QSize(pam.Width, pam.Height)) << key;
        const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
        std::vector<uint8_t> pixels;
        for (int y = 0; y < rgba.height(); ++y)
            pixels.insert(pixels.end(), rgba.constScanLine(y), rgba.constScanLine(y) + 4 * rgba.width());
        EXPECT_EQ(pixels, pam.Pixels) << key;
        ++formats;
    }
    EXPECT_GE(formats, 16);
}

TEST_F(ImageFormatPlugin, QtsAllocationLimitHoldsAndBadFilesFailQuietly) {
    TTempDir dir;
    TTargaGraphic targa;
    targa.SetPixelFormat(pf24bit);
    targa.SetSize(1024, 1024); // 4 MB as 32-bit pixels
    targa.SaveToFile(dir.Path("large.icb"));
    const int before = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(2);
    EXPECT_TRUE(QImageReader(QString::fromStdString(dir.Path("large.icb"))).read().isNull());
    QImageReader::setAllocationLimit(before);
    EXPECT_EQ(QImageReader(QString::fromStdString(dir.Path("large.icb"))).read().size(), QSize(1024, 1024));

    dir.Write("broken.pcx", {10, 5, 1, 8, 0, 0});
    dir.Write("empty.cel", {});
    for (const char* name : {"broken.pcx", "empty.cel"})
        EXPECT_TRUE(QImageReader(QString::fromStdString(dir.Path(name))).read().isNull()) << name;
    // Bytes from a device that is not a file.
    QFile file(QString::fromStdString(DataPath("pcx/im-rgb24.pcx")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QBuffer buffer;
    buffer.setData(bytes);
    EXPECT_FALSE(QImageReader(&buffer, "pcx").read().isNull());
}

} // namespace
} // namespace ferronel
