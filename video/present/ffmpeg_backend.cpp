#include "video/present/ffmpeg_backend.h"

#include "video/input/ffmpeg_handles.h"

#include <QWindow>

#include "engine/engine.h"
#include "video/present/player.h"
#include "video/render/snapshot.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace tavrilo {
namespace {

class FfmpegPlayer : public PlayerBackend, public FfmpegPlayerAccess {
  public:
    FfmpegPlayer(MessageTarget* eventWindow, QWindow* window)
        : player_(eventWindow, window), window_(window) {}

    bool Open(const std::string& path) override {
        if (!player_.Open(path)) {
            return false;
        }
        int w = 0, h = 0;
        player_.NativeSize(&w, &h);
        // Until the picture is placed, it is drawn at the window's size (or the video's).
        if (window_ != nullptr && window_->width() > 0) {
            player_.presenter().SetTarget(window_->width(), window_->height());
        } else {
            player_.presenter().SetTarget(w, h);
        }
        return true;
    }
    uint32_t LastError() const override {
        // A video no decoder here takes is the platform's "invalid media type".
        return player_.openFailure() == VideoInputError::kNoDecoder ? 0x80040200u : 0x80004005u;
    }
    bool CanReverse() const override { return false; }
    void SetVolume(uint16_t volume) override { player_.SetVolume(volume); }
    bool SetRate(float rate, bool) override { return player_.SetRate(rate) == 0; }
    int Start() override { return player_.Start(); }
    bool SessionStarted() const override { return player_.state() == CPlayer::kStarted; }
    int Pause() override { return player_.Pause(); }
    int SeekTo(int64_t position) override { return player_.Seek(position); }
    std::optional<int64_t> ClockTime() override { return player_.ClockTime(); }
    bool HasVideoDisplay() const override {
        return player_.state() != CPlayer::kClosed && player_.state() != CPlayer::kClosing;
    }
    bool NativeVideoSize(int32_t* w, int32_t* h) const override {
        int iw = 0, ih = 0;
        if (!player_.NativeSize(&iw, &ih)) {
            return false;
        }
        *w = iw;
        *h = ih;
        return true;
    }
    bool Repaint() override {
        player_.presenter().Repaint();
        return true;
    }
    bool SetVideoRect(const PictureRect& r, bool) override {
        const int w = r.right - r.left;
        const int h = r.bottom - r.top;
        if (w <= 0 || h <= 0) {
            return false;
        }
        player_.presenter().SetTarget(w, h);
        player_.presenter().SetDestination(QRect(r.left, r.top, w, h));
        return true;
    }
    int DragView(float dx, float dy, float zoom) override {
        return player_.presenter().WithModel([&](CSphereModel& m) { return m.Drag(dx, dy, zoom); });
    }
    void CommitDrag() override {
        player_.presenter().WithModel([](CSphereModel& m) {
            m.CommitDrag();
            return 0;
        });
    }
    int FlipView() override {
        return player_.presenter().WithModel([](CSphereModel& m) { return m.Flip(); });
    }
    void SetViewType(int32_t mode) override {
        player_.presenter().WithModel([mode](CSphereModel& m) {
            m.SetViewMode(mode);
            return 0;
        });
    }
    void SetViewAspect(int32_t w, int32_t h) override {
        player_.presenter().WithModel([w, h](CSphereModel& m) {
            m.SetWindowAspect(w, h);
            return 0;
        });
    }
    void ResetView() override {
        player_.presenter().WithModel([](CSphereModel& m) {
            m.ResetView();
            return 0;
        });
    }
    bool SaveCurrentImage(const std::string& path, int32_t w, int32_t h) override {
        return SaveSnapshot(player_.presenter().GrabImage(w, h), path);
    }

    FramePresenter& presenter() override { return player_.presenter(); }
    PresentationClock& clock() override { return player_.clock(); }
    CPlayer& player() override { return player_; }
    void SetHardwareDecode(bool on) { player_.SetHardwareDecode(on); }

  private:
    CPlayer player_;
    QWindow* window_;
};

}  // namespace

std::unique_ptr<PlayerBackend> MakeFfmpegPlayer(EngineContext& ctx) {
    auto player =
        std::make_unique<FfmpegPlayer>(ctx.VideoWindow, dynamic_cast<QWindow*>(ctx.VideoWindow));
    player->SetHardwareDecode(ctx.HardwareDecode != 0);
    return player;
}

}  // namespace tavrilo
