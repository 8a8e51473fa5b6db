#include "files/c_file_select_dlg.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <filesystem>

#include "widgets/c_skin_button.h"
#include "widgets/c_skin_list_ctrl.h"
#include "widgets/messages.h"
#include "widgets/ui_fonts.h"
#include "widgets/ui_text.h"

namespace tavrilo {
namespace {

constexpr int kHeadHeight = 20;

}  // namespace

CFileSelectDlg::CFileSelectDlg(SelectMode mode, QWidget* parent)
    : CSkinDialog(parent), mode_(mode) {
    const bool join = mode == SelectMode::kJoin;
    setWindowTitle(UiText(join ? 44 : 47));  // "動画連結" / "削除"
    setFixedSize(470, 500);
    setFont(UiFonts::ForDevice(*this).f10);
    const int w = width(), h = height();
    // The list keeps its bottom; its top gives way to the column heads drawn above it.
    list_ = new CSkinListCtrl(this);
    list_->setGeometry(10, 30 + kHeadHeight, w - 20, h - 140 - kHeadHeight);
    list_->SetSecondColumnX(220);
    total_ = new QLabel(this);
    total_->setGeometry(w - 160, h - 70, 140, 20);
    ok_ = new QPushButton(UiText(join ? 45 : 47), this);  // "次へ" / "削除"
    ok_->setGeometry(w - 130, h - 40, 120, 30);
    showAll_ = new CSkinCheckButton(UiText(56), 1004, this);  // "全てのファイルを表示"
    showAll_->setGeometry(QRect(QPoint(20, h - 70), QPoint(219, h - 51)));
    showAll_->setVisible(!join);
    selectAll_ = new CSkinCheckButton(UiText(55), 1005, this);  // "全選択"
    selectAll_->setGeometry(QRect(QPoint(20, h - 40), QPoint(219, h - 21)));
    connect(list_, &CSkinListCtrl::CheckChanged, this,
            [this](QListWidgetItem* item, bool checked) { OnCheckChanged(item, checked); });
    for (CSkinCheckButton* b : {showAll_, selectAll_}) {
        connect(b, &QAbstractButton::clicked, this, [this] { Fill(); });
    }
    connect(ok_, &QPushButton::clicked, this, [this] { OnOk(); });
    Fill();
}

void CFileSelectDlg::SetShownList(const RecordingList& list) {
    bool complete = true;
    shown_ = CapSelection(list, &complete);
    if (!complete) {
        ShowMessage(this, Message::kSelectionOver1500);
    }
    Fill();
}

bool CFileSelectDlg::SetFullList(const RecordingList& list) {
    bool complete = true;
    full_ = CapSelection(list, &complete);
    Fill();
    return complete;
}

void CFileSelectDlg::Fill() {
    display_ = DisplayList(shown_, full_, showAll_->isChecked(), mode_);
    list_->clear();
    const bool all = selectAll_->isChecked();
    for (const RecordingEntry& e : display_) {
        QListWidgetItem* item = list_->AddItem(QString::fromStdString(e.Name));
        CSkinListCtrl::SetSecondColumn(item, QString::fromStdString(MegabytesText(e.FileSize)));
        if (all) {
            CSkinListCtrl::SetStateImage(item, 3);
        }
        if (mode_ == SelectMode::kJoin && e.Joined != 0) {
            // The recordings of an earlier join stand out.
            item->setForeground(QColor(255, 0, 255));
            item->setBackground(QColor(255, 255, 0));
        }
    }
    Refresh();
}

std::vector<bool> CFileSelectDlg::Checked() const {
    std::vector<bool> checked(static_cast<size_t>(list_->count()));
    for (int i = 0; i < list_->count(); ++i) {
        checked[static_cast<size_t>(i)] = CSkinListCtrl::StateImage(list_->item(i)) == 3;
    }
    return checked;
}

void CFileSelectDlg::ClickRow(int row) {
    QListWidgetItem* item = list_->item(row);
    if (item == nullptr) {
        return;
    }
    const bool checked = CSkinListCtrl::StateImage(item) != 3;
    CSkinListCtrl::SetStateImage(item, checked ? 3 : 1);
    OnCheckChanged(item, checked);
}

void CFileSelectDlg::OnCheckChanged(QListWidgetItem* item, bool checked) {
    if (mode_ == SelectMode::kJoin) {
        std::vector<bool> rows = Checked();
        KeepRunContiguous(rows, list_->row(item), checked);
        for (int i = 0; i < list_->count(); ++i) {
            if ((CSkinListCtrl::StateImage(list_->item(i)) == 3) != rows[static_cast<size_t>(i)]) {
                CSkinListCtrl::SetStateImage(list_->item(i), rows[static_cast<size_t>(i)] ? 3 : 1);
            }
        }
        list_->viewport()->update();
    }
    Refresh();
}

void CFileSelectDlg::Refresh() {
    totalNow_ = TotalOf(display_, Checked(), mode_);
    total_->setText(QString::fromStdString(MegabytesText(totalNow_.bytes)));
    total_->setStyleSheet(totalNow_.sizeOver ? QStringLiteral("color: rgb(255, 0, 0);")
                                             : QStringLiteral("color: black;"));
    ok_->setEnabled(totalNow_.okEnabled);
}

void CFileSelectDlg::OnOk() {
    if (totalNow_.sizeOver) {
        ShowMessage(this, Message::kSelectionTooLarge);
        return;
    }
    if (totalNow_.tooMany) {
        ShowMessage(this, Message::kSelectionTooMany);
        return;
    }
    result_.clear();
    const std::vector<bool> checked = Checked();
    for (size_t i = 0; i < display_.size(); ++i) {
        if (checked[i]) {
            result_.push_back(display_[i]);
        }
    }
    accept();
}

void CFileSelectDlg::showEvent(QShowEvent* e) {
    CentreOn(screen());
    CSkinDialog::showEvent(e);
}

void CFileSelectDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintPlainBackground(p);
    p.setPen(Qt::black);
    // The column heads above the list: "ファイル名" and "ファイルサイズ".
    const QRect heads(10, 30, width() - 20, kHeadHeight);
    p.fillRect(heads, QColor(0xcc, 0xcc, 0xcc));
    p.drawText(heads.adjusted(18, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, UiText(50));
    p.drawText(heads.adjusted(224, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, UiText(51));
}

}  // namespace tavrilo
