#include "widgets/c_skin_dialog.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "widgets/c_skin_button.h"

namespace tavrilo {

CSkinDialog::CSkinDialog(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags | Qt::FramelessWindowHint) {}

CSkinButton* CSkinDialog::AddCloseButton(int commandId) {
    closeButton_ = new CSkinButton(QSize(13, 12), commandId, this);
    closeButton_->SetImageStrip(352);
    closeButton_->move(width() - 20, 4);
    connect(closeButton_, &CSkinButton::clicked, this,
            [this, commandId] { OnCloseButton(commandId); });
    return closeButton_;
}

void CSkinDialog::OnCloseButton(int) {
    reject();
}

void CSkinDialog::CentreOn(const QScreen* screen) {
    if (screen != nullptr) {
        move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
    }
}

void CSkinDialog::PaintPlainBackground(QPainter& p) const {
    p.fillRect(rect(), QColor(0xf0, 0xf0, 0xf0));
    PaintTitleStrip(p, width(), windowTitle(), font());
}

void CSkinDialog::PaintTitleStrip(QPainter& p, int width, const QString& caption,
                                  const QFont& font) {
    p.fillRect(QRect(0, 0, width, 20), QColor(128, 128, 128));
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRect(QPoint(5, 0), QPoint(200, 100)), Qt::AlignLeft | Qt::AlignTop, caption);
}

void CSkinDialog::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && e->position().y() < 20) {
        moving_ = true;
        grabOffset_ = e->position().toPoint();
    }
    QDialog::mousePressEvent(e);
}

void CSkinDialog::mouseMoveEvent(QMouseEvent* e) {
    if (moving_) {
        move(e->globalPosition().toPoint() - grabOffset_);
    }
    QDialog::mouseMoveEvent(e);
}

void CSkinDialog::mouseReleaseEvent(QMouseEvent* e) {
    moving_ = false;
    QDialog::mouseReleaseEvent(e);
}

void CSkinDialog::resizeEvent(QResizeEvent* e) {
    if (closeButton_ != nullptr) {
        closeButton_->move(width() - 20, 4);
    }
    QDialog::resizeEvent(e);
}

}  // namespace tavrilo
