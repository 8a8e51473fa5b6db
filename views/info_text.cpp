#include "views/info_text.h"

#include <cmath>

#include "widgets/ui_text.h"

namespace tavrilo {

std::optional<QString> FrameDateText(const SystemTime& start, bool hasStart, int frame,
                                     float frameDurationMs) {
    if (!hasStart || frame < 0) {
        return std::nullopt;
    }
    const auto base = SystemTimeToFileTime(start);
    if (!base) {
        return std::nullopt;
    }
    const auto offset =
        static_cast<uint64_t>(static_cast<float>(frame) * frameDurationMs * 10000.0f);
    const auto t = FileTimeToSystemTime(*base + offset);
    if (!t || t->year == 0) {
        return std::nullopt;
    }
    const int year = t->year >= 2050 ? t->year - 35 : t->year;
    return QString::asprintf("%02d/%02d/%02d %02d:%02d:%02d", year, t->month, t->day, t->hour,
                             t->minute, t->second);
}

std::optional<QString> GValueText(double g) {
    if (!(g > -5.0)) {
        return std::nullopt;
    }
    // Adding 0 turns a truncated -0 (readings just under zero, none at all) into 0: "0.00G".
    return QString::asprintf("%.2fG", std::trunc(g * 100) / 100 + 0.0);
}

std::optional<QString> SpeedText(bool gpsValid, double kmh) {
    if (!gpsValid || kmh < 0) {
        return std::nullopt;
    }
    return QString::asprintf("%.0f ", std::min(kmh, 999.0));
}

QString RateText(int rateCode, bool engineReady) {
    int slot = -1;
    switch (engineReady ? rateCode : 0) {
        case 2:
            slot = 61;
            break;
        case 4:
            slot = 62;
            break;
        case -2:
            slot = 63;
            break;
        case -4:
            slot = 64;
            break;
        default:
            return {};
    }
    return UiText(slot);
}

int StatusImage(int statusByte) {
    return statusByte == 'R' ? 192 : statusByte == 'r' ? 195 : 198;
}

}  // namespace tavrilo
