#include "files/c_source_open_dlg.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include "widgets/c_skin_button.h"
#include "widgets/ui_fonts.h"
#include "widgets/ui_text.h"

namespace tavrilo {
namespace {

constexpr std::array<const char*, 3> kSelectTexts = {"SD", "FOLDER", "FILE"};

}  // namespace

QString PickFileWithDialog(QWidget* owner, const QString& start) {
    return QFileDialog::getOpenFileName(owner, QString(), start,
                                        QStringLiteral("Movie Files(*.mp4 *.MP4);;All Files(*)"));
}

CSourceOpenDlg::CSourceOpenDlg(const Settings& settings, const DriveSource& drives, QWidget* owner,
                               FolderPicker pickFolder, FilePicker pickFile)
    : CSkinDialog(owner),
      settings_(settings),
      pickFolder_(std::move(pickFolder)),
      pickFile_(std::move(pickFile)) {
    setWindowTitle(UiText(133));  // "参照先"
    setFixedSize(540, 250);
    setFont(UiFonts::ForDevice(*this).f10);
    const std::array<int, 3> labels = {134, 132, 131};  // "SDカード", "フォルダー", "ファイル"
    for (int i = 0; i < 3; ++i) {
        auto* r = new CSkinCheckButton(UiText(labels[static_cast<size_t>(i)]), 39000 + i, this);
        r->SetMarkImage(327);
        r->setGeometry(30, 50 + 50 * i, 120, 26);
        connect(r, &QAbstractButton::clicked, this, [this, i] { ChooseRow(i); });
        rows_[static_cast<size_t>(i)] = r;
    }
    driveList_ = new QComboBox(this);
    driveList_->setGeometry(150, 50, 300, 26);
    folder_ = new QLineEdit(this);
    folder_->setGeometry(150, 100, 300, 26);
    file_ = new QLineEdit(this);
    file_->setGeometry(150, 150, 300, 26);
    folderBrowse_ = new QPushButton(QStringLiteral("..."), this);
    folderBrowse_->setGeometry(470, 100, 40, 26);
    fileBrowse_ = new QPushButton(QStringLiteral("..."), this);
    fileBrowse_->setGeometry(470, 150, 40, 26);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(410, 200, 100, 26);
    AddCloseButton(2);

    // 1-3: the drives with the last one proposed, the stored texts, the stored row.
    std::vector<std::string> roots;
    const int proposed = EnumRemovableDrives(drives, &roots);
    for (const std::string& root : roots) {
        driveList_->addItem(QString::fromStdString(root));
    }
    driveList_->setCurrentIndex(proposed);
    folder_->setText(QString::fromStdString(settings_.ReadSetting("SOURCE", "FOLDER")));
    file_->setText(QString::fromStdString(settings_.ReadSetting("SOURCE", "FILE")));
    drive_ = settings_.ReadSetting("SOURCE", "SD");
    const std::string select = settings_.ReadSetting("SOURCE", "SELECT");
    ChooseRow(select == "FOLDER" ? 1 : select == "FILE" ? 2 : 0);

    connect(driveList_, &QComboBox::currentIndexChanged, this, [this](int) {
        drive_ = driveList_->currentText().toStdString();
        ChooseRow(0);
    });
    connect(folder_, &QLineEdit::textChanged, this, [this] { UpdateOk(); });
    connect(file_, &QLineEdit::textChanged, this, [this] { UpdateOk(); });
    connect(folderBrowse_, &QPushButton::clicked, this, [this] {
        const std::string chosen =
            BrowseFolderWithSetting(this, settings_, "SOURCE", "FOLDER", UiText(104), pickFolder_);
        if (!chosen.empty()) {
            folder_->setText(QString::fromStdString(chosen));
            ChooseRow(1);
        }
    });
    connect(fileBrowse_, &QPushButton::clicked, this, [this] {
        const QString start = QCoreApplication::applicationDirPath() + QStringLiteral("/*.mp4");
        const QString chosen = pickFile_(this, start);
        if (!chosen.isEmpty()) {
            file_->setText(chosen);
            ChooseRow(2);
        }
    });
    connect(ok_, &QPushButton::clicked, this, [this] { OnOk(); });
}

void CSourceOpenDlg::ChooseRow(int index) {
    kind_ = index + 1;
    for (int i = 0; i < 3; ++i) {
        rows_[static_cast<size_t>(i)]->setChecked(i == index);
    }
    UpdateOk();
}

void CSourceOpenDlg::UpdateOk() {
    switch (kind_) {
        case 1:
            ok_->setEnabled(driveList_->currentIndex() >= 0);
            break;
        case 2:
            ok_->setEnabled(!folder_->text().isEmpty());
            break;
        case 3:
            ok_->setEnabled(!file_->text().isEmpty());
            break;
        default:
            ok_->setEnabled(false);
    }
}

std::string CSourceOpenDlg::ChosenText() const {
    switch (kind_) {
        case 1:
            return drive_;
        case 2:
            return folder_->text().toStdString();
        case 3:
            return file_->text().toStdString();
        default:
            return {};
    }
}

void CSourceOpenDlg::OnOk() {
    if (driveList_->currentIndex() >= 0) {
        drive_ = driveList_->currentText().toStdString();
    }
    if (kind_ >= 1 && kind_ <= 3) {
        settings_.WriteSetting("SOURCE", "SELECT", kSelectTexts[static_cast<size_t>(kind_ - 1)]);
        settings_.WriteSetting("SOURCE", kSelectTexts[static_cast<size_t>(kind_ - 1)],
                               ChosenText());
    }
    accept();
}

void CSourceOpenDlg::showEvent(QShowEvent* e) {
    CentreOn(screen());  // the monitor that holds it
    CSkinDialog::showEvent(e);
}

void CSourceOpenDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintPlainBackground(p);
}

}  // namespace tavrilo
