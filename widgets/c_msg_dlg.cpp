#include "widgets/c_msg_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include "widgets/ui_fonts.h"

namespace tavrilo {

MsgDlgLayout MsgDlgLayout::For(QSize text, int kind) {
    MsgDlgLayout l;
    l.size = QSize(text.width() + 80, text.height() + 140);
    l.text = QRect(40, 30, text.width() + 40, text.height() + 30);
    const QRect buttons(l.size.width() - 115, l.size.height() - 45, 100, 30);
    if (kind == 1) {
        l.cancel = buttons;
        l.ok = buttons.translated(-115, 0);
    } else {
        l.ok = buttons;
    }
    return l;
}

QSize MeasureMessage(const QString& text, const QFont& plainFont) {
    const QFontMetrics fm(plainFont);
    int width = 0, height = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        width = std::max(width, fm.horizontalAdvance(line));
        height += fm.height();
    }
    return {width, height};
}

CMsgDlg::CMsgDlg(const QString& text, const QString& caption, int kind, QWidget* owner)
    : CSkinDialog(owner), caption_(caption), owner_(owner) {
    setWindowTitle(caption);
    // Measured on the plain font the dialog starts with, before it takes F10.
    const MsgDlgLayout layout = MsgDlgLayout::For(MeasureMessage(text, font()), kind);
    const UiFonts fonts = UiFonts::ForDevice(*this);
    setFont(fonts.f10);
    setFixedSize(layout.size);
    text_ = new QLabel(text, this);
    text_->setGeometry(layout.text);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text_->setAttribute(Qt::WA_TranslucentBackground);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("キャンセル"), this);
    ok_->setGeometry(layout.ok);
    cancel_->setGeometry(layout.cancel);
    cancel_->setVisible(kind == 1);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, [this] { done(kMsgOk); });
    connect(cancel_, &QPushButton::clicked, this, [this] { done(kMsgCancel); });
}

void CMsgDlg::showEvent(QShowEvent* e) {
    // Centred on the owner even when that puts part of the dialog off the screen.
    const QRect around =
        owner_ != nullptr ? owner_->frameGeometry() : QGuiApplication::primaryScreen()->geometry();
    move(around.center() - QPoint(width() / 2, height() / 2));
    CSkinDialog::showEvent(e);
}

void CMsgDlg::closeEvent(QCloseEvent* e) {
    setResult(kMsgCancel);
    CSkinDialog::closeEvent(e);
}

void CMsgDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(QRect(0, 0, width(), height() - 60), Qt::white);
    PaintTitleStrip(p, width(), caption_, font());
}

int CMsgBox::Show(const QString& text, const QString& caption, int kind) const {
    CMsgDlg dialog(text, caption, kind, owner_);
    const int result = dialog.exec();
    return result == kMsgOk ? kMsgOk : kMsgCancel;
}

}  // namespace tavrilo
