#pragma once
// The program's private window messages as Qt events: one event type per message number
// (WM_APP + n, as the rest of the program numbers them), carrying the message's two
// parameters. Posted from any thread; handled by the receiving window in one place.

#include <QEvent>
#include <cstdint>

#include "engine/messages.h"

class QObject;

namespace tavrilo {

inline constexpr uint32_t UWM_SLIDER_TRACK = kWmApp + 101;
inline constexpr uint32_t UWM_SLIDER_PRESS = kWmApp + 102;
inline constexpr uint32_t UWM_SLIDER_RELEASE = kWmApp + 103;
inline constexpr uint32_t UWM_PAD_PRESS = kWmApp + 1401;
inline constexpr uint32_t UWM_PAD_RELEASE = kWmApp + 1402;
inline constexpr uint32_t UWM_LOGO_SHOW = kWmApp + 1501;

class AppMessage : public QEvent {
  public:
    AppMessage(uint32_t message, intptr_t wParam, intptr_t lParam);
    uint32_t message() const { return static_cast<uint32_t>(type()); }
    const intptr_t wParam;
    const intptr_t lParam;
};

// The message an event carries, or 0 when it is no private message.
uint32_t MessageOf(const QEvent* event);
// The event as a private message, or null when it is none.
const AppMessage* AsAppMessage(const QEvent* event);

// Posts a message to `target` (ignored when null); safe from any thread.
void PostAppMessage(QObject* target, uint32_t message, intptr_t wParam = 0, intptr_t lParam = 0);

}  // namespace tavrilo
