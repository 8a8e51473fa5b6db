#include "files/file_selection.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace tavrilo {
namespace {

bool IsMp4(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return ext.find(".MP4") != std::string::npos;
}

}  // namespace

RecordingList CapSelection(const RecordingList& list, bool* complete) {
    *complete = list.size() <= kSelectionLimit;
    return RecordingList(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(
                                                          std::min(list.size(), kSelectionLimit)));
}

RecordingList DisplayList(const RecordingList& shown, const RecordingList& full, bool showAll,
                          SelectMode mode) {
    const RecordingList& from = showAll && mode == SelectMode::kDelete ? full : shown;
    if (mode != SelectMode::kJoin) {
        return from;
    }
    RecordingList mp4;
    std::copy_if(from.begin(), from.end(), std::back_inserter(mp4),
                 [](const RecordingEntry& e) { return IsMp4(e.Path); });
    return mp4;
}

std::string MegabytesText(uint64_t bytes) {
    return std::to_string(bytes / 1048576) + " MB";
}

SelectionTotal TotalOf(const RecordingList& rows, const std::vector<bool>& checked,
                       SelectMode mode) {
    SelectionTotal t;
    for (size_t i = 0; i < rows.size() && i < checked.size(); ++i) {
        if (checked[i]) {
            t.bytes += rows[i].FileSize;
            ++t.rows;
        }
    }
    if (mode == SelectMode::kJoin) {
        t.sizeOver = t.bytes / 1048576 > kJoinLimitMb;
        t.tooMany = t.rows > kJoinMostRows;
        t.okEnabled = t.rows >= 2;
    } else {
        t.okEnabled = t.rows >= 1;
    }
    return t;
}

void KeepRunContiguous(std::vector<bool>& checked, int row, bool nowChecked) {
    const int n = static_cast<int>(checked.size());
    if (row < 0 || row >= n) {
        return;
    }
    // The run as it was before this change: the first checked row other than `row` decides it
    // when `row` was just checked; with `row` unchecked the run still counts it.
    std::vector<bool> before = checked;
    before[static_cast<size_t>(row)] = !nowChecked;
    const auto first = std::find(before.begin(), before.end(), true);
    if (first == before.end()) {
        return;  // no run yet: the row stands alone
    }
    const int runFirst = static_cast<int>(first - before.begin());
    const int runEnd = static_cast<int>(std::find(before.begin() + runFirst, before.end(), false) -
                                        before.begin());
    if (nowChecked && row < runFirst) {
        std::fill(checked.begin() + row, checked.begin() + runFirst, true);
    } else if (nowChecked && row >= runEnd) {
        std::fill(checked.begin() + runEnd, checked.begin() + row + 1, true);
    } else if (!nowChecked && row > runFirst && row < runEnd) {
        std::fill(checked.begin() + row, checked.begin() + runEnd, false);
    }
}

}  // namespace tavrilo
