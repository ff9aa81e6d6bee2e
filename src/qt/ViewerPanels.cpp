#include "qt/ViewerPanels.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeView>

namespace ferronel::qt {

namespace {

// The window's client area is black; the panels keep the ordinary colours.
void UsePlainColours(QWidget& Panel) {
    Panel.setPalette(QApplication::palette());
    Panel.setAutoFillBackground(true);
}

} // namespace

TBrowserPanel::TBrowserPanel(app::TForm1& Form, TRunHandler Run, QWidget* Parent)
    : QFrame(Parent), FForm(Form), FRun(std::move(Run)) {
    UsePlainColours(*this);
    // The folder tree stands in for the drive box and folder list: choosing a folder sets the list's.
    FFolderModel = new QFileSystemModel(this);
    FFolderModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    FFolderModel->setRootPath("/");
    FTree = new QTreeView(this);
    FTree->setModel(FFolderModel);
    for (int column = 1; column < FFolderModel->columnCount(); ++column) FTree->hideColumn(column);
    FTree->setHeaderHidden(true);
    FTree->setGeometry(8, 8, 169, 201);
    connect(FTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) {
                if (FSyncing || !index.isValid()) return;
                const std::string folder = FFolderModel->filePath(index).toStdString();
                FRun([this, folder] { FForm.FileListBox1.SetFolder(folder); });
            });
    FList = new QListWidget(this);
    FList->setGeometry(8, 216, 169, FForm.FileListBox1.Height);
    // A selection the user makes fires the list's change event, which loads the file.
    connect(FList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (FSyncing) return;
        FRun([this, row] {
            FForm.FileListBox1.SetItemIndex(row);
            FForm.FileListBox1Change();
        });
    });
}

void TBrowserPanel::Sync(int ClientHeight) {
    FSyncing = true;
    const app::TFileListBox& list = FForm.FileListBox1;
    setGeometry(0, 0, FForm.Panel1.Width, ClientHeight);
    FList->setGeometry(8, 216, 169, std::max(0, list.Height));
    if (list.Folder() != FShownFolder || list.Entries() != FShownEntries) {
        FList->clear();
        for (const std::string& entry : list.Entries()) FList->addItem(QString::fromStdString(entry));
        if (list.Folder() != FShownFolder) {
            const QModelIndex folder = FFolderModel->index(QString::fromStdString(list.Folder()));
            FTree->setCurrentIndex(folder);
            FTree->scrollTo(folder);
        }
        FShownFolder = list.Folder();
        FShownEntries = list.Entries();
    }
    FList->setCurrentRow(list.ItemIndex());
    setVisible(FForm.Panel1.Visible);
    FSyncing = false;
}

TAssociationPanel::TAssociationPanel(app::TForm1& Form, TRunHandler Run, QWidget* Parent)
    : QFrame(Parent), FForm(Form) {
    UsePlainColours(*this);
    setFrameShape(QFrame::Panel);
    auto* group = new QGroupBox("Select file associations", this);
    group->setGeometry(8, 8, 249, 409);
    for (size_t i = 0; i < FForm.CheckBoxes.size(); ++i) {
        auto* box = new QCheckBox(QString::fromStdString(FForm.CheckBoxes[i].Caption), group);
        box->setGeometry(8, 16 + 16 * int(i), 233, 17);
        connect(box, &QCheckBox::toggled, this,
                [this, i](bool checked) { FForm.CheckBoxes[i].Checked = checked; });
        FBoxes.push_back(box);
    }
    const std::pair<const char*, void (app::TForm1::*)()> buttons[] = {
        {"All", &app::TForm1::Button2Click},
        {"None", &app::TForm1::Button3Click},
        {"Apply", &app::TForm1::Button4Click},
        {"Cancel", &app::TForm1::Button5Click}};
    int left = 8;
    for (const auto& entry : buttons) {
        const auto handler = entry.second;
        auto* button = new QPushButton(entry.first, this);
        button->setGeometry(left, 424, 57, 25);
        left += 64;
        app::TForm1* form = &FForm;
        connect(button, &QPushButton::clicked, this,
                [Run, handler, form] { Run([handler, form] { (form->*handler)(); }); });
        FButtons.push_back(button);
    }
}

void TAssociationPanel::Sync() {
    const app::TPanel& panel = FForm.Panel2;
    setGeometry(panel.Left, panel.Top, panel.Width, panel.Height);
    for (size_t i = 0; i < FBoxes.size(); ++i) {
        const QSignalBlocker blocker(FBoxes[i]);
        FBoxes[i]->setChecked(FForm.CheckBoxes[i].Checked);
    }
    setVisible(panel.Visible);
    if (panel.Visible) raise();
}

} // namespace ferronel::qt
