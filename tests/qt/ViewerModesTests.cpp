#include "host/Bitmap.h"
#include "picture/Registrations.h"
#include "qt/MainWindow.h"
#include "qt/SettingsRegistry.h"
#include "qt/ViewerFixture.h"
#include "support/TestData.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

namespace ferronel::qt {
namespace {

// A red-and-green picture for these tests (no blue).
std::string Solid(const test::TTempDir& dir, const std::string& name, int32_t w, int32_t h, uint8_t r,
                  uint8_t g) {
    return SolidPicture(dir, name, w, h, 0, g, r);
}

// Points the user's XDG folders at a temporary home for one test.
class TXdgHome {
public:
    TXdgHome() : FConfig(qgetenv("XDG_CONFIG_HOME")), FData(qgetenv("XDG_DATA_HOME")) {
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(Home.Path("config")));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(Home.Path("data")));
    }
    ~TXdgHome() {
        qputenv("XDG_CONFIG_HOME", FConfig);
        qputenv("XDG_DATA_HOME", FData);
    }
    test::TTempDir Home;

private:
    QByteArray FConfig, FData;
};

class ViewerModes : public TViewerFixture {
protected:
    // A key click as a user makes it: shortcuts first, then the focused widget.
    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(window->focusWidget() ? window->focusWidget() : window.get(), Qt::Key(key),
                        modifiers);
        QApplication::processEvents();
    }
    void Trigger(const QString& caption) {
        for (QAction* action : window->actions())
            if (action->text() == caption) action->trigger();
        QApplication::processEvents();
    }
    QRgb Pixel(int x, int y) { return Grab().pixel(x, y); }
};

TEST_F(ViewerModes, BrowserPanelListsTheFolderAndLoadsTheSelection) {
    const std::string first = Solid(dir, "a.bmp", 40, 20, 255, 0);
    Solid(dir, "b.rgb.bmp", 40, 20, 0, 255);
    dir.Write("notes.txt", {1});
    Start({first});
    app::TForm1& form = window->Form();
    Press(Qt::Key_Return);
    ASSERT_TRUE(window->BrowserPanel().isVisible());
    EXPECT_TRUE(form.Browsermode1->Checked);
    QListWidget& list = window->BrowserPanel().FileList();
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.item(1)->text().toStdString(), "b.rgb.bmp");
    EXPECT_EQ(list.currentRow(), 0);
    EXPECT_EQ(window->ImageView().x(), 185); // fitted right of the panel

    list.setCurrentRow(1); // as the user's click does
    QApplication::processEvents();
    EXPECT_EQ(form.ViewState.CurrentIndex, 1);
    const int cw = form.Window.ClientWidth, ch = form.Window.ClientHeight;
    EXPECT_EQ(Pixel((cw + 185) / 2, ch / 2), qRgb(0, 255, 0));
    Press(Qt::Key_Home); // keys work with the panel shown; the list follows
    EXPECT_EQ(list.currentRow(), 0);
    EXPECT_EQ(Pixel((cw + 185) / 2, ch / 2), qRgb(255, 0, 0));
    Press(Qt::Key_Return);
    EXPECT_FALSE(window->BrowserPanel().isVisible());
}

TEST_F(ViewerModes, FullscreenHidesTheMenuBarAndComesBackToTheSameGeometry) {
    const std::string first = Solid(dir, "a.bmp", 40, 20, 255, 0);
    Solid(dir, "b.bmp", 40, 20, 0, 255);
    Start({first});
    const QRect before = window->geometry();
    Press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(window->isFullScreen());
    EXPECT_FALSE(window->menuBar()->isVisible());
    EXPECT_EQ(window->ClientArea().height(), window->height());
    Press(Qt::Key_PageDown); // keys and shortcuts keep working without the bar
    EXPECT_EQ(window->Form().ViewState.CurrentIndex, 1);
    Press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(window->isFullScreen());
    EXPECT_TRUE(window->menuBar()->isVisible());
    EXPECT_EQ(window->geometry(), before);

    // "Browser mode" in fullscreen shows the panel and leaves fullscreen.
    Press(Qt::Key_F, Qt::ControlModifier);
    Press(Qt::Key_Return);
    EXPECT_FALSE(window->isFullScreen());
    EXPECT_TRUE(window->BrowserPanel().isVisible());
    EXPECT_EQ(window->geometry(), before);
}

TEST_F(ViewerModes, DraggingPansThePicture) {
    Start({Solid(dir, "a.bmp", 40, 20, 255, 0)});
    TImageView& view = window->ImageView();
    const QPoint start = view.pos();
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at), view.mapToGlobal(QPointF(at)), Qt::RightButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    };
    send(QEvent::MouseButtonPress, {50, 50}, Qt::RightButton);
    send(QEvent::MouseMove, {80, 60}, Qt::RightButton);
    EXPECT_EQ(view.pos(), start + QPoint(30, 10));
    send(QEvent::MouseMove, {50, 50}, Qt::RightButton); // the grab point is under the pointer again
    EXPECT_EQ(view.pos(), start + QPoint(30, 10));
    send(QEvent::MouseButtonRelease, {50, 50}, Qt::NoButton);
    send(QEvent::MouseMove, {90, 90}, Qt::NoButton);
    EXPECT_EQ(view.pos(), start + QPoint(30, 10));
    QApplication::processEvents();
    const app::TForm1& form = window->Form();
    const QRect drawn(view.pos(), view.size());
    EXPECT_EQ(Pixel(drawn.center().x(), drawn.center().y()), qRgb(255, 0, 0));
    EXPECT_EQ(Pixel(std::max(0, drawn.left() - 2), drawn.center().y()), qRgb(0, 0, 0));
    EXPECT_EQ(form.Image1.Left, drawn.left());
}

TEST_F(ViewerModes, AssociationPanelTicksWhatTheStoreSaysAndApplyKeepsOtherPrograms) {
    const TXdgHome home;
    const QString file = RegistryFileName();
    ASSERT_TRUE(file.startsWith(QString::fromStdString(home.Home.Path("config"))));
    const QString exts = "HKEY_CURRENT_USER/Software/Microsoft/Windows/CurrentVersion/Explorer/FileExts/";
    {
        QSettings store(file, QSettings::IniFormat);
        store.setValue(exts + ".png/Application", "other viewer");
        store.setValue(exts + ".jpe/Application", "Ferronel");
        store.setValue(exts + ".gif/Application", "ferronel");
        store.setValue("Elsewhere/Path", "/a b;c=d");
    }
    auto linesOf = [&](const QStringList& needles) {
        QFile in(file);
        EXPECT_TRUE(in.open(QIODevice::ReadOnly));
        QStringList lines;
        for (const QByteArray& line : in.readAll().split('\n'))
            for (const QString& needle : needles)
                if (line.contains(needle.toUtf8())) lines << QString::fromUtf8(line);
        return lines;
    };
    const QStringList others = linesOf({"other viewer", "=ferronel", "/a b"});
    ASSERT_EQ(others.size(), 3);

    Start({});
    Trigger("File associations");
    TAssociationPanel& panel = window->AssociationPanel();
    ASSERT_TRUE(panel.isVisible());
    EXPECT_TRUE(panel.CheckBox(8).isChecked());   // JPEG, through jpe
    EXPECT_FALSE(panel.CheckBox(13).isChecked()); // PNG belongs to another program
    EXPECT_FALSE(panel.CheckBox(2).isChecked());  // a value in another case is not ours
    EXPECT_EQ(panel.CheckBox(0).text().toStdString(), "Alias/Wavefront Image (*.rla;*.rpf)");

    panel.Button(1).click();    // "None"
    panel.CheckBox(19).click(); // Windows Bitmap
    panel.Button(2).click();    // "Apply"
    QApplication::processEvents();
    EXPECT_EQ(window->ErrorBox(), nullptr);
    EXPECT_FALSE(panel.isVisible());
    QSettings store(file, QSettings::IniFormat);
    EXPECT_FALSE(store.contains(exts + ".jpe/Application"));
    EXPECT_EQ(store.value(exts + ".bmp/Application").toString().toStdString(), "Ferronel");
    EXPECT_EQ(store.value(exts + ".dib/Application").toString().toStdString(), "Ferronel");
    EXPECT_EQ(linesOf({"other viewer", "=ferronel", "/a b"}), others); // byte for byte
    const QString command = "HKEY_CLASSES_ROOT/Applications/Ferronel/shell/open/command/(Default)";
    EXPECT_TRUE(store.value(command).toString().endsWith("/ferronel"));

    QFile entry(QString::fromStdString(home.Home.Path("data") + "/applications/ferronel.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("\" %f\n"));
    QFile defaults(QString::fromStdString(home.Home.Path("config") + "/mimeapps.list"));
    ASSERT_TRUE(defaults.open(QIODevice::ReadOnly));
    EXPECT_EQ(defaults.readAll().toStdString(), "[Default Applications]\nimage/bmp=ferronel.desktop;\n");
}

TEST_F(ViewerModes, AnUnwritableStoreIsReportedAndThePanelStaysUsable) {
    const TXdgHome home;
    home.Home.Write("config", {1}); // a file where the configuration folder should be
    Start({});
    Trigger("File associations");
    TAssociationPanel& panel = window->AssociationPanel();
    panel.Button(0).click(); // "All"
    panel.Button(2).click(); // "Apply"
    QApplication::processEvents();
    ASSERT_NE(window->ErrorBox(), nullptr);
    EXPECT_EQ(window->ErrorBox()->text().toStdString(), "Failed to set data for 'Application'");
    EXPECT_TRUE(panel.isVisible());
    EXPECT_TRUE(panel.CheckBox(23).isChecked());
    window->ErrorBox()->close();
    panel.Button(3).click(); // "Cancel"
    EXPECT_FALSE(panel.isVisible());
}

} // namespace
} // namespace ferronel::qt
