#include "ui/main/c_controller_dlg.h"

#include <QPainter>
#include <chrono>

#include "widgets/app_message.h"
#include "widgets/c_resource_image.h"
#include "widgets/c_skin_button.h"
#include "widgets/ui_fonts.h"
#include "widgets/ui_text.h"

namespace tavrilo {
namespace {

struct PadButton {
    int id;
    int image;
    const char* tooltip;
};
constexpr std::array<PadButton, 5> kButtons = {{{kPadUp, 360, "上"},
                                                {kPadLeft, 362, "左"},
                                                {kPadRight, 363, "右"},
                                                {kPadDown, 361, "下"},
                                                {kPadReset, 364, "リセット"}}};
constexpr auto kStepPause = std::chrono::milliseconds(30);

}  // namespace

QPoint PadTurn(int id) {
    switch (id) {
        case kPadUp:
            return {0, 30};
        case kPadLeft:
            return {30, 0};
        case kPadRight:
            return {-30, 0};
        case kPadDown:
            return {0, -30};
        default:
            return {0, 0};
    }
}

CControllerDlg::CControllerDlg(ViewTarget& view, std::function<int()> viewHeight,
                               std::function<void()> resetView, QWidget* parent)
    : QWidget(parent),
      view_(view),
      viewHeight_(std::move(viewHeight)),
      resetView_(std::move(resetView)) {
    setFont(UiFonts::ForDevice(*this).f9);
    for (size_t i = 0; i < kButtons.size(); ++i) {
        auto* b = new CSkinButton(QSize(32, 32), kButtons[i].id, this);
        b->SetImageStrip(kButtons[i].image);
        b->SetPadMode(true);
        b->setToolTip(QString::fromUtf8(kButtons[i].tooltip));
        b->setEnabled(false);
        buttons_[i] = b;
    }
    worker_ = std::thread([this] { Work(); });
}

CControllerDlg::~CControllerDlg() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    held_ = 0;
    wake_.notify_all();
    worker_.join();
}

CSkinButton* CControllerDlg::button(int id) const {
    for (size_t i = 0; i < kButtons.size(); ++i) {
        if (kButtons[i].id == id) {
            return buttons_[i];
        }
    }
    return nullptr;
}

void CControllerDlg::SetButtonsEnabled(const std::array<bool, 5>& on) {
    for (size_t i = 0; i < kButtons.size(); ++i) {
        buttons_[i]->setEnabled(on[i]);
        if (!on[i] && held_ == kButtons[i].id) {
            Stop();
        }
    }
}

void CControllerDlg::DisableAll() {
    for (CSkinButton* b : buttons_) {
        b->setEnabled(false);
    }
    Stop();
}

void CControllerDlg::Stop() {
    held_ = 0;
}

bool CControllerDlg::event(QEvent* e) {
    const AppMessage* m = AsAppMessage(e);
    if (m == nullptr) {
        return QWidget::event(e);
    }
    switch (m->message()) {
        case UWM_PAD_PRESS:
            Press(static_cast<int>(m->lParam));
            return true;
        case UWM_PAD_RELEASE:
            Release();
            return true;
        default:
            return QWidget::event(e);
    }
}

void CControllerDlg::Press(int id) {
    const CSkinButton* b = button(id);
    if (b == nullptr || !b->isEnabled()) {
        return;
    }
    if (id == kPadReset) {
        // One reset per press, at once: a quick click must not race its own release.
        held_ = 0;
        view_.CommitDrag();
        resetView_();
        view_.CommitDrag();
        return;
    }
    if (held_ == 0) {
        view_.CommitDrag();
    }
    held_ = id;
    wake_.notify_all();
}

void CControllerDlg::Release() {
    held_ = 0;
    view_.CommitDrag();
}

void CControllerDlg::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || held_ != 0; });
        if (quit_) {
            return;
        }
        const int id = held_.load();
        lock.unlock();
        if (id != kPadReset && view_.Ready()) {
            const QPoint turn = PadTurn(id);
            ViewDrag(moment_, std::max(viewHeight_(), 1), view_, true, turn.x(), turn.y(), zoom_);
            view_.CommitDrag();
            ++steps_;
            std::this_thread::sleep_for(kStepPause);
        }
        lock.lock();
    }
}

void CControllerDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPixmap& plate = CResourceImage::Pixmap(366);
    if (!plate.isNull()) {
        p.drawPixmap(rect(), plate);
    } else {
        p.fillRect(rect(), QColor(0x2b, 0x31, 0x39));
    }
}

void CControllerDlg::resizeEvent(QResizeEvent*) {
    const int w = width(), h = height();
    const std::array<QPoint, 5> at = {QPoint((w - 32) / 2, ((h + 32) / -2 + h - 32) / 2),
                                      QPoint((w - (w + 12) / 2 - 32) / 2, (h - 32) / 2),
                                      QPoint((w + (w + 12) / 2 - 32) / 2, (h - 32) / 2),
                                      QPoint((w - 32) / 2, ((h + 32) / 2 + h - 32) / 2),
                                      QPoint((w - 32) / 2, (h - 32) / 2)};
    for (size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->setGeometry(QRect(at[i], QSize(32, 32)));
    }
}

}  // namespace tavrilo
