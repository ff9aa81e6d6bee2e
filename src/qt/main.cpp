// ferronel [--screenshot FILE] [PICTURE]: the picture viewer. Without a display it runs offscreen,
// saves a screenshot of its window (to FILE, or ferronel-screenshot.png) and ends.
// FERRONEL_TIMING=1 prints the time from process start to the first painted picture;
// FERRONEL_TIMING=pagedown then also presses Page Down, prints the time to the next painted picture
// and ends.
#include "picture/Registrations.h"
#include "qt/IconSelectionForm.h"
#include "qt/MainWindow.h"
#include "qt/MetafilePlayer.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

// Seconds since boot at which this process started, from the kernel's process table.
double ProcessStartSeconds() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
        if (i == 22) return double(std::stoull(field)) / double(sysconf(_SC_CLK_TCK));
    }
    return 0;
}

double BootSecondsNow() {
    timespec t{};
    clock_gettime(CLOCK_BOOTTIME, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments;
    std::string screenshot;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--screenshot" && i + 1 < argc)
            screenshot = argv[++i];
        else
            arguments.push_back(a);
    }
    const bool headless =
        !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM");
    if (headless) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (screenshot.empty()) screenshot = "ferronel-screenshot.png";
    }
    const bool timing = std::getenv("FERRONEL_TIMING") != nullptr;
    const bool timePageDown = timing && std::string(std::getenv("FERRONEL_TIMING")) == "pagedown";
    if (timePageDown) screenshot.clear();

    QApplication application(argc, argv);
    ferronel::InitializePictureFormats();
    ferronel::qt::InstallMetafilePlayer();
    // Without a display nobody could answer the dialog: icon files then show their first image.
    if (!headless) ferronel::qt::InstallIconSelectionDialog();
    int status = 0;
    bool pageDownReported = false;
    {
        ferronel::qt::TMainWindow window;
        if (timing)
            window.OnFirstPaint = [&] {
                std::printf("first picture painted %.0f ms after process start\n",
                            (BootSecondsNow() - ProcessStartSeconds()) * 1000);
                std::fflush(stdout);
                if (!timePageDown) return;
                QTimer::singleShot(0, &window, [&] {
                    const double pressed = BootSecondsNow();
                    window.ImageView().OnPainted = [&, pressed] {
                        if (pageDownReported) return;
                        pageDownReported = true;
                        std::printf("next picture painted %.0f ms after Page Down\n",
                                    (BootSecondsNow() - pressed) * 1000);
                        std::fflush(stdout);
                        QTimer::singleShot(0, &application, [&] { application.exit(0); });
                    };
                    QKeyEvent key(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
                    QApplication::sendEvent(&window, &key);
                });
            };
        window.show();
        window.Start(arguments);
        if (!screenshot.empty())
            QTimer::singleShot(0, &window, [&] {
                const bool saved = window.grab().save(QString::fromStdString(screenshot));
                std::printf(saved ? "Screenshot of the window saved to %s\n" : "Could not save %s\n",
                            screenshot.c_str());
                application.exit(saved ? 0 : 1);
            });
        status = application.exec();
    }
    ferronel::FinalizePictureFormats();
    return status;
}
