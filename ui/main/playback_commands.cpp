// The playback commands of the bar: to the start, the previous and next recording, play or
// pause, slower and faster, the play button's two faces, and the keys that stand for them.

#include <QKeyEvent>
#include <QThread>
#include <algorithm>
#include <array>

#include "ui/main/button_states.h"
#include "ui/main/c_controller_dlg.h"
#include "ui/main/c_quovel_dlg.h"
#include "widgets/c_skin_button.h"
#include "widgets/ui_text.h"

namespace tavrilo {

namespace {

constexpr int kPlayImage = 148;
constexpr int kPauseImage = 147;
constexpr int kPlayTooltip = 12;   // "再生"
constexpr int kPauseTooltip = 11;  // "一時停止"

// The keys that stand for bar buttons.
struct KeySlot {
    int key;
    int slot;
};
constexpr std::array<KeySlot, 6> kKeySlots = {{{Qt::Key_Space, 2},
                                               {Qt::Key_Home, 0},
                                               {Qt::Key_Plus, 4},
                                               {Qt::Key_Minus, 3},
                                               {Qt::Key_PageUp, 1},
                                               {Qt::Key_PageDown, 5}}};

}  // namespace

bool CquovelDlg::Ending() const {
    MarginContext c;
    c.loaded = ctx_.MovieLoaded != 0;
    c.playState = ctx_.PlayState;
    c.rateCode = ctx_.RateCode;
    auto* ctx = const_cast<EngineContext*>(&ctx_);
    c.frameCount = ops_.GetFrameCount(ctx);
    c.position = ops_.GetPosition(ctx);
    c.frameDurationMs = ops_.GetFrameDuration(ctx);
    return WithinEndMargin(c);
}

void CquovelDlg::SetPlayButton(bool playing) {
    if (state_.fullScreen) {
        return;
    }
    CSkinButton* b = bar_[2];
    b->SetImageStrip(playing ? kPauseImage : kPlayImage);
    b->setToolTip(UiText(playing ? kPauseTooltip : kPlayTooltip));
}

void CquovelDlg::StopPlayback() {
    if (ctx_.Ready == 0 ||
        (ctx_.PlayState != MovieState::kPlaying && ctx_.PlayState != MovieState::kPaused)) {
        return;
    }
    std::lock_guard lock(listMutex_);
    flow_.seekInput = true;
    const bool stopped = ops_.Stop(&ctx_) == 1;
    if (!flow_.insideEnd) {
        SetPlayButton(!stopped);
        UpdateButtons();
    }
    mapWrap_->SetPlayStatus(2);
}

void CquovelDlg::GoToStart() {
    if (Ending()) {
        return;
    }
    ops_.SetRate(&ctx_, 1);
    ops_.SetVolume(&ctx_, state_.volume);
    UpdateRateLabel();
    ops_.SeekFrameAlias(&ctx_, 0);
    RefreshViewsAt(0);
    StopPlayback();
    UpdateButtons();
}

void CquovelDlg::PlayOrPause() {
    if (ctx_.MovieLoaded == 0) {
        return;
    }
    state_.mapCheckActive = true;
    if (ctx_.PlayState == MovieState::kPlaying) {
        if (Ending()) {
            return;
        }
        // Back to the normal speed first: a pause at another rate resumes at the normal one.
        if (ctx_.RateCode != 1) {
            ops_.SetRate(&ctx_, 1);
            QThread::msleep(100);
        }
        ops_.Pause(&ctx_);
        ops_.Repaint(&ctx_);
        SetPlayButton(false);
        mapWrap_->SetPlayStatus(1);
        UpdateRateLabel();
    } else {
        ops_.SetVolume(&ctx_, state_.volume);
        flow_.ignoreEnds = false;
        bool started = false;
        if (ctx_.PlayState == MovieState::kStopped || ctx_.PlayState == MovieState::kPaused) {
            started = ops_.Play(&ctx_) == 1;
        }
        if (!started) {
            flow_.playRequested = true;  // the opening under way plays when it is done
        } else {
            mapWrap_->SetPlayStatus(0);
        }
        SetPlayButton(started);
    }
    UpdateButtons();
}

void CquovelDlg::StepRate(bool faster) {
    if (ctx_.Ready == 0 || Ending()) {
        return;
    }
    const int32_t code = engine::NextRateCode(&ctx_, faster ? 1 : 0);
    if (code != ctx_.RateCode) {
        ops_.SetRate(&ctx_, code);
        UpdateButtons();
        UpdateRateLabel();
    }
}

void CquovelDlg::PreviousRecording() {
    if (Ending()) {
        return;
    }
    ops_.Pause(&ctx_);
    StopPlayback();
    movie_->StopTimers();
    pad_->Stop();
    ops_.CommitDrag(&ctx_);
    std::lock_guard lock(listMutex_);
    if (currentIndex_ > 0) {
        AdvanceTo(currentIndex_ - 1, false);
    } else {
        // The first recording of the list starts again from its beginning.
        ops_.SetRate(&ctx_, 1);
        ops_.Stop(&ctx_);
        ops_.SeekFrameAlias(&ctx_, 0);
        RefreshViewsAt(0);
        ops_.Repaint(&ctx_);
        SetPlayButton(false);
        UpdateButtons();
    }
}

void CquovelDlg::NextRecording() {
    if (Ending()) {
        return;
    }
    ops_.Pause(&ctx_);
    StopPlayback();
    std::lock_guard lock(listMutex_);
    const int next = currentIndex_ + 1;
    if (next < static_cast<int>(files_->rows().size())) {
        AdvanceTo(next, true);
    }
}

void CquovelDlg::StepFrame(int delta) {
    if (ctx_.MovieLoaded == 0 || ctx_.PlayState == MovieState::kPlaying) {
        return;
    }
    const int64_t frames = ops_.GetFrameCount(&ctx_);
    const int64_t target = static_cast<int64_t>(std::max(ops_.GetPosition(&ctx_), 0)) + delta;
    if (target < 0 || target >= frames) {
        return;
    }
    ops_.SeekFrame(&ctx_, target);
    RefreshViewsAt(target);
    UpdateButtons();
}

void CquovelDlg::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Left || e->key() == Qt::Key_Right) {
        StepFrame(e->key() == Qt::Key_Left ? -1 : 1);
        e->accept();
        return;
    }
    // Each key does what its button does, and only while the button could be pressed.
    const auto key = std::find_if(kKeySlots.begin(), kKeySlots.end(),
                                  [e](const KeySlot& k) { return k.key == e->key(); });
    if (key == kKeySlots.end()) {
        QDialog::keyPressEvent(e);  // Escape and Enter reach the dialog, which ignores them
        return;
    }
    const int slot = key->slot;
    if (bar_[static_cast<size_t>(slot)]->isEnabled()) {
        OnCommand(kCommandBar + slot);
    }
    e->accept();
}

}  // namespace tavrilo
