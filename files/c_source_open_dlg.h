#pragma once
// The source dialog: a memory card from the removable drives, a folder, or one file, each row
// remembering its last value in the settings file (section "SOURCE").

#include <QString>
#include <array>
#include <functional>
#include <string>

#include "files/browse_folder.h"
#include "files/removable_drives.h"
#include "recordings/library.h"
#include "widgets/c_skin_dialog.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tavrilo {

class CSkinCheckButton;

// What a file chooser answers (the program's is QFileDialog); empty for cancel.
using FilePicker = std::function<QString(QWidget* owner, const QString& start)>;
QString PickFileWithDialog(QWidget* owner, const QString& start);

class CSourceOpenDlg : public CSkinDialog {
    Q_OBJECT
  public:
    CSourceOpenDlg(const Settings& settings, const DriveSource& drives, QWidget* owner,
                   FolderPicker pickFolder = PickFolderWithDialog,
                   FilePicker pickFile = PickFileWithDialog);

    // 0 until a row is chosen, then the SourceKind of the row.
    int kind() const { return kind_; }
    // The text of the chosen kind (after OK).
    std::string ChosenText() const;
    std::string driveText() const { return drive_; }

    // The controls, for the tests.
    CSkinCheckButton* row(int i) const { return rows_[static_cast<size_t>(i)]; }
    QComboBox* drives() const { return driveList_; }
    QLineEdit* folderEdit() const { return folder_; }
    QLineEdit* fileEdit() const { return file_; }
    QPushButton* folderBrowse() const { return folderBrowse_; }
    QPushButton* fileBrowse() const { return fileBrowse_; }
    QPushButton* okButton() const { return ok_; }

    void ChooseRow(int index);

  protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;

  private:
    void UpdateOk();
    void OnOk();

    const Settings& settings_;
    FolderPicker pickFolder_;
    FilePicker pickFile_;
    int kind_ = 0;
    std::string drive_;
    std::array<CSkinCheckButton*, 3> rows_{};
    QComboBox* driveList_;
    QLineEdit* folder_;
    QLineEdit* file_;
    QPushButton* folderBrowse_;
    QPushButton* fileBrowse_;
    QPushButton* ok_;
};

}  // namespace tavrilo
