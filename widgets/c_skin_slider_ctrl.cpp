#include "widgets/c_skin_slider_ctrl.h"

#include <QMouseEvent>
#include <QPainter>

#include "widgets/app_message.h"
#include "widgets/c_resource_image.h"

namespace tavrilo {

CSkinSliderCtrl::CSkinSliderCtrl(int controlId, QWidget* parent)
    : QWidget(parent), controlId_(controlId) {
    setWindowTitle(QStringLiteral("movie slider"));
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void CSkinSliderCtrl::SetImages(const SliderImages& images) {
    images_ = images;
    update();
}

void CSkinSliderCtrl::SetRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
    update();
}

void CSkinSliderCtrl::SetPos(int position) {
    if (position == position_) {
        return;
    }
    position_ = position;
    // Painted with the window's next update: a painting of its own flushes the whole window,
    // which costs as much as a frame when the window holds the map's web view.
    update();
}

SliderGeometry CSkinSliderCtrl::geometryNow() const {
    return {width(), minimum_, maximum_, CResourceImage::Pixmap(images_.thumb).width()};
}

void CSkinSliderCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const SliderGeometry g = geometryNow();
    const double r = g.FilledFraction(position_);
    const QPixmap& filled = CResourceImage::Pixmap(images_.filled);
    const QPixmap& empty = CResourceImage::Pixmap(images_.empty);
    const int w = width();
    // The filled track's left share, then the empty track's left share behind it.
    if (!filled.isNull() && r > 0) {
        p.drawPixmap(QRectF(0, 0, w * r, filled.height()), filled,
                     QRectF(0, 0, filled.width() * r, filled.height()));
    }
    if (!empty.isNull() && r < 1) {
        p.drawPixmap(QRectF(w * r + 1, 0, w * (1 - r) + 1, empty.height()), empty,
                     QRectF(0, 0, empty.width() * (1 - r), empty.height()));
    }
    const QPixmap& thumb = CResourceImage::Pixmap(dragging_ ? images_.thumbDragged : images_.thumb);
    if (!thumb.isNull()) {
        p.drawPixmap(QRect(g.ThumbX(position_), 0, thumb.width() + 2, thumb.height()), thumb);
    }
}

void CSkinSliderCtrl::Report(uint32_t message) {
    PostAppMessage(parentWidget(), message, controlId_, pressedPosition_);
}

void CSkinSliderCtrl::mousePressEvent(QMouseEvent* e) {
    // The mouse stays with the slider until the release in every case (Qt's implicit grab).
    const int x = e->position().toPoint().x();
    const SliderGeometry g = geometryNow();
    if (!isEnabled() || e->button() != Qt::LeftButton || !g.InsidePressBounds(x)) {
        return;
    }
    pressedPosition_ = g.PositionAt(x);
    pressOutsideThumb_ = !g.HitsThumb(x, position_);
    dragging_ = true;
    Report(UWM_SLIDER_PRESS);
}

void CSkinSliderCtrl::mouseMoveEvent(QMouseEvent* e) {
    if (!dragging_) {
        return;
    }
    if (!isEnabled()) {
        dragging_ = false;
        return;
    }
    const int x = e->position().toPoint().x();
    const SliderGeometry g = geometryNow();
    if (g.InsidePressBounds(x) && g.steps() > 0) {
        pressedPosition_ = g.PositionAt(x);
        Report(UWM_SLIDER_TRACK);
    }
}

void CSkinSliderCtrl::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && isEnabled() && dragging_) {
        dragging_ = false;
        update();
        Report(UWM_SLIDER_RELEASE);
    }
}

}  // namespace tavrilo
