// The position refresh: every 50 ms while a recording plays, the seek slider, the trip panel and
// the G-sensor graph's cursor follow the frame the engine is at, the end margin switching the
// controls off and on, and a pending seek holding the views until the engine gets there.

#include <algorithm>
#include <mutex>

#include "engine/track_access.h"
#include "ui/main/button_states.h"
#include "ui/main/c_quovel_dlg.h"
#include "views/c_g_sensor_dlg.h"
#include "views/c_info_dlg.h"
#include "widgets/c_skin_button.h"
#include "widgets/c_skin_slider_ctrl.h"

namespace tavrilo {

void CquovelDlg::OnPositionTick() {
    if (ctx_.Ready == 0) {
        return;
    }
    const MovieState state = ctx_.PlayState;
    if (mapWrap_->connected() != state_.mapConnected || map_->isVisible() != MapWanted()) {
        ApplyMapOrLogo();
    }
    if (state == MovieState::kStopped || state == MovieState::kPaused) {
        return;
    }
    if (state == MovieState::kPlaying) {
        const bool ending = Ending();
        if (ending != refresh_.ending) {
            refresh_.ending = ending;
            if (ending) {
                for (CSkinButton* b : bar_) {
                    b->setEnabled(false);
                }
            } else {
                UpdateButtons();
            }
        }
    }
    const int32_t position = ops_.GetPosition(&ctx_);
    if (position <= 0) {
        return;
    }
    // After a seek the engine may still report frames from before it: keep the requested frame
    // shown until the position comes within the tolerance of the target.
    const int64_t frames = ops_.GetFrameCount(&ctx_);
    const int64_t tolerance = frames / 1000 + 30;
    const int64_t target = refresh_.seekTarget;
    if (target < 0 || (position > target - tolerance && position < target + tolerance)) {
        RefreshViewsAt(position);
        refresh_.seekTarget = -1;
    }
}

void CquovelDlg::SeekTo(int64_t frame) {
    if (ctx_.MovieLoaded == 0 || Ending()) {
        return;
    }
    const int64_t frames = ops_.GetFrameCount(&ctx_);
    frame = std::clamp<int64_t>(frame, 0, std::max<int64_t>(frames - 1, 0));
    // The engine stops short of the end by the margin of the rate, so that the end of the
    // recording is still played through and handled; the views show the frame asked for.
    const int64_t target =
        std::max<int64_t>(std::min<int64_t>(frame, frames - MarginFramesAtRate(ctx_.RateCode)), 0);
    if (ctx_.PlayState == MovieState::kPlaying) {
        ops_.Pause(&ctx_);
        ops_.SeekFrame(&ctx_, target);
        RefreshViewsAt(frame);
        ops_.Play(&ctx_);
        return;
    }
    ops_.SeekFrameAlias(&ctx_, target);
    RefreshViewsAt(frame);
    UpdateButtons();
    mapWrap_->ExecuteScript(QStringLiteral("orbitgrplist.MoveMarker()"));
}

void CquovelDlg::RefreshViewsAt(int64_t frame) {
    const int64_t frames = ops_.GetFrameCount(&ctx_);
    frame = std::clamp<int64_t>(frame, 0, std::max<int64_t>(frames - 1, 0));
    frame = std::max<int64_t>(frame, seek_->minimum());
    refresh_.seekTarget = frame;
    engine::ReadTrack(ctx_, [&](const TrackReader& track) {
        const GSample* g = nullptr;
        if (frame < static_cast<int64_t>(track.FrameIndex.size())) {
            const int32_t index = track.FrameIndex[static_cast<size_t>(frame)];
            if (index >= 0 && index < static_cast<int32_t>(track.GSamples.size())) {
                g = &track.GSamples[static_cast<size_t>(index)];
            }
        }
        if (g != nullptr) {
            info_->GFrontBack = g->Gx;
            info_->GLeftRight = g->Gy;
            info_->GUpDown = g->Gz;
            info_->StatusByte = g->Status;
            const GpsSample* fix = nullptr;
            if (g->GpsLink >= 0 && g->GpsLink < static_cast<int32_t>(track.GpsSamples.size())) {
                fix = &track.GpsSamples[static_cast<size_t>(g->GpsLink)];
            }
            info_->GpsValid = fix != nullptr ? fix->Valid : 0;
            info_->SpeedKmh = fix != nullptr && fix->Valid != 0 ? fix->Speed : -1.0;
            if (fix != nullptr && fix->Valid != 0) {
                if (!flow_.opening) {
                    state_.hasFix = true;
                }
                mapWrap_->SetPosition(fix->Latitude, fix->Longitude);
            }
        } else {
            info_->GFrontBack = info_->GLeftRight = info_->GUpDown = -5.0;
            info_->GpsValid = 0;
        }
    });
    mapWrap_->SetPositionIndex(static_cast<int>(frame));
    info_->FrameIndex = static_cast<int32_t>(frame);
    if (!state_.fullScreen) {
        info_->update();
    }
    seek_->SetPos(static_cast<int>(frame));
    graph_->SetCursor(static_cast<int>(frame), seek_->maximum() - seek_->minimum());
}

}  // namespace tavrilo
