#pragma once
// The file manager's list of recordings: the name without its extension and the event kind's
// label, each row filled by its kind.

#include <QTreeWidget>

#include "recordings/library.h"

namespace tavrilo {

class CFileListCtrl : public QTreeWidget {
    Q_OBJECT
  public:
    // The data role holding a row's index into the rows it was filled with.
    static constexpr int kRecordingRole = Qt::UserRole + 3;

    explicit CFileListCtrl(QWidget* parent);
    void Fill(const RecordingList& rows);
};

}  // namespace tavrilo
