#pragma once
// The file manager panel: the source's path, its folder tree, the recordings of the chosen
// folder with their event kinds, their count and the five event filters. It opens sources,
// picks one at start-up, watches the source for a pulled card, and knows the card's firmware.

#include <QTreeWidget>
#include <QWidget>
#include <array>
#include <memory>
#include <string>

#include "engine/engine.h"
#include "files/c_file_list_ctrl.h"
#include "files/c_folder_tree_ctrl.h"
#include "files/file_manager_host.h"
#include "files/file_manager_rules.h"
#include "files/removable_drives.h"
#include "platform/settings.h"
#include "recordings/library.h"

class QLineEdit;

namespace tavrilo {

class CSkinCheckButton;

class CFilerContainerDlg : public QWidget {
    Q_OBJECT
  public:
    CFilerContainerDlg(EngineContext& ctx, const Settings& settings, const DriveSource& drives,
                       FileManagerHost& host, QObject* lostTarget, QWidget* parent);
    ~CFilerContainerDlg() override;

    void LoadSource(const std::string& path, SourceKind kind);
    bool RestoreSource();
    int ListFolder(QTreeWidgetItem* item);
    RecordingList GetAllRecordings();
    void SelectRow(int index);
    std::string GetFirmwareVersion() const { return firmware_; }
    void SetLayout(int layout);
    void SetBusyPicture(bool on);
    // Sets or clears the joined mark of the listed recordings with these paths.
    void MarkJoined(const std::vector<std::string>& paths, bool joined);
    // The filter command: inverts button `button` and refills the list.
    void ToggleFilter(int button);

    // What the panel shows, for the main window and the tests.
    const RecordingList& rows() const { return rows_; }
    const RecordingList& listed() const { return listed_; }
    SourceKind sourceKind() const { return kind_; }
    const std::string& sourcePath() const { return sourcePath_; }
    // The folder the tree stands in: a card's root, a folder's or a file's parent.
    const std::string& treeRoot() const { return treeRoot_; }
    CFolderTreeCtrl* tree() const { return tree_; }
    CFileListCtrl* list() const { return list_; }
    QLineEdit* pathEdit() const { return pathEdit_; }
    CSkinCheckButton* filterButton(int i) const { return filters_[static_cast<size_t>(i)]; }
    QString CountText() const;
    std::string watchedPath() const { return watcher_->Path(); }

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

  private:
    void FillList();
    void ApplyFilter(int button);
    void PlaceChildren();
    std::string FolderOf(QTreeWidgetItem* item) const;

    EngineContext& ctx_;
    const Settings& settings_;
    const DriveSource& drives_;
    FileManagerHost& host_;
    RecordingLibrary library_;
    std::unique_ptr<CMovieResource> watcher_;
    std::string sourcePath_;
    SourceKind kind_ = SourceKind::kCard;
    std::string treeRoot_;
    RecordingList listed_;  // of the chosen folder, before the filters
    RecordingList rows_;    // what the list shows
    std::string firmware_;
    int layout_ = 0;
    bool busy_ = false;
    std::array<int32_t, kFilterButtons> filterFlags_{1, 1, 1, 1, 1};
    QLineEdit* pathEdit_;
    CFolderTreeCtrl* tree_;
    CFileListCtrl* list_;
    std::array<CSkinCheckButton*, kFilterButtons> filters_{};
};

}  // namespace tavrilo
