#include "ui/main/c_movie_dialog.h"

#include <QPainter>

#include "app/ui_fonts.h"
#include "texts/ui_texts.h"

namespace tavrilo {

CMovieDialog::CMovieDialog(QWidget* owner) : CSkinDialog(owner, Qt::Tool) {
    const std::string_view caption = GetUiText(151);  // "マップ"
    setWindowTitle(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
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
