#include "ImageFormatPlugin.h"

#include "host/Bitmap.h"
#include "host/Exceptions.h"
#include "host/Limits.h"
#include "host/Picture.h"
#include "host/RenderBitmap.h"
#include "host/Stream.h"
#include "picture/Registrations.h"

#include <QFile>
#include <QImageReader>

#include <cstring>
#include <mutex>

namespace ferronel::qtimageformat {

namespace {

// Formats Qt reads itself (its own handlers and its image-format add-ons): left to Qt.
const char* const QtFormats[] = {"bmp", "dib",  "rle",  "png",  "jpg",  "jpeg", "jpe", "jfif", "gif",
                                 "ico", "cur",  "pbm",  "pgm",  "ppm",  "xbm",  "xpm", "svg",  "tga",
                                 "tif", "tiff", "webp", "wbmp", "icns", "jp2",  "wmf", "emf"};

void Initialize() {
    static std::once_flag once;
    std::call_once(once, InitializePictureFormats);
}

// Qt's allocation limit (megabytes, 0 for none), which the program may change at any time, holds
// for the readers' buffers too.
void ApplyAllocationLimit() {
    const int limit = QImageReader::allocationLimit();
    SetPixelBufferLimit(limit > 0 ? std::min<uint64_t>(DefaultPixelBufferLimit, uint64_t(limit) << 20)
                                  : DefaultPixelBufferLimit);
}

} // namespace

bool ServesFormat(const QByteArray& Format) {
    if (Format.isEmpty()) return false;
    const std::string format = AsciiLowerCase(Format.toStdString());
    for (const char* own : QtFormats)
        if (format == own) return false;
    Initialize();
    return FindExt(format) != nullptr;
}

bool TPictureHandler::canRead() const { return device() && ServesFormat(format()); }

bool TPictureHandler::read(QImage* Image) {
    if (!canRead()) return false;
    try {
        ApplyAllocationLimit();
        const std::string format = AsciiLowerCase(this->format().toStdString());
        std::unique_ptr<TGraphic> graphic = CreateGraphic(FindExt(format));
        // A file is read by name, as the viewer reads it (a companion palette file is found); any
        // other device through its bytes.
        auto* file = qobject_cast<QFile*>(device());
        if (file && !file->fileName().isEmpty() && file->pos() == 0 && QFile::exists(file->fileName())) {
            graphic->LoadFromFile(file->fileName().toStdString());
        } else {
            const QByteArray bytes = device()->readAll();
            TMemoryStream stream(bytes.constData(), size_t(bytes.size()));
            graphic->LoadFromStream(stream);
        }
        if (graphic->Width() <= 0 || graphic->Height() <= 0) return false;
        TBitmap bitmap;
        RenderToBitmap(*graphic, bitmap);
        const bool alpha = bitmap.AlphaFormat() == afDefined;
        QImage result;
        if (!allocateImage(QSize(bitmap.Width(), bitmap.Height()),
                           alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32, &result))
            return false;
        // The bitmap's 32-bit rows are blue, green, red, fourth byte: the layout of these formats.
        for (int32_t y = 0; y < bitmap.Height(); ++y) {
            auto* row = reinterpret_cast<uint32_t*>(result.scanLine(y));
            std::memcpy(row, bitmap.ScanLine(y), size_t(bitmap.Width()) * 4);
            if (!alpha)
                for (int32_t x = 0; x < bitmap.Width(); ++x) row[x] |= 0xFF000000u;
        }
        *Image = std::move(result);
        return true;
    } catch (const std::exception&) {
        // Qt's handlers answer false for a picture they cannot read; no exception may cross into Qt.
        return false;
    }
}

QImageIOPlugin::Capabilities TPicturePlugin::capabilities(QIODevice* Device, const QByteArray& Format) const {
    // Only by name: several formats have no signature, and content sniffing is left to Qt's own.
    if (!ServesFormat(Format)) return {};
    if (Device && !Device->isReadable()) return {};
    return CanRead;
}

QImageIOHandler* TPicturePlugin::create(QIODevice* Device, const QByteArray& Format) const {
    auto* handler = new TPictureHandler;
    handler->setDevice(Device);
    handler->setFormat(Format);
    return handler;
}

} // namespace ferronel::qtimageformat
