#pragma once
// The rules of the file selection dialog apart from its widgets: which recordings it lists, the
// 1500-row limit, the checked total and when OK may be pressed, and the join mode's contiguous
// run of checked rows.

#include <cstdint>
#include <string>
#include <vector>

#include "recordings/join_checks.h"
#include "recordings/library.h"

namespace tavrilo {

enum class SelectMode { kDelete = 0, kJoin = 2 };

inline constexpr size_t kSelectionLimit = 1500;

// The first 1500 entries; `complete` tells whether all fitted.
RecordingList CapSelection(const RecordingList& list, bool* complete);

// The rows the dialog shows: the shown list, or the full list with show-all on (delete mode
// only); in join mode only the files whose extension holds ".MP4" (any case).
RecordingList DisplayList(const RecordingList& shown, const RecordingList& full, bool showAll,
                          SelectMode mode);

// "N MB" of whole megabytes, rounded down.
std::string MegabytesText(uint64_t bytes);

struct SelectionTotal {
    uint64_t bytes = 0;
    int rows = 0;
    bool sizeOver = false;  // join: above 1024 MB
    bool tooMany = false;   // join: 100 rows or more
    bool okEnabled = false;
};
SelectionTotal TotalOf(const RecordingList& rows, const std::vector<bool>& checked,
                       SelectMode mode);

// Join mode: the change of row `row` to `nowChecked` (already made in `checked`) keeps the
// checked rows one run: checking before or after the run fills the gap, unchecking inside the
// run (not its first row) clears from there to the run's end.
void KeepRunContiguous(std::vector<bool>& checked, int row, bool nowChecked);

}  // namespace tavrilo
