#include "maintenance/c_update_dialog.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "map/net_request.h"
#include "widgets/c_skin_dialog.h"
#include "widgets/ui_fonts.h"
#include "widgets/ui_text.h"

namespace tavrilo {

bool OpenWebLink(const QUrl& url, const std::function<void(const QUrl&)>& open) {
    if (!IsWebAddress(url)) {
        return false;
    }
    open(url);
    return true;
}

CUpdateDialog::CUpdateDialog(const QString& message, std::function<void(const QUrl&)> open)
    : CSkinDialog(nullptr), open_(std::move(open)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(UiFonts::ForDevice(*this).f10);
    setWindowTitle(UiText(108));  // "ソフトの更新情報"
    setFixedSize(640, 360);
    text_ = new QLabel(this);
    text_->setGeometry(10, 30, width() - 20, height() - 80);
    text_->setTextFormat(Qt::RichText);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text_->setWordWrap(true);
    text_->setAutoFillBackground(true);
    text_->setStyleSheet(QStringLiteral("background: white; padding: 4px;"));
    // Links are opened here, never by the label itself.
    text_->setOpenExternalLinks(false);
    text_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    text_->setText(message);
    connect(text_, &QLabel::linkActivated, this,
            [this](const QString& link) { OpenWebLink(QUrl(link), open_); });
    close_ = new QPushButton(UiText(0), this);  // "閉じる"
    close_->setGeometry(width() - 110, height() - 40, 100, 30);
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
}

void CUpdateDialog::showEvent(QShowEvent* e) {
    CentreOn(screen());
    CSkinDialog::showEvent(e);
}

void CUpdateDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintPlainBackground(p);
}

}  // namespace tavrilo
