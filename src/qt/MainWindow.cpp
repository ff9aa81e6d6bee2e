#include "qt/MainWindow.h"

#include "host/Exceptions.h"
#include "host/Thread.h"
#include "qt/SettingsRegistry.h"
#include "readers/decoders/TIFFJPEGDecoder.h"

#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QResizeEvent>
#include <QScreen>
#include <QWheelEvent>

namespace ferronel::qt {

namespace {

// Watches the client area's size for the form.
class TResizeWatcher : public QObject {
public:
    TResizeWatcher(QObject* parent, std::function<void()> onResize)
        : QObject(parent), FOnResize(std::move(onResize)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize) FOnResize();
        return false;
    }

private:
    std::function<void()> FOnResize;
};

} // namespace

TMainWindow::TMainWindow() : FForm(std::make_unique<app::TForm1>(*this)) {
    app::TForm1& form = *FForm;
    setWindowTitle(QString::fromStdString(form.Window.Caption));
    FClient = new QWidget(this);
    FClient->setAutoFillBackground(true);
    QPalette black = FClient->palette();
    black.setColor(QPalette::Window, Qt::black);
    FClient->setPalette(black);
    setCentralWidget(FClient);
    FImageView = new TImageView(form.Image1, FClient);
    FImageView->OnPainted = [this] {
        if (FPainted) return;
        FPainted = true;
        if (OnFirstPaint) OnFirstPaint();
    };
    form.Image1.Picture.OnChange = [this](TObject*) { FImageView->PictureChanged(); };
    FImageView->OnMouseDown = [this](int x, int y) { Run([&] { FForm->Image1MouseDown(x, y); }); };
    FImageView->OnMouseMove = [this](int x, int y) { Run([&] { FForm->Image1MouseMove(x, y); }); };
    FImageView->OnMouseUp = [this] { Run([this] { FForm->Image1MouseUp(); }); };
    const TRunHandler run = [this](const std::function<void()>& handler) { Run(handler); };
    FBrowser = new TBrowserPanel(form, run, FClient);
    FAssociations = new TAssociationPanel(form, run, FClient);
    form.ProgramPath = app::ComputeProgramPath(QCoreApplication::applicationFilePath().toStdString());
    form.CreateRegistry = [] { return std::make_unique<TSettingsRegistry>(RegistryFileName()); };
    BuildMenuBar();
    // The reader library reports damaged JPEG strips without failing the picture; the rows that
    // decoded are shown and the user is told once. Queued, so the box opens after the load, and
    // from whichever thread decoded.
    TTIFFJPEGDecoder::SetWarningHandler([this](const std::string& Caption, const std::string& Text) {
        QMetaObject::invokeMethod(
            this,
            [this, caption = QString::fromStdString(Caption), text = QString::fromStdString(Text)] {
                ShowWarning(caption, text);
            },
            Qt::QueuedConnection);
    });

    // The form's client size, centred on the desktop.
    resize(form.Window.ClientWidth, form.Window.ClientHeight + menuBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - rect().center());
    }
    FClient->installEventFilter(new TResizeWatcher(this, [this] {
        Run([this] {
            FForm->Window.ClientWidth = FClient->width();
            FForm->Window.ClientHeight = FClient->height();
            FForm->FormResize();
        });
    }));
    // The window sees every key before the focused control does.
    qApp->installEventFilter(this);
    // Animation painters hand their paints to the main thread; the event loop runs them.
    SetSynchronizeWakeup([] {
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [] { CheckSynchronize(); }, Qt::QueuedConnection);
    });
}

TMainWindow::~TMainWindow() {
    TTIFFJPEGDecoder::SetWarningHandler(nullptr);
    qApp->removeEventFilter(this);
    // The picture (and its painters) goes with the form; their last paints run while they are
    // stopped, so nothing needs the event loop afterwards.
    FForm.reset();
    SetSynchronizeWakeup(nullptr);
}

void TMainWindow::BuildMenuBar() {
    for (const auto& menu : FForm->MainMenu.Items()) {
        QMenu* qmenu = menuBar()->addMenu(QString::fromStdString(menu->Caption));
        std::function<void(QMenu*, const app::TMenuItem&)> fill = [&](QMenu* target,
                                                                      const app::TMenuItem& parent) {
            for (const auto& item : parent.Items()) {
                if (item->IsSeparator()) {
                    target->addSeparator();
                    continue;
                }
                if (!item->Items().empty()) {
                    fill(target->addMenu(QString::fromStdString(item->Caption)), *item);
                    continue;
                }
                QAction* action = target->addAction(QString::fromStdString(item->Caption));
                if (!item->ShortCut.empty())
                    action->setShortcut(item->ShortCut == "Enter"
                                            ? QKeySequence(Qt::Key_Return)
                                            : QKeySequence(QString::fromStdString(item->ShortCut)));
                action->setShortcutContext(Qt::ApplicationShortcut);
                action->setCheckable(item->Checkable);
                const app::TMenuItem* model = item.get();
                connect(action, &QAction::triggered, this,
                        [this, model] { Run([model] { model->Click(); }); });
                // Also the window's own action, so the shortcut works while the menu bar is hidden.
                addAction(action);
                FActions[model] = action;
            }
        };
        fill(qmenu, *menu);
        FActions[menu.get()] = qmenu->menuAction();
    }
    Sync();
}

void TMainWindow::Start(const std::vector<std::string>& Arguments) {
    FForm->Window.ClientWidth = FClient->width();
    FForm->Window.ClientHeight = FClient->height();
    Run([&] { FForm->FormCreate(Arguments); });
}

void TMainWindow::Run(const std::function<void()>& Handler) {
    if (!FApplying) ReadWindow();
    try {
        Handler();
    } catch (const EAbort&) {
        // The user called the operation off (a dialog cancelled): nothing to report.
    } catch (const Exception& e) {
        ShowError(QString::fromStdString(e.Message()));
    } catch (const std::exception& e) {
        ShowError(QString::fromLocal8Bit(e.what()));
    }
    Sync();
}

void TMainWindow::ShowError(const QString& Text) {
    // Shown without blocking: the program goes on with its previous picture.
    auto* box = new QMessageBox(QMessageBox::Critical, windowTitle(), Text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    FErrorBox = box;
}

void TMainWindow::ShowWarning(const QString& Caption, const QString& Text) {
    auto* box = new QMessageBox(QMessageBox::Warning, Caption, Text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    FWarningBox = box;
}

void TMainWindow::Sync() {
    ApplyWindow();
    const app::TImageControl& image = FForm->Image1;
    FImageView->setGeometry(image.Left, image.Top, image.Width, image.Height);
    FImageView->update();
    bool anyMenu = false;
    for (auto& [model, action] : FActions) {
        action->setEnabled(model->Enabled);
        action->setVisible(model->Visible);
        if (action->isCheckable()) action->setChecked(model->Checked);
    }
    for (const auto& menu : FForm->MainMenu.Items()) anyMenu = anyMenu || menu->Visible;
    menuBar()->setVisible(anyMenu);
    FBrowser->Sync(FClient->height());
    FAssociations->Sync();
}

void TMainWindow::ReadWindow() {
    app::TWindow& w = FForm->Window;
    // In fullscreen the model keeps the maximised state it asked for.
    if (w.BorderStyle == app::bsNone || !isVisible()) return;
    const QRect bounds = geometry();
    w.Left = bounds.x(), w.Top = bounds.y(), w.Width = bounds.width(), w.Height = bounds.height();
    w.WindowState = isMinimized() ? app::wsMinimized : isMaximized() ? app::wsMaximized : app::wsNormal;
}

void TMainWindow::ApplyWindow() {
    if (FApplying || !isVisible()) return;
    FApplying = true;
    const app::TWindow& w = FForm->Window;
    // A maximised window without a border is the desktop's fullscreen.
    if (w.BorderStyle == app::bsNone) {
        if (!isFullScreen()) showFullScreen();
    } else if (w.WindowState == app::wsMaximized) {
        if (!isMaximized() || isFullScreen()) showMaximized();
    } else if (w.WindowState == app::wsMinimized) {
        if (!isMinimized()) showMinimized();
    } else {
        if (isFullScreen() || isMaximized() || isMinimized()) showNormal();
        const QRect bounds(w.Left, w.Top, w.Width, w.Height);
        if (!bounds.isEmpty() && geometry() != bounds) setGeometry(bounds);
        // A handler that needs more room (the association panel) grows the client area.
        const int dw = w.ClientWidth - FClient->width(), dh = w.ClientHeight - FClient->height();
        if (dw > 0 || dh > 0) resize(width() + std::max(dw, 0), height() + std::max(dh, 0));
    }
    FApplying = false;
}

bool TMainWindow::ExecuteOpenDialog(app::TOpenPictureDialog& Dialog) {
    QFileDialog dialog(this, "Open");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(NameFilters(Dialog.Filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    Dialog.FileName = dialog.selectedFiles().first().toStdString();
    return true;
}

void TMainWindow::CloseWindow() { close(); }

QStringList TMainWindow::NameFilters(const std::string& Filter) {
    const QStringList parts = QString::fromStdString(Filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        // The description already names its patterns in parentheses; Qt reads the patterns from there.
        const qsizetype open = description.lastIndexOf(" (");
        if (open > 0 && description.endsWith(')')) description.truncate(open);
        filters << description + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    }
    return filters;
}

uint16_t TMainWindow::VirtualKey(int Key, Qt::KeyboardModifiers Modifiers) {
    switch (Key) {
    case Qt::Key_PageUp: return app::VK_PRIOR;
    case Qt::Key_PageDown: return app::VK_NEXT;
    case Qt::Key_End: return app::VK_END;
    case Qt::Key_Home: return app::VK_HOME;
    case Qt::Key_Plus: return Modifiers & Qt::KeypadModifier ? app::VK_ADD : 0;
    case Qt::Key_Minus: return Modifiers & Qt::KeypadModifier ? app::VK_SUBTRACT : 0;
    default: return 0;
    }
}

bool TMainWindow::eventFilter(QObject* Watched, QEvent* Event) {
    // Keys for this window (or its children) reach the form first; they are not consumed.
    // A key goes first to the focused widget (or the window) and is then passed on to the parents;
    // the form sees it at its first receiver only.
    if (Event->type() == QEvent::KeyPress && Watched->isWidgetType() &&
        static_cast<QWidget*>(Watched)->window() == this) {
        QWidget* first = QApplication::focusWidget() ? QApplication::focusWidget() : this;
        const auto* key = static_cast<QKeyEvent*>(Event);
        if (Watched == first)
            if (const uint16_t vk = VirtualKey(key->key(), key->modifiers()))
                Run([&] { FForm->FormKeyDown(vk); });
    }
    return QMainWindow::eventFilter(Watched, Event);
}

void TMainWindow::wheelEvent(QWheelEvent* Event) {
    // Horizontal tilts and a touchpad's begin and end events carry no vertical turn; the form's
    // handler would take them for a step of zero and reload the picture.
    const int delta = Event->angleDelta().y();
    if (delta != 0) Run([&] { FForm->FormMouseWheel(delta); });
    Event->ignore(); // not marked handled
}

} // namespace ferronel::qt
