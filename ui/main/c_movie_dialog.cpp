#include "ui/main/c_movie_dialog.h"

#include <QPainter>

#include "widgets/ui_fonts.h"
#include "widgets/ui_text.h"

namespace tavrilo {

CMovieDialog::CMovieDialog(QWidget* owner) : CSkinDialog(owner, Qt::Tool) {
    setWindowTitle(UiText(151));  // "マップ"
    resize(390, 429);
}

void CMovieDialog::ShowAtRemembered() {
    setGeometry(remembered_);
    show();
    shownOnce_ = true;
}

void CMovieDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintTitleStrip(p, width(), windowTitle(), UiFonts::ForDevice(*this).f10);
    p.setPen(QColor(207, 207, 207));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CMovieDialog::moveEvent(QMoveEvent* e) {
    if (isVisible()) {
        remembered_ = geometry();
    }
    CSkinDialog::moveEvent(e);
}

}  // namespace tavrilo
