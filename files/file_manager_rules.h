#pragma once
// The file manager's rules apart from its widgets: which recordings a filter keeps, the row
// colours, the firmware version of a card and the panel's layouts.

#include <QColor>
#include <QRect>
#include <array>
#include <optional>
#include <string>

#include "recordings/library.h"
#include "recordings/track_reader.h"

namespace tavrilo {

inline constexpr int kFilterButtons = 5;

// Whether a recording of this name passes the five filter flags: kind codes 0..4 by their own
// button, 7 and 8 by the buttons of 3 and 4; a name without a kind, and the kinds without a
// button (5 and 6), always pass.
bool PassesFilters(const std::string& name, const std::array<int32_t, kFilterButtons>& flags);

// The fill of a row: tinted for the event kinds 1..8 other than 3 and 7, plain otherwise.
QColor RowFill(int kindCode, bool selected);

// "%d.%d.%d" of the camera block's firmware digits (Tag[1], Tag[2..3], Tag2[0..1]); nullopt when
// they are no digits.
std::optional<std::string> FirmwareVersionText(const CameraInfo& camera);

// The recording whose camera block names the card's firmware: in the folder of the card's last
// recording (by the library's order), its first file with a recording name and a kind; empty
// when there is none.
std::string FirmwareRecordingOf(const RecordingList& cardRecordings);

// The path the chosen source opens as: one trailing separator removed (a drive root "E:\"
// opens as "E:", "/media/card/" as "/media/card"); "/" stays.
std::string SourcePathToOpen(std::string path);

struct FilerLayout {
    QRect path, tree, list;  // empty when hidden (layout 2)
};
// The three layouts for the panel's client rectangle and its font height F.
FilerLayout ComputeFilerLayout(int layout, const QRect& client, int fontHeight);

}  // namespace tavrilo
