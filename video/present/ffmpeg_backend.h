#pragma once
// The engine's playback back-end on FFmpeg and OpenGL: the player, its presenter and the
// projection model, behind the engine's PlayerBackend interface.

#include <memory>
#include <optional>
#include <string>

#include "engine/player_backend.h"

namespace tavrilo {

class FramePresenter;
class PresentationClock;

// The FFmpeg back-end's presenter and clock, for tools and tests that look past the engine
// (statistics, the time of the last frame).
class CPlayer;

class FfmpegPlayerAccess {
  public:
    virtual ~FfmpegPlayerAccess() = default;
    virtual FramePresenter& presenter() = 0;
    virtual PresentationClock& clock() = 0;
    virtual CPlayer& player() = 0;
};

// Builds the back-end for the engine (its PlayerFactory). The video window is the context's
// VideoWindow when that is also a QWindow; otherwise the picture is drawn off screen only.
std::unique_ptr<PlayerBackend> MakeFfmpegPlayer(EngineContext& ctx);

}  // namespace tavrilo
