#include "recordings/event_classes.h"

namespace tavrilo {
namespace {

constexpr std::array<int, kEventClasses> kOrder = {6, 0, 1, 2, 3, 4, 5, 7, 8, 9};

// One class on a working copy of the sample; a clearing match clears its mark code.
int Classify(int cls, GSample& s, bool gate) {
    auto clearing = [&s](int code) {
        s.MarkCode = -1;
        return code;
    };
    switch (cls) {
        case 0:
            return gate && s.Axis == 1 ? clearing(0) : kNoEvent;
        case 1:
            return gate && s.Axis == 2 ? clearing(2) : kNoEvent;
        case 2:
            return gate && s.Axis == 3 ? clearing(3) : kNoEvent;
        case 3:
            return s.MarkCode == 5 ? 5 : kNoEvent;
        case 4:
            return s.MarkCode == 6 ? 6 : kNoEvent;
        case 5:
            return gate && s.MarkCode == 7 ? 7 : kNoEvent;
        case 6:
            return s.Reserved == 8 ? clearing(8) : kNoEvent;
        case 7:
            return gate && s.FlagHigh == 10 && s.FlagLow == 9 ? clearing(9) : kNoEvent;
        case 8:
            return gate && (s.FlagHigh == 8 || s.FlagHigh == 9) && s.FlagLow == 8 ? clearing(10)
                                                                                  : kNoEvent;
        case 9:
            return s.MarkCode >= 11 && s.MarkCode <= 13 ? s.MarkCode : kNoEvent;
        default:
            return kNoEvent;
    }
}

}  // namespace

std::array<int, kEventClasses> ClassifySample(const GSample& sample, bool gate) {
    GSample copy = sample;
    std::array<int, kEventClasses> codes{};
    for (int cls : kOrder) {
        codes[static_cast<size_t>(cls)] = Classify(cls, copy, gate);
    }
    return codes;
}

bool EventGate(int kind) {
    return kind != 0 && kind != 3 && kind != 7;
}

bool ReportsToMap(int code, const std::array<int32_t, kEventClasses>& onMap) {
    if (code < 6) {
        return true;
    }
    const int cls = code == 6    ? 4
                    : code == 7  ? 5
                    : code == 8  ? 6
                    : code == 9  ? 7
                    : code == 10 ? 8
                                 : 9;
    return onMap[static_cast<size_t>(cls)] != 0;
}

std::vector<EventPoint> CollectEvents(const std::vector<GSample>& samples,
                                      const std::vector<int32_t>* frameIndex, bool gate,
                                      const std::array<int32_t, kEventClasses>& onMap) {
    std::vector<EventPoint> points;
    const size_t count = frameIndex != nullptr ? frameIndex->size() : samples.size();
    std::array<int, kEventClasses> previous{};
    previous.fill(kNoEvent);
    for (size_t i = 0; i < count; ++i) {
        const int sample = frameIndex != nullptr ? (*frameIndex)[i] : static_cast<int>(i);
        std::array<int, kEventClasses> codes{};
        codes.fill(kNoEvent);
        if (sample >= 0 && static_cast<size_t>(sample) < samples.size()) {
            codes = ClassifySample(samples[static_cast<size_t>(sample)], gate);
        }
        for (int cls : kOrder) {
            const int code = codes[static_cast<size_t>(cls)];
            const bool rising = code >= 0 && (i == 0 || previous[static_cast<size_t>(cls)] != code);
            if (rising && onMap[static_cast<size_t>(cls)] != 0 && ReportsToMap(code, onMap)) {
                points.push_back({cls, static_cast<int>(i), code});
            }
        }
        previous = codes;
    }
    return points;
}

int EventNameSlot(int code) {
    // The map's marker names, by event code.
    static constexpr std::array<int, 14> kSlots = {72, 73, 75,  74,  76, 77, 78,
                                                   79, 80, 143, 144, 70, 68, 69};
    return code >= 0 && code < 14 ? kSlots[static_cast<size_t>(code)] : -1;
}

}  // namespace tavrilo
