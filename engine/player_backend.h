#pragma once
// What the engine needs from a playback back-end. The FFmpeg player implements it in the video
// library; the engine (standard C++ only) holds it through this interface, and tests give it
// simple stand-ins.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tavrilo {

struct EngineContext;

class PlayerBackend {
  public:
    virtual ~PlayerBackend() = default;

    // Opens the recording for playback; posts the session-ready message itself when ready.
    virtual bool Open(const std::string& path) = 0;
    // The media's duration in 100-ns units; 0 while unknown.
    virtual int64_t Duration100ns() const = 0;
    // Bit 0x40 of the seeking capabilities: the back-end can play backwards.
    virtual bool CanReverse() const = 0;
    // Playback volume, 0..65535.
    virtual void SetVolume(uint16_t volume) = 0;
    // Playback rate; thinning is asked for above 2.0.
    virtual bool SetRate(float rate, bool thin) = 0;
};

// Builds the back-end for a context (the engine calls it from OpenMovie). Left empty, OpenMovie
// measures the recording and then fails: there is nothing to play it with.
using PlayerFactory = std::unique_ptr<PlayerBackend> (*)(EngineContext& ctx);

// The platform's media detector: the frame rate of a file's first stream that has one, or
// nullopt. Used when a recording's first track has no "stts" box.
using FrameRateProbe = std::optional<double> (*)(const std::string& path);

}  // namespace tavrilo
