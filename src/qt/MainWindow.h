// The viewer's window in Qt: shows the form's models (menu bar, image control, black client area),
// routes keys, wheel, resizes and menu commands to the form's handlers, and shows an error that
// leaves a handler in a message box while the program goes on.
#pragma once

#include "app/MainForm.h"
#include "qt/ImageView.h"
#include "qt/ViewerPanels.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>

class QAction;
#include <QMessageBox>

namespace ferronel::qt {

class TMainWindow : public QMainWindow, public app::IWindowSystem {
    Q_OBJECT
public:
    TMainWindow();
    ~TMainWindow() override;

    // Start-up: the form's creation handler with the command-line arguments (program excluded).
    void Start(const std::vector<std::string>& Arguments);

    app::TForm1& Form() { return *FForm; }
    TImageView& ImageView() { return *FImageView; }
    QWidget& ClientArea() { return *FClient; }
    TBrowserPanel& BrowserPanel() { return *FBrowser; }
    TAssociationPanel& AssociationPanel() { return *FAssociations; }
    // The error box shown last, while it is open.
    QMessageBox* ErrorBox() const { return FErrorBox; }
    // The warning box a reader's non-fatal problem opened last (a cut JPEG strip in a TIFF file).
    QMessageBox* WarningBox() const { return FWarningBox; }

    bool ExecuteOpenDialog(app::TOpenPictureDialog& Dialog) override;
    void CloseWindow() override;

    // Converts "description|pattern|..." pairs into a Qt name filter list.
    static QStringList NameFilters(const std::string& Filter);
    // The host virtual-key code of a Qt key, or 0.
    static uint16_t VirtualKey(int Key, Qt::KeyboardModifiers Modifiers);

    std::function<void()> OnFirstPaint;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;

private:
    // Runs a handler; an error that leaves it goes to the error box. Then the view follows the models.
    void Run(const std::function<void()>& Handler);
    void ShowError(const QString& Text);
    void ShowWarning(const QString& Caption, const QString& Text);
    void Sync();
    void BuildMenuBar();
    // The window's bounds and state into the form's model, and the model's back onto the window.
    void ReadWindow();
    void ApplyWindow();

    std::unique_ptr<app::TForm1> FForm;
    QWidget* FClient = nullptr;
    TImageView* FImageView = nullptr;
    TBrowserPanel* FBrowser = nullptr;
    TAssociationPanel* FAssociations = nullptr;
    bool FApplying = false;
    std::map<const app::TMenuItem*, QAction*> FActions;
    QPointer<QMessageBox> FErrorBox;
    QPointer<QMessageBox> FWarningBox;
    bool FPainted = false;
};

} // namespace ferronel::qt
