#include "files/c_filer_container_dlg.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <filesystem>

#include "recordings/names.h"
#include "widgets/app_message.h"
#include "widgets/c_resource_image.h"
#include "widgets/c_skin_button.h"
#include "widgets/ui_fonts.h"
#include "widgets/ui_text.h"

namespace tavrilo {
namespace {

namespace fs = std::filesystem;

}  // namespace

CFilerContainerDlg::CFilerContainerDlg(EngineContext& ctx, const Settings& settings,
                                       const DriveSource& drives, FileManagerHost& host,
                                       QObject* lostTarget, QWidget* parent)
    : QWidget(parent),
      ctx_(ctx),
      settings_(settings),
      drives_(drives),
      host_(host),
      library_(engine::ContentTestOf(&ctx)),
      watcher_(std::make_unique<CMovieResource>(
          [lostTarget] { PostAppMessage(lostTarget, UWM_SOURCE_LOST); })) {
    setFont(UiFonts::ForDevice(*this).f10);
    pathEdit_ = new QLineEdit(this);
    pathEdit_->setReadOnly(true);
    tree_ = new CFolderTreeCtrl(this);
    list_ = new CFileListCtrl(this);
    const std::array<int, kFilterButtons> labels = {26, 29, 27, 28, 141};
    for (int i = 0; i < kFilterButtons; ++i) {
        auto* b = new CSkinCheckButton(UiText(labels[static_cast<size_t>(i)]), 38700 + i, this);
        b->setChecked(true);
        connect(b, &QAbstractButton::clicked, this, [this, i] { ApplyFilter(i); });
        filters_[static_cast<size_t>(i)] = b;
    }
    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
                if (item != nullptr) {
                    host_.OnFolderSelected(item);
                }
            });
    connect(list_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
                if (item != nullptr) {
                    host_.OnRecordingSelected(item->data(0, CFileListCtrl::kRecordingRole).toInt());
                }
            });
    connect(list_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        // By the column's key in the library's order: the name, or the event kind then the name.
        std::stable_sort(listed_.begin(), listed_.end(),
                         [column](const RecordingEntry& a, const RecordingEntry& b) {
                             if (column == 1 && GetEventKind(a.Name) != GetEventKind(b.Name)) {
                                 return GetEventKind(a.Name) < GetEventKind(b.Name);
                             }
                             return NameLess(a.Name, b.Name);
                         });
        FillList();
        SelectRow(0);
    });
}

CFilerContainerDlg::~CFilerContainerDlg() = default;

QString CFilerContainerDlg::CountText() const {
    return UiText(37).replace(QStringLiteral("%d"), QString::number(rows_.size()));  // "%d個"
}

void CFilerContainerDlg::FillList() {
    rows_.clear();
    for (const RecordingEntry& e : listed_) {
        if (PassesFilters(e.Name, filterFlags_)) {
            rows_.push_back(e);
        }
    }
    const QSignalBlocker quiet(list_);
    list_->Fill(rows_);
    update();
}

void CFilerContainerDlg::MarkJoined(const std::vector<std::string>& paths, bool joined) {
    for (RecordingList* list : {&listed_, &rows_}) {
        for (RecordingEntry& e : *list) {
            if (std::find(paths.begin(), paths.end(), e.Path) != paths.end()) {
                e.Joined = joined ? 1 : 0;
            }
        }
    }
}

void CFilerContainerDlg::ToggleFilter(int button) {
    CSkinCheckButton* b = filters_[static_cast<size_t>(button)];
    b->setChecked(!b->isChecked());
    ApplyFilter(button);
}

void CFilerContainerDlg::ApplyFilter(int button) {
    filterFlags_[static_cast<size_t>(button)] =
        filters_[static_cast<size_t>(button)]->isChecked() ? 1 : 0;
    FillList();
    SelectRow(0);
}

void CFilerContainerDlg::LoadSource(const std::string& pathIn, SourceKind kind) {
    sourcePath_ = pathIn;
    kind_ = kind;
    listed_.clear();
    firmware_.clear();
    const QSignalBlocker quietTree(tree_);
    tree_->Clear();
    library_.ResetListCounter();
    const std::string path = SourcePathToOpen(pathIn);
    switch (kind) {
        case SourceKind::kCard: {
            treeRoot_ = path;
            watcher_->SetPath(path);
            RecordingList recordings, folders;
            library_.FillSourceTree(*tree_, path, kind, &recordings, &folders);
            firmware_.clear();
            const std::string file = FirmwareRecordingOf(library_.BuildListForSource(path));
            CameraInfo camera;
            if (!file.empty() && ctx_.Ready &&
                engine::ReadCameraInfo(&ctx_, &camera, file.c_str())) {
                firmware_ = FirmwareVersionText(camera).value_or("");
            }
            break;
        }
        case SourceKind::kFolder: {
            treeRoot_ = fs::path(path).parent_path().string();
            watcher_->SetPath(treeRoot_);
            library_.FillSourceTree(*tree_, path, kind, nullptr, nullptr);
            break;
        }
        case SourceKind::kFile:
            treeRoot_ = fs::path(path).parent_path().string();
            // The one file chosen is listed whatever it holds: a recording, a clip of another
            // program, or a file that cannot be played, whose opening then says why.
            if (library_.MakeFileEntry(path, listed_)) {
                watcher_->SetPath(path);
                FillList();
                SelectRow(0);
                pathEdit_->setText(QString::fromStdString(path));
            } else {
                listed_.clear();
                FillList();
            }
            return;
    }
    if (tree_->topLevelItemCount() > 0) {
        tree_->setCurrentItem(tree_->topLevelItem(0));
        ListFolder(tree_->topLevelItem(0));
    } else {
        FillList();
    }
}

std::string CFilerContainerDlg::FolderOf(QTreeWidgetItem* item) const {
    std::vector<std::string> labels;
    for (QTreeWidgetItem* i = item; i != nullptr; i = i->parent()) {
        labels.push_back(i->text(0).toStdString());
    }
    fs::path path = treeRoot_;
    for (auto it = labels.rbegin(); it != labels.rend(); ++it) {
        path /= *it;
    }
    return path.string();
}

int CFilerContainerDlg::ListFolder(QTreeWidgetItem* item) {
    if (item == nullptr) {
        return 0;
    }
    const std::string folder = FolderOf(item);
    pathEdit_->setText(QString::fromStdString(folder));
    int depth = 0;
    for (QTreeWidgetItem* i = item->parent(); i != nullptr; i = i->parent()) {
        ++depth;
    }
    const QSignalBlocker quietTree(tree_);
    qDeleteAll(item->takeChildren());
    library_.ResetListCounter();
    listed_.clear();
    int counter = 0;
    library_.FillFolderTree(*tree_, tree_->HandleOf(item), folder, true, &listed_, nullptr, depth,
                            &counter);
    SortRecordings(listed_);
    for (QTreeWidgetItem* i = item; i != nullptr; i = i->parent()) {
        i->setExpanded(true);
    }
    FillList();
    return static_cast<int>(listed_.size());
}

RecordingList CFilerContainerDlg::GetAllRecordings() {
    library_.ResetListCounter();
    switch (kind_) {
        case SourceKind::kCard:
            return library_.BuildListForSource(treeRoot_);
        case SourceKind::kFolder:
            return library_.BuildListForSource(
                tree_->topLevelItemCount() > 0 ? FolderOf(tree_->topLevelItem(0)) : sourcePath_);
        case SourceKind::kFile:
            return library_.BuildListForSource(treeRoot_);
    }
    return {};
}

void CFilerContainerDlg::SelectRow(int index) {
    if (index >= 0 && index < list_->topLevelItemCount()) {
        list_->setCurrentItem(list_->topLevelItem(index));
        list_->scrollToItem(list_->topLevelItem(index));
    }
}

bool CFilerContainerDlg::RestoreSource() {
    const QSignalBlocker quietTree(tree_);
    tree_->Clear();
    std::vector<std::string> drives;
    EnumRemovableDrives(drives_, &drives);
    std::error_code ec;
    bool opened = false;
    for (auto it = drives.rbegin(); it != drives.rend() && !opened; ++it) {
        if (fs::exists(*it, ec)) {
            std::string root = *it;
            root.erase(std::remove(root.begin(), root.end(), '\\'), root.end());
            LoadSource(root, SourceKind::kCard);
            opened = true;
        }
    }
    const std::string folder = settings_.ReadSetting("SOURCE", "FOLDER");
    const std::string file = settings_.ReadSetting("SOURCE", "FILE");
    if (!opened && !folder.empty() && fs::exists(folder, ec)) {
        LoadSource(folder, SourceKind::kFolder);
        opened = true;
    }
    if (!opened && !file.empty() && fs::exists(file, ec)) {
        LoadSource(file, SourceKind::kFile);
        opened = true;
    }
    update();
    return opened;
}

void CFilerContainerDlg::SetLayout(int layout) {
    layout_ = layout;
    PlaceChildren();
    update();
}

void CFilerContainerDlg::SetBusyPicture(bool on) {
    busy_ = on;
    PlaceChildren();
    update();
}

void CFilerContainerDlg::resizeEvent(QResizeEvent*) {
    PlaceChildren();
}

void CFilerContainerDlg::PlaceChildren() {
    const FilerLayout l = ComputeFilerLayout(layout_, rect(), fontMetrics().height());
    const bool shown = !l.tree.isEmpty() && !busy_;
    pathEdit_->setVisible(shown);
    tree_->setVisible(shown);
    list_->setVisible(shown);
    if (shown) {
        pathEdit_->setGeometry(l.path);
        tree_->setGeometry(l.tree);
        list_->setGeometry(l.list);
        list_->setColumnWidth(0, std::max(l.list.width() - 51, 40));
        list_->setColumnWidth(1, 50);
    }
    // The filters in a row above the tree (layout 0), or in two rows above the list in the
    // narrow layout 1.
    const int perRow = layout_ == 0 ? kFilterButtons : 3;
    for (int i = 0; i < kFilterButtons; ++i) {
        CSkinCheckButton* b = filters_[static_cast<size_t>(i)];
        b->setVisible(shown);
        const int y = (layout_ == 0 ? 28 : 342) + (i / perRow) * 20;
        b->setGeometry(4 + (i % perRow) * 76, y, 74, 18);
    }
}

void CFilerContainerDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setPen(QColor(170, 170, 170));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    if (busy_) {
        const QPixmap& picture = CResourceImage::Pixmap(layout_ == 0 ? 214 : 215);
        if (!picture.isNull()) {
            p.drawPixmap(rect(), picture);
        }
        return;
    }
    if (layout_ == 2) {
        return;
    }
    // The count at the top right.
    const QRect count =
        layout_ == 0 ? QRect(width() - 65, 5, 60, 18) : QRect(width() - 70, 4, 60, 18);
    p.setPen(Qt::black);
    p.drawText(count, Qt::AlignRight | Qt::AlignVCenter, CountText());
}

}  // namespace tavrilo
