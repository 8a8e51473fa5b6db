#include "views/c_info_dlg.h"

#include <QPainter>

#include "views/info_text.h"
#include "widgets/app_message.h"
#include "widgets/c_resource_image.h"
#include "widgets/c_skin_button.h"
#include "widgets/ui_fonts.h"
#include "widgets/ui_text.h"

namespace tavrilo {
namespace {

// The axes' colours (Windows values 0x00FF00, 0x0000FF, 0xFF8080 as RGB).
const std::array<QColor, 3> kAxisColours = {QColor(0x00, 0xff, 0x00), QColor(0xff, 0x00, 0x00),
                                            QColor(0x80, 0x80, 0xff)};
const QColor kPlaceholder(0x5c, 0x63, 0x6d);
const QColor kText(0xe8, 0xed, 0xf2);

QFont Pixels(int pixels) {
    QFont f(UiFontFamilies());
    f.setPixelSize(pixels);
    return f;
}

// Text, or its placeholder in the placeholder colour.
void Field(QPainter& p, const QRect& box, const std::optional<QString>& text,
           const QString& placeholder, const QColor& colour, int flags) {
    p.setPen(text ? colour : kPlaceholder);
    p.drawText(box, flags, text.value_or(placeholder));
}

}  // namespace

CInfoDlg::CInfoDlg(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (int i = 0; i < 3; ++i) {
        auto* t = new CSkinCheckButton(UiText(65 + i), 38600 + i, this);
        t->setChecked(true);
        QPalette palette = t->palette();
        palette.setColor(QPalette::WindowText, kAxisColours[static_cast<size_t>(i)]);
        palette.setColor(QPalette::ButtonText, kAxisColours[static_cast<size_t>(i)]);
        t->setPalette(palette);
        connect(t, &QAbstractButton::toggled, this, [this, i](bool on) {
            PostAppMessage(parentWidget(), UWM_INFO_TOGGLE, i, on ? 1 : 0);
        });
        toggles_[static_cast<size_t>(i)] = t;
    }
    PlaceToggles();
}

bool CInfoDlg::toggleState(int index) const {
    return toggles_[static_cast<size_t>(index)]->isChecked();
}

void CInfoDlg::Reset() {
    GFrontBack = GLeftRight = GUpDown = -5.0;
    SpeedKmh = -1.0;
    FrameIndex = -1;
    StatusByte = 77;
    GpsValid = 0;
    update();
}

void CInfoDlg::SetLayout(int layout) {
    layout_ = layout;
    PlaceToggles();
    update();
}

void CInfoDlg::resizeEvent(QResizeEvent*) {
    PlaceToggles();
}

void CInfoDlg::PlaceToggles() {
    for (int i = 0; i < 3; ++i) {
        CSkinCheckButton* t = toggles_[static_cast<size_t>(i)];
        t->setVisible(layout_ == 0);
        t->setGeometry(width() - 150, 34 + i * 26, 140, 20);
    }
}

void CInfoDlg::DrawTime(QPainter& p, const QRect& box, int pixels) const {
    p.setFont(Pixels(pixels));
    Field(p, box, FrameDateText(StartTime, HasStartTime != 0, FrameIndex, FrameDuration),
          QStringLiteral("0000/00/00 00:00:00"), kText, Qt::AlignLeft | Qt::AlignVCenter);
}

void CInfoDlg::DrawSpeed(QPainter& p, const QRect& box, int pixels) const {
    p.setFont(Pixels(pixels));
    const QRect number(box.left(), box.top(), box.width() - pixels * 3, box.height());
    Field(p, number, SpeedText(GpsValid == 1, SpeedKmh), QStringLiteral("---"), kText,
          Qt::AlignRight | Qt::AlignVCenter);
    p.setPen(kText);
    p.setFont(Pixels(pixels * 2 / 3));
    p.drawText(QRect(number.right() + 4, box.top(), pixels * 3, box.height()),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("km/h"));
}

void CInfoDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.fillRect(rect(), QColor(0x1b, 0x1f, 0x24));
    p.setPen(QColor(0x3a, 0x41, 0x4b));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    const bool compact = layout_ == 0;
    const int big = compact ? 20 : 30;
    // The rate text at the top left, the date and time in its box, the speed beside it.
    p.setFont(Pixels(compact ? 12 : 16));
    p.setPen(QColor(0x00, 0xcc, 0xff));
    p.drawText(QRect(8, 4, 200, 18), Qt::AlignLeft | Qt::AlignVCenter, RateText);
    const QRect timeBox =
        compact ? QRect(width() - 153 - 230 - 170, 4, 230, 28) : QRect(10, 18, 420, 40);
    DrawTime(p, timeBox, compact ? 18 : 28);
    DrawSpeed(p, compact ? QRect(width() - 153 - 150, 4, 140, 28) : QRect(460, 18, 260, 40), big);
    // The fix indicator and the status picture.
    if (GpsValid == 1) {
        p.drawPixmap(QPoint(compact ? width() - 186 : width() - 90, compact ? 4 : 22),
                     CResourceImage::Pixmap(348));
    }
    const QPixmap& status = CResourceImage::Pixmap(StatusImage(StatusByte));
    if (!status.isNull()) {
        p.drawPixmap(QRect(8, height() - (compact ? 40 : 44), 60, 35), status);
    }
    // The G values: label, then value, in three columns of their colours.
    const double columnScale = compact ? 1.1538 : 1.0;
    const int column = static_cast<int>(compact ? 110 * columnScale : 180);
    const std::array<double, 3> values = {GFrontBack, GLeftRight, GUpDown};
    for (int i = 0; i < 3; ++i) {
        const int x = 80 + i * column;
        const QColor colour = kAxisColours[static_cast<size_t>(i)];
        p.setPen(colour);
        p.setFont(Pixels(compact ? 12 : 16));
        p.drawText(QRect(x, compact ? 44 : 58, column, 22), Qt::AlignLeft | Qt::AlignTop,
                   UiText(65 + i));
        p.setFont(Pixels(big));
        Field(p, QRect(x, compact ? 62 : 84, column, big + 8), GValueText(values[i]),
              QStringLiteral("-0.00G"), colour, Qt::AlignLeft | Qt::AlignVCenter);
    }
}

void CInfoDlg::DrawSpeakerPicture(QPainter& p, const QRect& mainClient) const {
    const QPixmap& speaker = CResourceImage::Pixmap(190);
    if (!speaker.isNull()) {
        p.drawPixmap(mainClient.right() + 1 - 155, mainClient.bottom() + 1 - 30, speaker);
    }
}

void CInfoDlg::DrawBottomStrip(QPainter& p, const QRect& mainClient) const {
    // From 34 to 4 pixels above the bottom, starting 445 pixels from the left.
    const int left = mainClient.left() + 445;
    const int top = mainClient.bottom() + 1 - 34;
    p.setPen(QColor(0x00, 0xcc, 0xff));
    p.setFont(Pixels(14));
    p.drawText(QRect(left, top, 150, 30), Qt::AlignLeft | Qt::AlignVCenter, RateText);
    DrawTime(p, QRect(left + 150, top, 250, 30), 16);
    DrawSpeed(p, QRect(left + 290 + 120, top, 220 - 120, 30), 16);
}

}  // namespace tavrilo
