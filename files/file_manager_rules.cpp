#include "files/file_manager_rules.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "recordings/names.h"

namespace tavrilo {

bool PassesFilters(const std::string& name, const std::array<int32_t, kFilterButtons>& flags) {
    const int kind = GetEventKind(name);
    if (kind >= 0 && kind <= 4) {
        return flags[static_cast<size_t>(kind)] != 0;
    }
    if (kind == 7 || kind == 8) {
        return flags[static_cast<size_t>(kind - 4)] != 0;
    }
    return true;
}

QColor RowFill(int kind, bool selected) {
    const bool tinted = kind >= 1 && kind <= 8 && kind != 3 && kind != 7;
    if (selected) {
        return tinted ? QColor(178, 178, 142) : QColor(178, 178, 178);
    }
    return tinted ? QColor(255, 255, 204) : QColor(255, 255, 255);
}

std::optional<std::string> FirmwareVersionText(const CameraInfo& c) {
    const auto digit = [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)) != 0; };
    if (!digit(c.Tag[1]) || !digit(c.Tag[2]) || !digit(c.Tag[3]) || !digit(c.Tag2[0]) ||
        !digit(c.Tag2[1])) {
        return std::nullopt;
    }
    const int major = c.Tag[1] - '0';
    const int minor = (c.Tag[2] - '0') * 10 + (c.Tag[3] - '0');
    const int patch = (c.Tag2[0] - '0') * 10 + (c.Tag2[1] - '0');
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

std::string FirmwareRecordingOf(const RecordingList& cardRecordings) {
    if (cardRecordings.empty()) {
        return {};
    }
    RecordingList sorted = cardRecordings;
    SortRecordings(sorted);
    const std::string folder = std::filesystem::path(sorted.back().Path).parent_path().string();
    std::vector<FolderEntry> entries;
    if (!ReadFolderEntries(folder, &entries)) {
        return {};
    }
    std::stable_sort(
        entries.begin(), entries.end(),
        [](const FolderEntry& a, const FolderEntry& b) { return NameLess(a.Name, b.Name); });
    for (const FolderEntry& e : entries) {
        const int kind = GetEventKind(e.Name);
        if (!e.IsDirectory && IsRecordingName(e.Name) && kind >= 0 && kind <= 8) {
            return (std::filesystem::path(folder) / e.Name).string();
        }
    }
    return {};
}

std::string SourcePathToOpen(std::string path) {
    if (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) {
        path.pop_back();
    }
    return path;
}

FilerLayout ComputeFilerLayout(int layout, const QRect& c, int f) {
    const int x = c.x(), y = c.y(), w = c.width(), h = c.height();
    switch (layout) {
        case 0:
            return {QRect(x + 4, y + 5, 316, f + 7), QRect(x + 4, y + 48, 217, h - 52),
                    QRect(x + 224, y + 48, 158, h - 52)};
        case 1:
            return {QRect(x + 4, y + 43 - f, w - 8, f + 7), QRect(x + 4, y + 54, w - 8, 284),
                    QRect(x + 4, y + 386, w - 8, h - 390)};
        default:
            return {};
    }
}

}  // namespace tavrilo
