#include "ui/skin/c_skin_list_ctrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "ui/skin/c_resource_image.h"

namespace tavrilo {
namespace {

constexpr int kStateRole = Qt::UserRole + 17;

// Draws the item's state image (a frame of the check strip) left of its text.
class StateDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shifted = option;
        shifted.rect.adjust(18, 0, 0, 0);
        QStyledItemDelegate::paint(p, shifted, index);
        const int state = index.data(kStateRole).toInt();
        // States 1, 2 and 3 are the strip's off, hover and checked frames.
        const QPixmap box = CResourceImage::Frame(217, std::clamp(state - 1, 0, 2), {12, 12});
        if (!box.isNull()) {
            p->drawPixmap(option.rect.left() + 3, option.rect.center().y() - 6, box);
        }
    }
};

}  // namespace

int ClickedStateImage(int state) {
    return state == 1 || state == 2 ? 3 : 1;
}

CSkinListCtrl::CSkinListCtrl(QWidget* parent) : QListWidget(parent) {
    setMouseTracking(true);
    setItemDelegate(new StateDelegate(this));
}

QListWidgetItem* CSkinListCtrl::AddItem(const QString& text) {
    auto* item = new QListWidgetItem(text, this);
    SetStateImage(item, 1);
    return item;
}

int CSkinListCtrl::StateImage(const QListWidgetItem* item) {
    return item->data(kStateRole).toInt();
}

void CSkinListCtrl::SetStateImage(QListWidgetItem* item, int state) {
    item->setData(kStateRole, state);
}

void CSkinListCtrl::SetHot(QListWidgetItem* item) {
    if (item == hot_) {
        return;
    }
    if (hot_ != nullptr && StateImage(hot_) == 2) {
        SetStateImage(hot_, 1);
    }
    if (item != nullptr && StateImage(item) == 1) {
        SetStateImage(item, 2);
    }
    hot_ = item;
}

void CSkinListCtrl::mouseMoveEvent(QMouseEvent* e) {
    SetHot(itemAt(e->position().toPoint()));
    QListWidget::mouseMoveEvent(e);
}

void CSkinListCtrl::leaveEvent(QEvent* e) {
    SetHot(nullptr);
    QListWidget::leaveEvent(e);
}

void CSkinListCtrl::mousePressEvent(QMouseEvent* e) {
    if (QListWidgetItem* item = itemAt(e->position().toPoint())) {
        SetStateImage(item, ClickedStateImage(StateImage(item)));
    }
    QListWidget::mousePressEvent(e);
}

}  // namespace tavrilo
