#include "widgets/c_skin_progress_bar_ctrl.h"

#include <QPainter>
#include <cmath>

#include "widgets/ui_fonts.h"

namespace tavrilo {

int ProgressDoneWidth(int width, int minimum, int maximum, int position) {
    if (maximum - minimum < 1) {
        return 0;
    }
    const double f = static_cast<double>(position) / (maximum - minimum);
    return static_cast<int>(std::trunc(width * f));
}

CSkinProgressBarCtrl::CSkinProgressBarCtrl(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("progress bar"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CSkinProgressBarCtrl::SetRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
    update();
}

void CSkinProgressBarCtrl::SetPos(int position) {
    position_ = position;
    update();
}

void CSkinProgressBarCtrl::paintEvent(QPaintEvent*) {
    constexpr int kHeight = 22;
    const int w = width();
    const int done = ProgressDoneWidth(w, minimum_, maximum_, position_);
    QPainter p(this);
    const QColor blue(0, 0, 255);
    p.fillRect(QRect(0, 0, done, kHeight), blue);
    p.fillRect(QRect(done, 0, w - done, kHeight), Qt::white);
    p.setFont(UiFonts::ForDevice(*this).f10);
    const QRect box(w / 2 - 50, 0, 100, kHeight);
    const QString text = QString::asprintf("%d %%", position_);
    p.setClipRect(QRect(0, 0, done, kHeight));
    p.setPen(Qt::white);
    p.drawText(box, Qt::AlignCenter, text);
    p.setClipRect(QRect(done, 0, w - done, kHeight));
    p.setPen(blue);
    p.drawText(box, Qt::AlignCenter, text);
}

}  // namespace tavrilo
