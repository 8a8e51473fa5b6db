#pragma once
// The file selection dialog of the delete and join commands: the recordings with a check mark
// each, their checked total, a switch that lists every recording of the source (delete) and one
// that checks them all. In join mode the checked rows stay one run, the total is limited to
// 1024 MB and 99 files, and the recordings of an earlier join are highlighted.

#include <QDialog>
#include <vector>

#include "files/file_selection.h"
#include "widgets/c_skin_dialog.h"

class QLabel;
class QListWidgetItem;
class QPushButton;

namespace tavrilo {

class CSkinCheckButton;
class CSkinListCtrl;

class CFileSelectDlg : public CSkinDialog {
    Q_OBJECT
  public:
    CFileSelectDlg(SelectMode mode, QWidget* parent);

    // The main list's recordings (the first 1500; more bring the notice first).
    void SetShownList(const RecordingList& list);
    // Every recording of the source, for the show-all switch; false when not all fitted.
    bool SetFullList(const RecordingList& list);
    // The checked recordings, in list order, after OK.
    const RecordingList& result() const { return result_; }

    // What the dialog shows, for the tests.
    CSkinListCtrl* list() const { return list_; }
    QLabel* totalLabel() const { return total_; }
    QPushButton* okButton() const { return ok_; }
    CSkinCheckButton* showAllSwitch() const { return showAll_; }
    CSkinCheckButton* selectAllSwitch() const { return selectAll_; }
    const SelectionTotal& total() const { return totalNow_; }
    // Checks or unchecks row `row` as a click does.
    void ClickRow(int row);

  protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;

  private:
    void Fill();
    void OnCheckChanged(QListWidgetItem* item, bool checked);
    void Refresh();
    std::vector<bool> Checked() const;
    void OnOk();

    SelectMode mode_;
    RecordingList shown_, full_, display_, result_;
    SelectionTotal totalNow_;
    CSkinListCtrl* list_;
    QLabel* total_;
    QPushButton* ok_;
    CSkinCheckButton* showAll_;
    CSkinCheckButton* selectAll_;
};

}  // namespace tavrilo
