#include "widgets/c_skin_button.h"

#include <QMouseEvent>
#include <QPainter>

#include "widgets/app_message.h"
#include "widgets/c_resource_image.h"

namespace tavrilo {

ButtonFrame ChooseButtonFrame(bool enabled, bool pressedOrCheckedOrHeld, bool hovered) {
    if (!enabled) {
        return ButtonFrame::kDisabled;
    }
    if (pressedOrCheckedOrHeld) {
        return ButtonFrame::kPressed;
    }
    return hovered ? ButtonFrame::kHover : ButtonFrame::kNormal;
}

CSkinButton::CSkinButton(QSize frameSize, int commandId, QWidget* parent)
    : QAbstractButton(parent), frameSize_(frameSize), commandId_(commandId) {
    setFixedSize(frameSize);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

void CSkinButton::SetImageStrip(int number) {
    updating_ = true;
    strip_ = number;
    updating_ = false;
    update();
}

void CSkinButton::SetHeld(bool held) {
    held_ = held;
    update();
}

ButtonFrame CSkinButton::shownFrame() const {
    // Hovering shows the hover frame unless the face is being replaced or held.
    const bool hover = hovered_ && !updating_ && !held_;
    return ChooseButtonFrame(isEnabled(), isDown() || isChecked() || held_, hover);
}

void CSkinButton::paintEvent(QPaintEvent*) {
    if (updating_) {
        return;
    }
    const QPixmap face = CResourceImage::Frame(strip_, static_cast<int>(shownFrame()), frameSize_);
    if (face.isNull()) {
        return;  // no strip: nothing to draw
    }
    QPainter(this).drawPixmap(0, 0, face);
}

void CSkinButton::enterEvent(QEnterEvent* e) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(e);
}

void CSkinButton::leaveEvent(QEvent* e) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(e);
}

void CSkinButton::mousePressEvent(QMouseEvent* e) {
    if (padMode_ && e->button() == Qt::LeftButton && !down_) {
        down_ = true;
        held_ = true;
        PostAppMessage(parentWidget(), UWM_PAD_PRESS, 0, commandId_);
    }
    QAbstractButton::mousePressEvent(e);
}

void CSkinButton::mouseReleaseEvent(QMouseEvent* e) {
    if (padMode_ && e->button() == Qt::LeftButton && down_) {
        down_ = false;
        held_ = false;
        PostAppMessage(parentWidget(), UWM_PAD_RELEASE, 0, commandId_);
    }
    QAbstractButton::mouseReleaseEvent(e);
}

CSkinCheckButton::CSkinCheckButton(const QString& text, int commandId, QWidget* parent)
    : QAbstractButton(parent), commandId_(commandId) {
    setText(text);
    setCheckable(true);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
}

QSize CSkinCheckButton::sizeHint() const {
    return {16 + fontMetrics().horizontalAdvance(text()) + 2, 20};
}

ButtonFrame CSkinCheckButton::shownFrame() const {
    return ChooseButtonFrame(isEnabled(), isDown() || isChecked(), hovered_);
}

void CSkinCheckButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (markImage_ != 0) {
        p.fillRect(Box(), Qt::white);
        p.setPen(isEnabled() ? QColor(0x60, 0x68, 0x72) : QColor(0xb0, 0xb0, 0xb0));
        p.drawRect(Box().adjusted(0, 0, -1, -1));
        if (isChecked()) {
            p.drawPixmap(Box().topLeft(), CResourceImage::Pixmap(markImage_));
        }
    } else {
        const QPixmap box =
            CResourceImage::Frame(217, static_cast<int>(shownFrame()), Box().size());
        if (!box.isNull()) {
            p.drawPixmap(Box().topLeft(), box);
        }
    }
    p.setFont(font());
    p.drawText(rect().adjusted(16, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text());
}

void CSkinCheckButton::mouseMoveEvent(QMouseEvent* e) {
    // Only the box itself reacts to the pointer.
    const bool inside = Box().contains(e->position().toPoint());
    if (inside != hovered_) {
        hovered_ = inside;
        update();
    }
    QAbstractButton::mouseMoveEvent(e);
}

void CSkinCheckButton::leaveEvent(QEvent* e) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(e);
}

}  // namespace tavrilo
