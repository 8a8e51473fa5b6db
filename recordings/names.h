#pragma once
// Recording and folder names as the recorder writes them, and the event kinds their letters
// stand for. Everything here decides from the name alone; whether a file's bytes are really
// a recording is the content test's business.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrilo {

// Kind codes; -1 is "no kind".
enum EventKind : int {
    kEventNone = -1,
    kEventContinuous = 0,     // A
    kEventImpact = 1,         // G
    kEventManual = 2,         // M
    kEventParking = 3,        // P
    kEventParkingImpact = 4,  // S
    kEventSpeedCamera = 5,    // O
    kEventRadar = 6,          // R
    kEventParkingT = 7,       // T
    kEventParkingImpactU = 8  // U
};

struct EventKindInfo {
    char letter;
    int code;
    int labelSlot;  // UI text slot of the label
    int32_t bit;    // bit in a folder's set of kinds
    int parking;    // 1 for recordings made while parked
};

// The table entry of a kind code 0..8; nullopt for anything else.
std::optional<EventKindInfo> EventKindByCode(int code);

// Whole-name match of the two recording-name patterns, then a kind must be found.
// Accepts a full path: only the last component is tested.
bool IsRecordingName(std::string_view pathOrName);

// Case-insensitive search for "_<letter>.MP4", letters tried in the order A M G P S T U O R.
int GetEventKind(std::string_view name);

// Label of the name's kind in the current language column; empty for names of 15 characters
// or fewer and for names without a kind.
std::string GetEventLabel(std::string_view name);

// ORs the kind bit of `name` into `kinds` (nothing for a name without a kind). Returns 1.
int AddEventKindBit(std::string_view name, int32_t* kinds);

// 1 when the kind of `name` was recorded while parked.
int ParkingFlag(std::string_view name);

// Whole-name match of "[0-9]{8}_[0-9]{3}" (the recorder's date folders).
bool IsRecordingFolderName(std::string_view name);

}  // namespace tavrilo
