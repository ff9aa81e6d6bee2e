// A minimal picture viewer on Qt's own QImageReader, as a yardstick for the viewer's timings: it
// shows the named picture fitted to a 775 x 513 window with smooth scaling, prints the time from
// process start to the first painted picture, then loads the next file of the folder (as Page Down
// does), prints the time to its painted picture and ends.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

double BootSeconds() {
    timespec t{};
    clock_gettime(CLOCK_BOOTTIME, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double ProcessStartSeconds() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i)
        if (i == 22) return double(std::stoull(field)) / double(sysconf(_SC_CLK_TCK));
    return 0;
}

class TView : public QWidget {
public:
    std::function<void()> OnPainted;
    void Show(const QString& file) {
        QImageReader reader(file);
        FImage = reader.read();
        if (FImage.isNull())
            std::printf("peer cannot read %s: %s\n", qPrintable(file), qPrintable(reader.errorString()));
        FScaled = QImage();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        if (FImage.isNull()) return;
        const QSize size = FImage.size().scaled(this->size(), Qt::KeepAspectRatio);
        if (FScaled.size() != size)
            FScaled = FImage.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        painter.drawImage((width() - size.width()) / 2, (height() - size.height()) / 2, FScaled);
        if (OnPainted) OnPainted();
    }

private:
    QImage FImage, FScaled;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) return 2;
    const QFileInfo first(QString::fromLocal8Bit(argv[1]));
    const QStringList files = first.dir().entryList({"*." + first.suffix()}, QDir::Files, QDir::Name);
    const QString next =
        first.dir().filePath(files.value((files.indexOf(first.fileName()) + 1) % files.size()));
    TView view;
    view.resize(775, 513);
    double pressed = 0;
    view.OnPainted = [&] {
        if (pressed == 0) {
            std::printf("first picture painted %.0f ms after process start\n",
                        (BootSeconds() - ProcessStartSeconds()) * 1000);
            pressed = -1;
            QTimer::singleShot(0, &view, [&] {
                pressed = BootSeconds();
                view.Show(next);
                view.repaint();
            });
        } else if (pressed > 0) {
            std::printf("next picture painted %.0f ms after Page Down\n", (BootSeconds() - pressed) * 1000);
            pressed = -2;
            QTimer::singleShot(0, &application, [&] { application.exit(0); });
        }
    };
    view.show();
    view.Show(first.filePath());
    return application.exec();
}
