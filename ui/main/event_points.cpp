// The recording's event points: where the G-sensor classes that are on the map mark an event,
// and the jumps to the previous and the next one that the G-sensor graph's clicks ask for.

#include <algorithm>
#include <mutex>

#include "engine/track_access.h"
#include "map/map_data.h"
#include "ui/main/c_quovel_dlg.h"
#include "views/c_g_sensor_dlg.h"

namespace tavrilo {

void CquovelDlg::BuildEventPoints() {
    std::lock_guard lock(eventMutex_);
    events_.clear();
    engine::ReadTrack(ctx_, [&](const TrackReader& track) {
        // With fewer frames than samples the graph runs per sample; its events are then found
        // per sample and placed at the samples' frames.
        const bool perSample = track.FrameIndex.size() < track.GSamples.size();
        events_ = CollectEvents(track.GSamples, perSample ? nullptr : &track.FrameIndex,
                                graph_->gate(), graph_->classes().onMap);
        if (perSample) {
            for (EventPoint& e : events_) {
                e.index = track.GSamples[static_cast<size_t>(e.index)].Frame;
            }
        }
    });
}

void CquovelDlg::SendTrackToMap() {
    if (currentIndex_ < 0 || !flow_.published || !mapWrap_->ResetTrack(currentIndex_)) {
        return;
    }
    QStringList markers;
    {
        std::lock_guard lock(eventMutex_);
        engine::ReadTrack(ctx_, [&](const TrackReader& track) {
            markers = CrashPosScripts(events_, track, graph_->classes().onMap, currentIndex_);
        });
    }
    for (const QString& script : markers) {
        mapWrap_->ExecuteScript(script);
    }
}

void CquovelDlg::JumpToEvent(bool next) {
    if (ctx_.MovieLoaded == 0 || !flow_.published || Ending()) {
        return;
    }
    int target = -1;
    {
        std::lock_guard lock(eventMutex_);
        const auto& enabled = graph_->classes().enabled;
        const int frames = static_cast<int>(ops_.GetFrameCount(&ctx_));
        // The nearest enabled point beyond `from` in the jump's direction, or -1.
        auto nearest = [&](int from) {
            int found = -1;
            for (const EventPoint& e : events_) {
                if (enabled[static_cast<size_t>(e.cls)] == 0) {
                    continue;
                }
                if (next ? e.index > from && (found < 0 || e.index < found)
                         : e.index < from && (found < 0 || e.index > found)) {
                    found = e.index;
                }
            }
            return found;
        };
        target = nearest(graph_->cursor());
        if (target < 0) {
            target = nearest(next ? -1 : frames + 1);  // round to the other end
        }
    }
    if (target < 0) {
        return;
    }
    SeekTo(target);
    if (ctx_.PlayState == MovieState::kStopped) {
        ops_.Pause(&ctx_);
    }
    UpdateButtons();
}

}  // namespace tavrilo
