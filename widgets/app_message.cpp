#include "widgets/app_message.h"

#include <QCoreApplication>

namespace tavrilo {

AppMessage::AppMessage(uint32_t message, intptr_t w, intptr_t l)
    : QEvent(static_cast<QEvent::Type>(message)), wParam(w), lParam(l) {}

uint32_t MessageOf(const QEvent* event) {
    const auto type = static_cast<uint32_t>(event->type());
    return type >= kWmApp && type <= QEvent::MaxUser && dynamic_cast<const AppMessage*>(event)
               ? type
               : 0;
}

const AppMessage* AsAppMessage(const QEvent* event) {
    return MessageOf(event) != 0 ? static_cast<const AppMessage*>(event) : nullptr;
}

void PostAppMessage(QObject* target, uint32_t message, intptr_t wParam, intptr_t lParam) {
    if (target != nullptr) {
        QCoreApplication::postEvent(target, new AppMessage(message, wParam, lParam));
    }
}

}  // namespace tavrilo
