#include "qt/IconSelectionForm.h"

#include "linear/LinearBitmap.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace ferronel::qt {

namespace {

constexpr int PreviewWidth = 193;
constexpr int PreviewHeight = 73;

QColor ToQColor(TColor Color) { return QColor(GetRValue(Color), GetGValue(Color), GetBValue(Color)); }
TColor FromQColor(const QColor& Color) {
    return RGBColor(uint8_t(Color.red()), uint8_t(Color.green()), uint8_t(Color.blue()));
}

} // namespace

TIconSelectionForm::TIconSelectionForm(const linear::TIconList& List, TColor Color, QWidget* Parent)
    : QDialog(Parent), ChooseColor(RunColorDialog), FList(List), FColor(Color) {
    setWindowTitle("Select icon to import from file");
    setFixedSize(296, 169);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);

    SelectBox = new QComboBox(this);
    SelectBox->setGeometry(8, 8, 193, 21);
    PanelFrame = new TDoubleBufferedPanel(this);
    PanelFrame->SetBevelOuter(bvLowered);
    PanelFrame->setGeometry(8, 40, PreviewWidth, PreviewHeight);
    TransparentButton = new QPushButton("Transparent color", this);
    TransparentButton->setGeometry(8, 120, 113, 25);
    ColorPanel = new TPanelFrame(this);
    ColorPanel->SetBevelOuter(bvLowered);
    ColorPanel->setGeometry(128, 120, 25, 25);
    ColorLabel = new QLabel(this);
    ColorLabel->move(157, 125);
    Label1 = new QLabel("Note that writing of files with multiple icons is not supported.", this);
    Label1->move(8, 152);
    // The note must fit the fixed width whatever the desktop's font.
    QFont small = Label1->font();
    while (QFontMetrics(small).horizontalAdvance(Label1->text()) > width() - 16 && small.pointSizeF() > 6)
        small.setPointSizeF(small.pointSizeF() - 0.5);
    Label1->setFont(small);
    Label1->adjustSize();
    OkButton = new QPushButton("&Ok", this);
    OkButton->setGeometry(213, 8, 75, 25);
    OkButton->setDefault(true);
    CancelButton = new QPushButton("&Cancel", this);
    CancelButton->setGeometry(213, 44, 75, 25);

    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(TransparentButton, &QPushButton::clicked, this, [this] { TransparentButtonClick(); });
    ColorPanel->OnClick = [this] { TransparentButtonClick(); };
    connect(SelectBox, &QComboBox::currentIndexChanged, this, [this] { SelectBoxChange(); });

    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

int TIconSelectionForm::Index() const { return std::max(SelectBox->currentIndex(), 0); }

QString TIconSelectionForm::ImageLine(const linear::TIconList& List, int Index) {
    const char* kind = List.Kind == linear::ikIcon ? "Icon" : List.Kind == linear::ikCursor ? "Cursor" : "";
    const linear::TIconImage& image = List[Index];
    return QString::asprintf("%s %d x %d %d bit", kind, image.Width, image.Height, image.BitCount);
}

void TIconSelectionForm::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    if (!FShown) FormShow();
    FShown = true;
}

void TIconSelectionForm::FormShow() {
    const QSignalBlocker block(SelectBox);
    SelectBox->clear();
    for (int i = 0; i < FList.Count(); ++i) SelectBox->addItem(ImageLine(FList, i));
    SelectBox->setCurrentIndex(FList.Count() > 0 ? 0 : -1);
    SelectBoxChange();
}

void TIconSelectionForm::SelectBoxChange() {
    if (FList.Count() > 0) {
        const linear::TIconImage& image = FList[Index()];
        // The preview shows the image at its own size, inside the frame's one-pixel bevel.
        PanelFrame->resize(std::min(image.Width + 2, PreviewWidth),
                           std::min(image.Height + 2, PreviewHeight));
        QImage& canvas = PanelFrame->Canvas();
        canvas.fill(ToQColor(FColor));
        linear::TLinearBitmap picture;
        linear::IconImageToBitmap(image, FColor, picture);
        picture.ConvertTo(linear::lpf24bit);
        const QImage view(picture.Map(), picture.Width(), picture.Height(), qsizetype(picture.BytesPerLine()),
                          QImage::Format_BGR888);
        QPainter painter(&canvas);
        painter.drawImage(0, 0, view);
        painter.end();
        PanelFrame->update();
    }
    ColorLabel->setText(
        QString::asprintf("$%02x%02x%02x", GetRValue(FColor), GetGValue(FColor), GetBValue(FColor)));
    ColorLabel->adjustSize();
    ColorPanel->SetColor(ToQColor(FColor));
}

void TIconSelectionForm::TransparentButtonClick() {
    if (!ChooseColor) return;
    const std::optional<QColor> chosen = ChooseColor(ToQColor(FColor));
    if (!chosen) return;
    FColor = FromQColor(*chosen);
    SelectBoxChange();
}

std::optional<QColor> RunColorDialog(const QColor& Initial) {
    // "ColorA=fe00ff" is a colour value, 0x00BBGGRR: red ff, blue fe.
    QColorDialog::setCustomColor(0, QColor(0xFF, 0x00, 0xFE));
    QColorDialog dialog(Initial.isValid() ? Initial : QColor(0xFF, 0x00, 0xFF));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.selectedColor();
}

void InstallIconSelectionDialog(TColorChooser ChooseColor) {
    linear::TICOLoader::SetSelectionDialog(
        [chooser = std::move(ChooseColor)](const linear::TIconList& List, TColor Color) {
            TIconSelectionForm form(List, Color, QApplication::activeWindow());
            if (chooser) form.ChooseColor = chooser;
            linear::TIconSelection answer;
            answer.Ok = form.exec() == QDialog::Accepted;
            answer.Index = form.Index();
            answer.Color = form.Color();
            return answer;
        });
}

void RemoveIconSelectionDialog() { linear::TICOLoader::SetSelectionDialog(nullptr); }

} // namespace ferronel::qt
