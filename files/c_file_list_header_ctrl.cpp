#include "files/c_file_list_header_ctrl.h"

#include <QPainter>

namespace tavrilo {

CFileListHeaderCtrl::CFileListHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
}

void CFileListHeaderCtrl::paintSection(QPainter* p, const QRect& r, int logicalIndex) const {
    // Grey bands from RGB(204) at the top to RGB(63) at the bottom.
    const int h = r.height();
    const int band = h >= 510 ? h / 255 : 1;
    for (int y = 0; y < h; y += band) {
        const int grey = (h - y) * 141 / h + 63;
        p->fillRect(QRect(r.left(), r.top() + y, r.width(), band), QColor(grey, grey, grey));
    }
    p->setPen(QColor(170, 170, 170));
    p->drawRect(r.adjusted(0, 0, -1, -1));
    p->setPen(Qt::white);
    const QString text = model()->headerData(logicalIndex, Qt::Horizontal).toString();
    p->drawText(r, Qt::AlignCenter | Qt::TextSingleLine,
                fontMetrics().elidedText(text, Qt::ElideRight, r.width() - 4));
}

void CFileListHeaderCtrl::paintEvent(QPaintEvent* e) {
    {
        QPainter p(viewport());
        p.fillRect(viewport()->rect(), QColor(204, 204, 204));
    }
    QHeaderView::paintEvent(e);
}

}  // namespace tavrilo
