#include "ui/main/panel_placeholder.h"

#include <QPainter>

namespace tavrilo {

PanelPlaceholder::PanelPlaceholder(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
}

void PanelPlaceholder::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x1f, 0x24, 0x2a));
    p.setPen(QColor(0x3a, 0x41, 0x4b));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setPen(QColor(0x5c, 0x63, 0x6d));
    p.drawText(rect(), Qt::AlignCenter, objectName());
}

}  // namespace tavrilo
