#include "maintenance/c_setting_dlg.h"

#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QStyle>

#include "widgets/app_message.h"
#include "widgets/c_skin_button.h"
#include "widgets/ui_fonts.h"
#include "widgets/ui_text.h"

namespace tavrilo {

QString VersionText(const char* buildDate) {
    const QString date = QString::fromLatin1(buildDate).simplified();
    const QString year = date.section(QLatin1Char(' '), -1);
    return QStringLiteral("version 1.0.1\nCopyright %1 the Tavrilo developers").arg(year);
}

CSettingDlg::CSettingDlg(QWidget* owner) : CSkinDialog(owner), owner_(owner) {
    setFont(UiFonts::ForDevice(*this).f10);
    setWindowTitle(UiText(124));  // "設定"
    setFixedSize(460, 315);
    const int d = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    display_ = new QGroupBox(UiText(129), this);  // "加速度グラフ/マップアイコン表示設定"
    display_->setGeometry(10, 30, 440 - 2 * d, 160);
    about_ = new QGroupBox(UiText(128), this);  // "バージョン情報"
    about_->setGeometry(10, 190, 440 - 2 * d, 110);
    version_ = new QLabel(VersionText(__DATE__), this);
    version_->setGeometry(QRect(QPoint(20, 210), QPoint(440 - 2 * d - 1, 269)));
    version_->setTextFormat(Qt::PlainText);
    switch_ = new CSkinCheckButton(UiText(126), kParkingImpactSwitch, this);  // "駐車監視衝撃"
    switch_->setGeometry(QRect(QPoint(40, 60), QPoint(199, 119)));
    switch_->setChecked(true);
    connect(switch_, &QAbstractButton::clicked, this,
            [this](bool on) { PostAppMessage(owner_, UWM_SETTING_CHANGED, 0, on ? 1 : 0); });
    AddCloseButton(19);
    hide();
}

void CSettingDlg::OnCloseButton(int) {
    hide();
}

void CSettingDlg::showEvent(QShowEvent* e) {
    CentreOn(owner_ != nullptr ? owner_->screen() : screen());  // the main window's monitor
    CSkinDialog::showEvent(e);
}

void CSettingDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintPlainBackground(p);
}

}  // namespace tavrilo
