#include "files/c_folder_tree_ctrl.h"

#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "widgets/c_resource_image.h"

namespace tavrilo {
namespace {

// The tree's items: the memory-card picture at the left, the selection in cyan.
class TreeDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        p->fillRect(option.rect, selected ? QColor(0, 204, 255) : Qt::white);
        p->drawPixmap(option.rect.left(), option.rect.center().y() - 13,
                      CResourceImage::Pixmap(315));
        p->setPen(selected ? Qt::white : Qt::black);
        p->drawText(option.rect.adjusted(42, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                    index.data().toString());
        if (selected) {
            p->setPen(QPen(Qt::white, 1, Qt::DotLine));
            p->drawRect(option.rect.adjusted(0, 0, -1, -1));
        }
    }
    QSize sizeHint(const QStyleOptionViewItem& o, const QModelIndex& i) const override {
        return {QStyledItemDelegate::sizeHint(o, i).width() + 42, 28};
    }
};

}  // namespace

CFolderTreeCtrl::CFolderTreeCtrl(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setItemDelegate(new TreeDelegate(this));
    setIndentation(12);
}

int CFolderTreeCtrl::InsertItem(int parent, const std::string& name) {
    QTreeWidgetItem* item =
        parent == 0 ? new QTreeWidgetItem(this) : new QTreeWidgetItem(Item(parent));
    item->setText(0, QString::fromStdString(name));
    items_.push_back(item);
    return static_cast<int>(items_.size());
}

void CFolderTreeCtrl::SetItemKinds(int item, int32_t kinds) {
    Item(item)->setData(0, Qt::UserRole, kinds);
}

QTreeWidgetItem* CFolderTreeCtrl::Item(int handle) const {
    return handle > 0 && static_cast<size_t>(handle) <= items_.size()
               ? items_[static_cast<size_t>(handle - 1)]
               : nullptr;
}

int CFolderTreeCtrl::HandleOf(QTreeWidgetItem* item) const {
    const auto found = std::find(items_.begin(), items_.end(), item);
    return found == items_.end() ? 0 : static_cast<int>(found - items_.begin()) + 1;
}

void CFolderTreeCtrl::Clear() {
    clear();
    items_.clear();
}

}  // namespace tavrilo
