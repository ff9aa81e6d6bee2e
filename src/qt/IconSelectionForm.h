// The modal dialog that lets the user pick one image of an icon or cursor file and the colour its
// transparent pixels get; installed at start-up as the icon loader's selection dialog.
#pragma once

#include "host/Types.h"
#include "linear/ICOLoader.h"
#include "qt/PanelFrame.h"

#include <QColor>
#include <QDialog>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;

namespace ferronel::qt {

// Asks the user for a colour, starting from Initial; nothing when the user cancels.
using TColorChooser = std::function<std::optional<QColor>(const QColor& Initial)>;

class TIconSelectionForm : public QDialog {
    Q_OBJECT
public:
    TIconSelectionForm(const linear::TIconList& List, TColor Color, QWidget* Parent = nullptr);

    // The colour dialog; tests replace it, since a system dialog cannot be driven offscreen.
    TColorChooser ChooseColor;

    TColor Color() const { return FColor; }
    int Index() const;
    // One line of the selection box: "Icon 16 x 16 4 bit".
    static QString ImageLine(const linear::TIconList& List, int Index);

    QComboBox* SelectBox = nullptr;
    TDoubleBufferedPanel* PanelFrame = nullptr;
    QPushButton* TransparentButton = nullptr;
    TPanelFrame* ColorPanel = nullptr;
    QLabel* ColorLabel = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void FormShow();
    void SelectBoxChange();
    void TransparentButtonClick();

    const linear::TIconList& FList;
    TColor FColor;
    bool FShown = false;
};

// The system colour dialog with the form's settings (full, any colour, one custom colour).
std::optional<QColor> RunColorDialog(const QColor& Initial);

// Makes the icon loader show the form; ChooseColor replaces the colour dialog when given.
void InstallIconSelectionDialog(TColorChooser ChooseColor = {});
void RemoveIconSelectionDialog();

} // namespace ferronel::qt
