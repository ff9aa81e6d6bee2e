#include "Thumbnail.h"

#include "host/Exceptions.h"
#include "host/Picture.h"
#include "host/Thread.h"
#include "picture/Registrations.h"
#include "qt/ImageShrink.h"
#include "qt/ImageView.h"
#include "qt/MetafilePlayer.h"

#include <QImageWriter>

#include <atomic>
#include <cstdio>
#include <memory>
#include <ostream>
#include <thread>

namespace ferronel {

namespace {

const char* const Usage = "usage: ferronel-thumbnailer [-t SECONDS] -s SIZE INPUT OUTPUT.png\n";

// Largest thumbnail asked for; file managers ask for 128, 256 and 512 at most.
constexpr int MaxSize = 4096;
constexpr int DefaultSeconds = 10;

bool ParseNumber(const std::string& Text, int Low, int High, int& Value) {
    if (Text.empty() || Text.size() > 6 || Text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    Value = std::stoi(Text);
    return Value >= Low && Value <= High;
}

} // namespace

QImage MakeThumbnail(const std::string& File, int Size) {
    TPicture picture;
    picture.LoadFromFile(File);
    TGraphic& graphic = *picture.Graphic();
    if (graphic.Width() <= 0 || graphic.Height() <= 0)
        throw EInvalidGraphic(File + ": the picture is empty; no thumbnail");
    std::unique_ptr<TBitmap> keep;
    const QImage image = qt::PictureImage(graphic, keep);
    if (image.isNull()) throw EOutOfResources("Not enough memory for the picture");
    QSize target = image.size();
    if (target.width() > Size || target.height() > Size) {
        target.scale(Size, Size, Qt::KeepAspectRatio);
        target = target.expandedTo(QSize(1, 1));
    }
    // A copy: the image may wrap pixels that go with the picture.
    return target == image.size() ? image.copy() : qt::ScaleDown(image, target);
}

bool RunWithTimeLimit(std::function<void()> Work, std::chrono::milliseconds Limit) {
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread([Work = std::move(Work), finished] {
        Work();
        *finished = true;
    }).detach();
    const auto deadline = std::chrono::steady_clock::now() + Limit;
    // Animated pictures paint their first frame through the main thread.
    while (!*finished && std::chrono::steady_clock::now() < deadline)
        CheckSynchronize(std::chrono::milliseconds(10));
    return *finished;
}

int ThumbnailerMain(const std::vector<std::string>& Args, std::ostream& Err) {
    int size = 0, seconds = DefaultSeconds;
    std::vector<std::string> files;
    for (size_t i = 0; i < Args.size(); ++i) {
        const bool hasValue = i + 1 < Args.size();
        if (Args[i] == "-s" && hasValue && ParseNumber(Args[i + 1], 1, MaxSize, size))
            ++i;
        else if (Args[i] == "-t" && hasValue && ParseNumber(Args[i + 1], 1, 3600, seconds))
            ++i;
        else if (Args[i].starts_with("-") && Args[i] != "-")
            files.assign(3, ""); // unknown option or bad value: usage below
        else
            files.push_back(Args[i]);
    }
    if (size == 0 || files.size() != 2) {
        Err << Usage;
        return 2;
    }
    InitializePictureFormats();
    qt::InstallOffscreenMetafilePlayer();

    // Shared with the work, which may outlive this call when it overruns.
    struct TJob {
        std::string Input, Output, Error;
        int Size = 0;
        QImage Thumbnail;
    };
    auto job = std::make_shared<TJob>(TJob{files[0], files[1], "", size, {}});
    const bool inTime = RunWithTimeLimit(
        [job] {
            try {
                job->Thumbnail = MakeThumbnail(job->Input, job->Size);
            } catch (const Exception& e) {
                job->Error = e.Message();
            } catch (const std::exception& e) {
                job->Error = e.what();
            }
        },
        std::chrono::seconds(seconds));
    if (!inTime) {
        Err << job->Input << ": no thumbnail within " << seconds << " s\n";
        return ThumbnailTimedOut;
    }
    if (!job->Error.empty()) {
        Err << job->Error << "\n";
        return 1;
    }
    QImageWriter writer(QString::fromStdString(job->Output), "png");
    if (!writer.write(job->Thumbnail)) {
        Err << job->Output << ": " << writer.errorString().toStdString() << "\n";
        std::remove(job->Output.c_str());
        return 1;
    }
    return 0;
}

} // namespace ferronel
