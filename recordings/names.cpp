#include "recordings/names.h"

#include <array>
#include <regex>

#include "platform/utf8.h"
#include "texts/ui_texts.h"

namespace tavrilo {
namespace {

// Indexed by kind code.
constexpr std::array<EventKindInfo, 9> kKinds = {{
    {'A', kEventContinuous, ui::kContinuous, 0x01, 0},
    {'G', kEventImpact, ui::kImpact, 0x04, 0},
    {'M', kEventManual, ui::kManual, 0x02, 0},
    {'P', kEventParking, ui::kParking, 0x08, 1},
    {'S', kEventParkingImpact, ui::kParkingImpact, 0x10, 1},
    {'O', kEventSpeedCamera, ui::kSpeedCamera, 0x20, 0},
    {'R', kEventRadar, ui::kRadar, 0x40, 0},
    {'T', kEventParkingT, ui::kParking, 0x08, 1},
    {'U', kEventParkingImpactU, ui::kParkingImpact, 0x10, 1},
}};

// The order in which the kind substrings are tried; the first one found decides.
constexpr std::string_view kSearchOrder = "AMGPSTUOR";

// The patterns are matched on code points, so the "any character" before the extension is
// one character however many bytes it takes in UTF-8.
const std::wregex& UpperPattern() {
    static const std::wregex re(L"[0-9]{3,3}_[0-9]{6,6}_[AMGPSTUOR]{1,1}.MP4");
    return re;
}
const std::wregex& LowerPattern() {
    static const std::wregex re(L"[0-9]{3,3}_[0-9]{6,6}_[AMGPSTUOR]{1,1}.mp4");
    return re;
}
const std::regex& FolderPattern() {
    static const std::regex re("[0-9]{8,8}_[0-9]{3,3}");
    return re;
}

std::string AsciiUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

int CodeOfLetter(char letter) {
    for (const EventKindInfo& k : kKinds) {
        if (k.letter == letter) {
            return k.code;
        }
    }
    return kEventNone;
}

}  // namespace

std::optional<EventKindInfo> EventKindByCode(int code) {
    if (code < 0 || code >= static_cast<int>(kKinds.size())) {
        return std::nullopt;
    }
    return kKinds[static_cast<size_t>(code)];
}

int GetEventKind(std::string_view name) {
    const std::string upper = AsciiUpper(name);
    for (char letter : kSearchOrder) {
        const std::string needle = std::string("_") + letter + ".MP4";
        if (upper.find(needle) != std::string::npos) {
            return CodeOfLetter(letter);
        }
    }
    return kEventNone;
}

bool IsRecordingName(std::string_view pathOrName) {
    const std::string_view name = LastPathComponent(pathOrName);
    const std::wstring wide = Utf8ToWide(name);
    if (!std::regex_match(wide, UpperPattern()) && !std::regex_match(wide, LowerPattern())) {
        return false;
    }
    return GetEventKind(name) != kEventNone;
}

std::string GetEventLabel(std::string_view name) {
    if (CodePointCount(name) <= 15) {
        return {};
    }
    const auto kind = EventKindByCode(GetEventKind(name));
    return kind ? std::string(GetUiText(kind->labelSlot)) : std::string();
}

int AddEventKindBit(std::string_view name, int32_t* kinds) {
    if (const auto kind = EventKindByCode(GetEventKind(name)); kind && kinds != nullptr) {
        *kinds |= kind->bit;
    }
    return 1;
}

int ParkingFlag(std::string_view name) {
    const auto kind = EventKindByCode(GetEventKind(name));
    return kind ? kind->parking : 0;
}

bool IsRecordingFolderName(std::string_view name) {
    return std::regex_match(name.begin(), name.end(), FolderPattern());
}

}  // namespace tavrilo
