#pragma once
// The file manager's folder tree: the source and its recording folders, each item keeping the
// event kinds found in its folder. Items are known to the library by handles from 1.

#include <QTreeWidget>
#include <string>
#include <vector>

#include "recordings/library.h"

namespace tavrilo {

class CFolderTreeCtrl : public QTreeWidget, public FolderTree {
    Q_OBJECT
  public:
    explicit CFolderTreeCtrl(QWidget* parent);
    int InsertItem(int parent, const std::string& name) override;
    void SetItemKinds(int item, int32_t kinds) override;
    int ItemCount() const override { return static_cast<int>(items_.size()); }
    QTreeWidgetItem* Item(int handle) const;
    int HandleOf(QTreeWidgetItem* item) const;
    void Clear();

  private:
    std::vector<QTreeWidgetItem*> items_;  // handle - 1
};

}  // namespace tavrilo
