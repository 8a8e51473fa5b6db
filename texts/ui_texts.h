#pragma once
// The table of visible texts. Every window takes its words from here by slot number at the
// moment it shows them, so the language column chosen at start-up applies everywhere.

#include <string_view>

namespace tavrilo {

inline constexpr int kUiTextSlots = 260;
inline constexpr int kUiTextColumns = 2;

// Slot numbers used by more than one module.
namespace ui {
inline constexpr int kClose = 0;
inline constexpr int kContinuous = 26;
inline constexpr int kManual = 27;
inline constexpr int kParking = 28;
inline constexpr int kImpact = 29;
inline constexpr int kFaceName = 113;
inline constexpr int kParkingImpact = 141;
inline constexpr int kSpeedCamera = 145;
inline constexpr int kRadar = 146;
inline constexpr int kSplitView = 162;
inline constexpr int kRoundView = 163;
}  // namespace ui

// The text of `slot` in the current language column; empty for empty or out-of-range slots.
// Returned views point into static storage. Thread-safe.
std::string_view GetUiText(int slot);

// The text of `slot` in an explicit column (0 or 1); empty when either is out of range.
std::string_view GetUiText(int slot, int column);

// Column 1 belongs to US English users (language identifier 1033), column 0 to everyone else.
int LanguageColumnForLanguageId(int languageId);

// Maps a POSIX locale name such as "en_US.UTF-8" to the language identifier the column rule
// needs: 1033 for US English, 0 for anything we do not distinguish.
int LanguageIdFromLocaleName(std::string_view localeName);

// Chosen once during start-up; GetUiText(slot) reads it afterwards.
void SetUiLanguageColumn(int column);
int UiLanguageColumn();

}  // namespace tavrilo
