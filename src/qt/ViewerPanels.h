// The two panels of the viewer window: the browser (folder tree and file list) and the
// association panel (a check box per picture type and four buttons). Each shows its models and
// hands the user's actions to the window's handler runner.
#pragma once

#include "app/MainForm.h"

#include <QFrame>

#include <functional>
#include <vector>

class QCheckBox;
class QFileSystemModel;
class QListWidget;
class QPushButton;
class QTreeView;

namespace ferronel::qt {

using TRunHandler = std::function<void(const std::function<void()>&)>;

class TBrowserPanel : public QFrame {
    Q_OBJECT
public:
    TBrowserPanel(app::TForm1& Form, TRunHandler Run, QWidget* Parent);
    // Follows the models: visibility, size, the list's entries and selection, the tree's folder.
    void Sync(int ClientHeight);
    QListWidget& FileList() { return *FList; }
    QTreeView& Folders() { return *FTree; }

private:
    app::TForm1& FForm;
    TRunHandler FRun;
    QFileSystemModel* FFolderModel;
    QTreeView* FTree;
    QListWidget* FList;
    std::string FShownFolder;
    std::vector<std::string> FShownEntries;
    bool FSyncing = false;
};

class TAssociationPanel : public QFrame {
    Q_OBJECT
public:
    TAssociationPanel(app::TForm1& Form, TRunHandler Run, QWidget* Parent);
    void Sync();
    QCheckBox& CheckBox(size_t Index) { return *FBoxes[Index]; }
    // "All", "None", "Apply", "Cancel".
    QPushButton& Button(size_t Index) { return *FButtons[Index]; }

private:
    app::TForm1& FForm;
    std::vector<QCheckBox*> FBoxes;
    std::vector<QPushButton*> FButtons;
};

} // namespace ferronel::qt
