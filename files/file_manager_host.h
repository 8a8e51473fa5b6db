#pragma once
// What the file manager panel tells the main window directly, on the window thread.

class QTreeWidgetItem;

namespace tavrilo {

class FileManagerHost {
  public:
    virtual ~FileManagerHost() = default;
    virtual void OnFolderSelected(QTreeWidgetItem* item) = 0;  // UWM_FOLDER_SELECTED
    virtual void OnRecordingSelected(int row) = 0;
};

}  // namespace tavrilo
