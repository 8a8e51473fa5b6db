#pragma once
// What the engine needs from a playback back-end. The FFmpeg player implements it in the video
// library; the engine (standard C++ only) holds it through this interface, and tests give it
// simple stand-ins. Results are 0 for success and negative for failure where an int is
// returned.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tavrilo {

struct EngineContext;

struct PictureRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const PictureRect&) const = default;
};

class PlayerBackend {
  public:
    virtual ~PlayerBackend() = default;

    // Opens the recording for playback; posts the session-ready message itself when ready.
    virtual bool Open(const std::string& path) = 0;
    // Why the last Open failed, as a platform result code (E_FAIL unless known better).
    virtual uint32_t LastError() const { return 0x80004005u; }
    // The back-end can play backwards.
    virtual bool CanReverse() const = 0;
    // Playback volume, 0..65535.
    virtual void SetVolume(uint16_t volume) = 0;
    // Playback rate; thinning is asked for above 2.0.
    virtual bool SetRate(float rate, bool thin) = 0;

    virtual int Start() { return -1; }
    virtual bool SessionStarted() const { return false; }
    virtual int Pause() { return -1; }
    // Shows the frame at the position (100-ns units) and stays paused there.
    virtual int SeekTo(int64_t) { return -1; }
    // The presentation clock; nullopt when it cannot be read.
    virtual std::optional<int64_t> ClockTime() { return std::nullopt; }
    // A video display exists (the picture operations can work).
    virtual bool HasVideoDisplay() const { return false; }
    virtual bool NativeVideoSize(int32_t*, int32_t*) const { return false; }
    virtual bool Repaint() { return false; }
    // Places the picture in the video window.
    virtual bool SetVideoRect(const PictureRect&, bool /*keepAspect*/) { return false; }
    // The view operations of the projection model.
    virtual int DragView(float, float, float) { return 0; }
    virtual void CommitDrag() {}
    virtual int FlipView() { return 0; }
    virtual void SetViewType(int32_t) {}
    virtual void SetViewAspect(int32_t, int32_t) {}
    virtual void ResetView() {}
    // Writes the picture as shown, scaled to `width` x `height`, as a JPEG file.
    virtual bool SaveCurrentImage(const std::string&, int32_t /*width*/, int32_t /*height*/) {
        return false;
    }
};

// Builds the back-end for a context (the engine calls it from OpenMovie). Left empty, OpenMovie
// measures the recording and then fails: there is nothing to play it with.
using PlayerFactory = std::unique_ptr<PlayerBackend> (*)(EngineContext& ctx);

}  // namespace tavrilo
