#include "widgets/c_logo_dlg.h"

#include <QPainter>

#include "widgets/app_message.h"
#include "widgets/c_resource_image.h"

namespace tavrilo {

QRect LogoPictureRect(QSize window, QSize picture) {
    if (picture.isEmpty() || window.isEmpty()) {
        return {};
    }
    const int height = picture.height() * window.width() / picture.width();
    return {0, (window.height() - height) / 2, window.width(), height};
}

int ChooseLogoPicture(bool mapCheckActive, bool connected) {
    return mapCheckActive && !connected ? kLogoNoConnectionPicture : kLogoPicture;
}

CLogoDlg::CLogoDlg(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    hide();
}

void CLogoDlg::SetPicture(int number) {
    if (number != picture_) {
        picture_ = number;
        update();
    }
}

void CLogoDlg::RequestShow(bool show, bool deferred) {
    if (isVisible() == show && wanted_ == show) {
        return;
    }
    wanted_ = show;
    if (deferred) {
        PostAppMessage(this, UWM_LOGO_SHOW);
    } else {
        setVisible(show);
    }
}

bool CLogoDlg::event(QEvent* e) {
    if (MessageOf(e) == UWM_LOGO_SHOW) {
        setVisible(wanted_);
        return true;
    }
    return QWidget::event(e);
}

void CLogoDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const QPixmap& picture = CResourceImage::Pixmap(picture_);
    if (!picture.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(LogoPictureRect(size(), picture.size()), picture);
    }
    p.setPen(Qt::white);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace tavrilo
