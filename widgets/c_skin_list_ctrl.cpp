#include "widgets/c_skin_list_ctrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "widgets/c_resource_image.h"

namespace tavrilo {
namespace {

constexpr int kStateRole = Qt::UserRole + 17;
constexpr int kSecondColumnRole = Qt::UserRole + 18;

// Draws the item's state image (a frame of the check strip) left of its text.
class StateDelegate : public QStyledItemDelegate {
  public:
    explicit StateDelegate(CSkinListCtrl* list) : QStyledItemDelegate(list), list_(list) {}
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shifted = option;
        shifted.rect.adjust(18, 0, 0, 0);
        const QString second = index.data(kSecondColumnRole).toString();
        const int x = list_->secondColumnX();
        if (x > 0 && !second.isEmpty()) {
            // The first column ends where the second begins.
            QStyleOptionViewItem first = shifted;
            first.rect.setRight(option.rect.left() + x - 1);
            QStyledItemDelegate::paint(p, first, index);
            const QVariant foreground = index.data(Qt::ForegroundRole);
            p->save();
            p->setPen(foreground.isValid() ? foreground.value<QBrush>().color()
                                           : option.palette.color(QPalette::Text));
            const QRect cell(option.rect.left() + x, option.rect.top(), option.rect.width() - x,
                             option.rect.height());
            p->fillRect(cell, index.data(Qt::BackgroundRole).isValid()
                                  ? index.data(Qt::BackgroundRole).value<QBrush>()
                                  : QBrush(Qt::transparent));
            p->drawText(cell.adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, second);
            p->restore();
        } else {
            QStyledItemDelegate::paint(p, shifted, index);
        }
        const int state = index.data(kStateRole).toInt();
        // States 1, 2 and 3 are the strip's off, hover and checked frames.
        const QPixmap box = CResourceImage::Frame(217, std::clamp(state - 1, 0, 2), {12, 12});
        if (!box.isNull()) {
            p->drawPixmap(option.rect.left() + 3, option.rect.center().y() - 6, box);
        }
    }

  private:
    CSkinListCtrl* list_;
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

void CSkinListCtrl::SetSecondColumn(QListWidgetItem* item, const QString& text) {
    item->setData(kSecondColumnRole, text);
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
        const int state = ClickedStateImage(StateImage(item));
        SetStateImage(item, state);
        emit CheckChanged(item, state == 3);
    }
    QListWidget::mousePressEvent(e);
}

}  // namespace tavrilo
