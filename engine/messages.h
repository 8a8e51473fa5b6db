#pragma once
// Private window messages the engine and its helpers post (WM_APP + n numbering, kept so that
// the message numbers match across the program).

#include <cstdint>

namespace tavrilo {

inline constexpr uint32_t kWmApp = 0x8000;
inline constexpr uint32_t UWM_MEDIA_EVENT = kWmApp + 4;
inline constexpr uint32_t UWM_SESSION_READY = kWmApp + 1003;
inline constexpr uint32_t UWM_SOURCE_LOST = kWmApp + 1201;

// A window the engine posts to. Posting never blocks and may be called from any thread.
class MessageTarget {
  public:
    virtual ~MessageTarget() = default;
    virtual void PostAppMessage(uint32_t message, intptr_t wparam = 0, intptr_t lparam = 0) = 0;
    // The client area in pixels; false when it is not known.
    virtual bool ClientSize(int32_t* width, int32_t* height) const {
        (void)width;
        (void)height;
        return false;
    }
};

}  // namespace tavrilo
